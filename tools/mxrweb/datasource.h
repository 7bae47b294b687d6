// Where the web viewer's tree comes from: a data store file, the shared database or the demo's
// sample data. Every source is read-only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "model/customerdb.h"
#include "model/fileidentity.h"
#include "shareddb/dbsettings.h"

namespace web {

// One loaded tree. Requests hold it by shared pointer, so a reload never changes a tree a
// request is reading.
struct Snapshot {
    CCustomerDB tree;
    std::uint64_t generation = 0; // grows with every reload
};

using LogFn = std::function<void(const std::string&)>;

class DataSource {
public:
    virtual ~DataSource() = default;
    // The newest tree (reloaded first when the source changed and its check is due). Never
    // null: a source that could not be read gives an empty tree. Thread-safe.
    virtual std::shared_ptr<const Snapshot> Current() = 0;
    // The source for the start-up line and the log ("store /srv/MXR.DAT").
    virtual std::string Describe() const = 0;
};

// A data store file read-only: loaded at start, and again when its identity (inode, size,
// modification time) changed, checked at most once per interval. A file that cannot be read
// keeps the tree loaded before and is logged.
class StoreSource : public DataSource {
public:
    StoreSource(std::string path, LogFn log,
                std::chrono::milliseconds interval = std::chrono::milliseconds(1000));
    std::shared_ptr<const Snapshot> Current() override;
    std::string Describe() const override { return "store " + m_path; }
    // True when the first load succeeded.
    bool Loaded() const { return m_loaded; }

private:
    void reload(const FileIdentity& id);

    const std::string m_path;
    const LogFn m_log;
    const std::chrono::milliseconds m_interval;
    bool m_loaded = false;
    // Held while the file is read: one reader at a time.
    std::mutex m_reloadMutex;
    // Protects everything below (never held while the file is read).
    std::mutex m_mutex;
    std::shared_ptr<const Snapshot> m_current;
    FileIdentity m_identity;
    std::chrono::steady_clock::time_point m_checked;
};

// A fixed tree (the demo's sample data, tests).
class FixedSource : public DataSource {
public:
    FixedSource(CCustomerDB tree, std::string description);
    std::shared_ptr<const Snapshot> Current() override { return m_current; }
    std::string Describe() const override { return m_description; }

private:
    std::shared_ptr<const Snapshot> m_current;
    std::string m_description;
};

// The shared PostgreSQL database read through a role that may only read: every record of the
// server in one tree, read again when the server's digest changed, checked at most once per
// interval. A server that cannot be reached keeps the tree read before and is logged.
class DbSource : public DataSource {
public:
    DbSource(shareddb::DbSettings settings, LogFn log,
             std::chrono::milliseconds interval = std::chrono::milliseconds(5000));
    std::shared_ptr<const Snapshot> Current() override;
    std::string Describe() const override { return "database " + m_settings.Describe(); }
    // Reads the server now; false with the message logged when it failed.
    bool Refresh();

private:
    bool refresh(); // with m_refreshMutex held

    const shareddb::DbSettings m_settings;
    const LogFn m_log;
    const std::chrono::milliseconds m_interval;
    // Held while the server is read: one reader at a time; requests that find it taken go on
    // with the tree read before.
    std::mutex m_refreshMutex;
    // Protects everything below (never held while the server is read).
    std::mutex m_mutex;
    std::shared_ptr<const Snapshot> m_current;
    std::string m_digest;
    std::chrono::steady_clock::time_point m_checked;
};

} // namespace web
