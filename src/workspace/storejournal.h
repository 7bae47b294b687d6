// StoreJournal: the change journal of one data store file, kept in step with its saves. The
// caller stages what an action changed (the tree before it and the commands it ran); the next
// save of the store journals it: pending in the workspace before the new file replaces the
// old one, done after (see Workspace). At each load the journal resolves what a killed program
// left pending and journals a store that differs from what it last knew as changed outside
// the program. A store without a workspace gets one at its first staged change.
//
// A journal that cannot be written never stops a save (the measurements matter more than the
// record of them): the failure goes to the warning callback, and the difference is found at
// the next load as a change the journal did not see.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "model/fileidentity.h"
#include "store/storesession.h"
#include "workspace/journalentry.h"
#include "workspace/workspace.h"

namespace ws {

class StoreJournal : public SaveWitness {
public:
    StoreJournal();
    ~StoreJournal() override;

    void SetActor(Actor actor) { m_actor = std::move(actor); }
    const Actor& GetActor() const { return m_actor; }
    // Told of a failure to read or write the journal (UTF-8 text for the user).
    void SetWarning(std::function<void(const std::string&)> warn) { m_warn = std::move(warn); }

    // The store file whose journal this keeps: its workspace is opened when there is one
    // (a damaged one is set aside and a new one started, with a warning).
    void Attach(const std::string& storePath);
    void Detach();
    const std::string& StorePath() const { return m_storePath; }
    // The workspace, or nullptr while the store has none (or it could not be opened).
    Workspace* Open() { return m_workspace.IsOpen() ? &m_workspace : nullptr; }

    // After the store file was read (tree, the file's identity): resolves pending saves, and
    // journals a store that differs from the state the journal last knew as one entry of
    // `command` (kind::External unless a restore or a pull replaced the file). Returns that
    // entry when one was written.
    std::optional<JournalEntry> AfterLoad(const CCustomerDB& tree, const FileIdentity& identity,
                                          const char* command = kind::External,
                                          std::string summary = {}, std::string reason = {});

    // One action for the next save: the entry of the changes between before and after (the
    // store as it will be saved). Creates the workspace when the store has none yet, with
    // before as its starting state.
    void Stage(const CCustomerDB& before, const CCustomerDB& after,
               const std::vector<cmd::Change>& changes);
    // An entry made by the caller (undo, redo, ...); before as above.
    void Stage(const CCustomerDB& before, JournalEntry entry);
    bool HasStaged() const { return !m_staged.empty(); }
    // The entries the last save journaled (empty when it journaled none).
    const std::vector<JournalEntry>& LastJournaled() const { return m_journaled; }

    // SaveWitness
    void Prepare(const FileIdentity& next) override;
    void Saved(const FileIdentity& written) override;
    void NotSaved() override;

private:
    bool Ensure(const CCustomerDB& before);
    void Warn(const std::string& what, const std::exception& e);

    Workspace m_workspace;
    std::string m_storePath;
    Actor m_actor;
    std::function<void(const std::string&)> m_warn;
    FileIdentity m_identity; // the store file as last read or written
    std::vector<JournalEntry> m_staged;
    std::vector<int64_t> m_pending;
    std::vector<JournalEntry> m_journaled;
};

} // namespace ws
