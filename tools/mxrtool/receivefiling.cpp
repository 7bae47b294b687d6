// Filing received records into the store as the transfer sheet does.
#include "receivefiling.h"

#include <QFile>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "commands/transferreg.h"
#include "commands/treecommands.h"
#include "model/cp932text.h"
#include "settings/appsettings.h"
#include "store/storesession.h"
#include "storesetup.h"
#include "toolmessages.h"
#include "workspace/approvals.h"
#include "workspace/provenance.h"
#include "workspace/storejournal.h"
#include "workspace/treediff.h"

namespace fs = std::filesystem;

namespace {

class ChangeList : public cmd::ChangeObserver {
public:
    std::vector<cmd::Change> changes;
    void TreeChanged(const CCustomerDB&, const cmd::Change& change) override
    {
        changes.push_back(change);
    }
};

QString shown(const std::string& cp932Name)
{
    return QString::fromStdString(cp932::toUtf8(cp932Name));
}

// Adds the entry `name` on `level` below parent unless it is there. False (with the message
// written) when the name cannot be used.
bool ensureName(CCustomerDB& tree, cmd::Level level, const cmd::TreePath& parent,
                const std::string& name, ChangeList& changes, bool& made)
{
    made = false;
    const cmd::Outcome o = cmd::Run(tree, cmd::AddName{level, parent, name}, &changes);
    if (o.status == cmd::Status::NameExists)
        return true;
    if (!o.done()) {
        ToolFailure(ToolMsg::NameNotUsable, {shown(name)});
        return false;
    }
    made = true;
    return true;
}

int setRowOf(const CCable& cable, const std::string& set)
{
    return cable.sets.Find(set);
}

} // namespace

bool FileReceived(const ToolContext& ctx, const FilingTarget& target,
                  const std::vector<ReceivedRecord>& records, const std::vector<ArchiveSpan>& spans,
                  const std::string& archivePath, FilingResult& result)
{
    const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
    if (!setup) {
        ToolFailure(ToolMsg::NoAppFolder);
        return false;
    }
    result.storePath = setup->storePath;
    CAppSettings settings;
    settings.SetPaths(MakeAppPaths(setup->folder, setup->folder + "/MXRView"));
    settings.LoadSettings(false);

    StoreSession session;
    session.SetDataFilePath(setup->storePath);
    session.SetBackupPolicy(setup->policy);
    const LoadOutcome loaded = session.Load();
    if (!loaded.store.ok || session.IsReadOnly()) {
        ProgramFailure(ToolMsg::StoreNotRead, {QFile::decodeName(setup->storePath.c_str())},
                       loaded.store.message);
        return false;
    }
    ws::StoreJournal journal;
    journal.SetActor(JournalActor(*setup));
    journal.SetWarning(
        [](const std::string& text) { std::fprintf(stderr, "mxrtool: %s\n", text.c_str()); });
    journal.Attach(setup->storePath);
    journal.AfterLoad(session.Store(), session.Identity());
    session.SetSaveWitness(&journal);

    CCustomerDB& tree = session.Store();
    const CCustomerDB before = tree;
    ChangeList changes;
    const cmd::TreePath setPath{target.customer, target.cable, target.set};
    bool made = false;
    if (!ensureName(tree, cmd::Level::Customer, {}, target.customer, changes, made) ||
        !ensureName(tree, cmd::Level::Cable, {target.customer}, target.cable, changes, made) ||
        !ensureName(tree, cmd::Level::Set, {target.customer, target.cable}, target.set, changes,
                    made))
        return false;
    result.setMade = made;
    const CCable& cable =
        tree.customers.At(tree.customers.Find(target.customer))
            .cables.At(
                tree.customers.At(tree.customers.Find(target.customer)).cables.Find(target.cable));
    // The condition block as the transfer sheet gives it: the set's own, a sibling's, or the
    // default conditions of the settings.
    const CTestCondition condition = transferreg::TemplateCondition(
        cable, setRowOf(cable, target.set), settings.DefaultConditions());
    std::vector<CMeasRecord> filed(records.begin(), records.end());
    // An approved set takes no new records until its approval is withdrawn.
    cmd::LockedSets locks;
    if (ws::Workspace* w = journal.Open())
        locks = ws::Approvals(*w).Locks();
    const cmd::Outcome registered =
        cmd::Run(tree, cmd::RegisterReceived{setPath, filed, condition, false}, &changes, &locks);
    if (registered.status == cmd::Status::Approved) {
        ToolFailure(ToolMsg::SetApproved, {shown(target.set)});
        return false;
    }
    if (!registered.done()) {
        ToolFailure(ToolMsg::NoSet, {shown(target.set)});
        return false;
    }
    // One entry of its own kind, named for the registration (the names made for it are among
    // its items), with the archive it came from as its reason.
    ws::JournalEntry entry =
        ws::MakeEntry(before, tree, changes.changes, journal.GetActor(), std::time(nullptr));
    entry.command = ws::kind::Receive;
    entry.summary = ws::StepName({changes.changes.back()});
    entry.reason = archivePath.empty() ? std::string() : fs::path(archivePath).filename().string();
    journal.Stage(before, std::move(entry));
    const SaveOutcome saved = session.Save();
    if (saved.status != SaveStatus::Saved) {
        ProgramFailure(ToolMsg::StoreNotWritten, {QFile::decodeName(setup->storePath.c_str())},
                       saved.store.message);
        return false;
    }
    result.ok = true;
    result.records = static_cast<int>(records.size());
    if (ws::Workspace* w = journal.Open()) {
        try {
            const int64_t now = std::time(nullptr);
            result.linked =
                ws::RecordProvenance(*w, setup->storePath, tree, setPath,
                                     ws::LinksOf(records, spans, archivePath, now), now);
        } catch (const std::exception& e) {
            // The records are filed; only their link is missing (verify says so).
            std::fprintf(stderr, "mxrtool: %s\n", e.what());
        }
    }
    return true;
}
