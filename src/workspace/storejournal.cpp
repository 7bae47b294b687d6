#include "workspace/storejournal.h"

#include <ctime>

#include "workspace/treediff.h"

namespace ws {

StoreJournal::StoreJournal() : m_actor(CurrentActor()) {}
StoreJournal::~StoreJournal() = default;

void StoreJournal::Warn(const std::string& what, const std::exception& e)
{
    if (m_warn)
        m_warn(what + "\n" + e.what());
}

void StoreJournal::Attach(const std::string& storePath)
{
    Detach();
    m_storePath = storePath;
    const OpenOutcome opened = m_workspace.Open(storePath, false);
    if (opened.status == OpenStatus::Replaced && m_warn)
        m_warn("変更履歴のファイルが壊れていたため退避し、新しい変更履歴を始めました:\n" +
               opened.setAsidePath);
    else if (opened.status == OpenStatus::Failed && m_warn)
        m_warn("変更履歴のファイルを開けません:\n" + opened.error);
    else if (opened.status == OpenStatus::TooNew && m_warn)
        m_warn("変更履歴のファイルは新しい版のプログラムで作られています。変更は記録されません:\n" +
               WorkspacePathFor(storePath));
}

void StoreJournal::Detach()
{
    m_workspace.Close();
    m_storePath.clear();
    m_staged.clear();
    m_pending.clear();
    m_identity = {};
}

std::optional<JournalEntry> StoreJournal::AfterLoad(const CCustomerDB& tree,
                                                    const FileIdentity& identity,
                                                    const char* command, std::string summary,
                                                    std::string reason)
{
    m_identity = identity;
    m_staged.clear();
    if (!Open())
        return std::nullopt;
    try {
        m_workspace.ResolvePending(identity);
        if (!m_workspace.HasState()) {
            m_workspace.SetBaseline(tree, identity);
            return std::nullopt;
        }
        const std::optional<FileIdentity> known = m_workspace.KnownIdentity();
        if (known && *known == identity)
            return std::nullopt;
        JournalEntry entry;
        entry.items = m_workspace.DiffWithState(tree);
        if (entry.items.empty() && std::string(command) == kind::External) {
            m_workspace.SetKnownIdentity(identity);
            return std::nullopt;
        }
        entry.time = std::time(nullptr);
        entry.user = m_actor.user;
        entry.workstation = m_actor.workstation;
        entry.command = command;
        entry.summary = summary.empty() ? std::string("外部で変更") : std::move(summary);
        entry.reason = std::move(reason);
        entry.id = m_workspace.Append(entry, &identity);
        return entry;
    } catch (const std::exception& e) {
        Warn("変更履歴を読み書きできません", e);
        return std::nullopt;
    }
}

bool StoreJournal::Ensure(const CCustomerDB& before)
{
    if (Open())
        return true;
    if (m_storePath.empty())
        return false;
    const OpenOutcome opened = m_workspace.Open(m_storePath, true);
    if (!opened.usable()) {
        if (m_warn && opened.status != OpenStatus::TooNew)
            m_warn("変更履歴のファイルを作れません:\n" + opened.error);
        return false;
    }
    try {
        if (!m_workspace.HasState()) {
            m_workspace.SetBaseline(before, m_identity);
            JournalEntry start;
            start.time = std::time(nullptr);
            start.user = m_actor.user;
            start.workstation = m_actor.workstation;
            start.command = kind::Start;
            start.summary = "変更履歴の記録開始";
            start.reason = "測定データ " + std::to_string(before.RecordCount()) + " 件";
            m_workspace.Append(start);
        }
        return true;
    } catch (const std::exception& e) {
        Warn("変更履歴を始められません", e);
        m_workspace.Close();
        return false;
    }
}

void StoreJournal::Stage(const CCustomerDB& before, const CCustomerDB& after,
                         const std::vector<cmd::Change>& changes)
{
    Stage(before, MakeEntry(before, after, changes, m_actor, std::time(nullptr)));
}

void StoreJournal::Stage(const CCustomerDB& before, JournalEntry entry)
{
    if (!Ensure(before))
        return;
    if (entry.time == 0)
        entry.time = std::time(nullptr);
    if (entry.user.empty()) {
        entry.user = m_actor.user;
        entry.workstation = m_actor.workstation;
    }
    m_staged.push_back(std::move(entry));
}

void StoreJournal::Prepare(const FileIdentity& next)
{
    m_pending.clear();
    m_journaled.clear();
    if (!Open() || m_staged.empty())
        return;
    try {
        for (JournalEntry& entry : m_staged) {
            entry.id = m_workspace.BeginSave(entry, next);
            m_pending.push_back(entry.id);
        }
    } catch (const std::exception& e) {
        Warn("変更履歴に記録できませんでした", e);
        for (int64_t id : m_pending) {
            try {
                m_workspace.AbandonSave(id);
            } catch (const std::exception&) {
                // Left pending: the next load finds the file it expected and completes it.
            }
        }
        m_pending.clear();
    }
}

void StoreJournal::Saved(const FileIdentity& written)
{
    m_identity = written;
    if (!Open())
        return;
    try {
        if (m_pending.empty()) {
            // Nothing of ours was in this save (a save at close, new settings): the file is
            // still what the journal knew, under a new identity.
            if (m_staged.empty())
                m_workspace.SetKnownIdentity(written);
            return;
        }
        for (int64_t id : m_pending)
            m_workspace.FinishSave(id, written);
        m_journaled = std::move(m_staged);
        m_staged.clear();
        m_pending.clear();
    } catch (const std::exception& e) {
        Warn("変更履歴に記録できませんでした", e);
    }
}

void StoreJournal::NotSaved()
{
    try {
        for (int64_t id : m_pending)
            m_workspace.AbandonSave(id);
    } catch (const std::exception& e) {
        Warn("変更履歴に記録できませんでした", e);
    }
    m_pending.clear();
    // The staged entries wait for the save that writes their changes.
}

} // namespace ws
