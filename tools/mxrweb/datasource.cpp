// The web viewer's data sources: a store file, the shared database, a fixed tree.
#include "datasource.h"

#include <utility>

#include "model/cp932text.h"
#include "shareddb/dbmessages.h"
#include "shareddb/pgconnection.h"
#include "shareddb/sync.h"
#include "shareddb/syncplan.h"
#include "shareddb/syncstate.h"
#include "store/store.h"

namespace web {

namespace {

std::shared_ptr<const Snapshot> makeSnapshot(CCustomerDB tree, std::uint64_t generation)
{
    auto s = std::make_shared<Snapshot>();
    s->tree = std::move(tree);
    s->generation = generation;
    return s;
}

} // namespace

StoreSource::StoreSource(std::string path, LogFn log, std::chrono::milliseconds interval)
    : m_path(std::move(path)), m_log(std::move(log)), m_interval(interval)
{
    m_current = makeSnapshot({}, 0);
    m_checked = std::chrono::steady_clock::now();
    reload(IdentityOfPath(m_path));
    m_loaded = m_current->generation > 0;
}

// With m_reloadMutex held (or from the constructor): reads the file and, when it could be
// read, makes its tree the current one.
void StoreSource::reload(const FileIdentity& id)
{
    CCustomerDB tree;
    StoreOptions options;
    options.openWaitMs = 2000; // a request waits for this; the others keep the old tree
    const StoreOutcome loaded = LoadStore(tree, m_path, options);
    std::lock_guard lock(m_mutex);
    // The identity of what was read, so a change during the read is seen at the next check;
    // a file that could not be read is tried again only once it changes.
    m_identity = loaded.identity.exists ? loaded.identity : id;
    if (!loaded.ok) {
        m_log("store not read: " + m_path + ": " + cp932::toUtf8(loaded.message));
        return;
    }
    m_current = makeSnapshot(std::move(tree), m_current->generation + 1);
}

std::shared_ptr<const Snapshot> StoreSource::Current()
{
    FileIdentity known;
    {
        std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        if (now - m_checked < m_interval)
            return m_current;
        m_checked = now;
        known = m_identity;
    }
    // One request reads a changed file; the others go on with the tree read before.
    std::unique_lock reading(m_reloadMutex, std::try_to_lock);
    if (reading.owns_lock()) {
        const FileIdentity id = IdentityOfPath(m_path);
        if (!(id == known)) {
            reload(id);
            m_log("store reloaded: " + m_path);
        }
    }
    std::lock_guard lock(m_mutex);
    return m_current;
}

FixedSource::FixedSource(CCustomerDB tree, std::string description)
    : m_current(makeSnapshot(std::move(tree), 1)), m_description(std::move(description))
{
}

DbSource::DbSource(shareddb::DbSettings settings, LogFn log, std::chrono::milliseconds interval)
    : m_settings(std::move(settings)), m_log(std::move(log)), m_interval(interval)
{
    m_current = makeSnapshot({}, 0);
}

bool DbSource::Refresh()
{
    std::lock_guard reading(m_refreshMutex);
    return refresh();
}

bool DbSource::refresh()
{
    std::string known;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        m_checked = std::chrono::steady_clock::now();
        known = m_digest;
        generation = m_current->generation;
    }
    try {
        shareddb::PgConnection c(m_settings.params, m_settings.timeoutSeconds);
        if (generation > 0 && shareddb::ServerDigest(c) == known)
            return true;
        const shareddb::ServerIndex index = shareddb::ReadServerIndex(c);
        // The pull of a sync into an empty tree with an empty state: it only reads.
        shareddb::SyncState state;
        shareddb::SyncHooks hooks;
        shareddb::SyncContext ctx{c, state, {}, hooks, {}, false};
        shareddb::SyncSummary summary;
        CCustomerDB tree;
        shareddb::PullRecords(ctx, tree, index, summary);
        std::lock_guard lock(m_mutex);
        m_digest = index.digest;
        m_current = makeSnapshot(std::move(tree), generation + 1);
        m_log("database read: " + std::to_string(summary.received) + " records");
        return true;
    } catch (const shareddb::PgError& e) {
        m_log("database not read: " + shareddb::FailureMessage(m_settings, e));
        return false;
    }
}

std::shared_ptr<const Snapshot> DbSource::Current()
{
    const auto due = [this] {
        return std::chrono::steady_clock::now() - m_checked >= m_interval ||
               m_current->generation == 0;
    };
    {
        std::lock_guard lock(m_mutex);
        if (!due())
            return m_current;
    }
    // One request reads the server; the others go on with the tree read before.
    std::unique_lock reading(m_refreshMutex, std::try_to_lock);
    if (reading.owns_lock()) {
        bool stillDue = false;
        {
            std::lock_guard lock(m_mutex);
            stillDue = due();
        }
        if (stillDue)
            refresh();
    }
    std::lock_guard lock(m_mutex);
    return m_current;
}

} // namespace web
