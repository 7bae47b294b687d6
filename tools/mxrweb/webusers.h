// The web viewer's users: name, password hash (Argon2id), role and the customers a viewer may
// see; kept in a file beside the store or in a table of the shared database.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "shareddb/dbsettings.h"

namespace web {

enum class Role { Admin, Viewer };

// "admin" / "viewer" (options, files, the table) and the Japanese words the pages show.
const char* RoleKey(Role r);
std::optional<Role> RoleFromKey(const std::string& key);
const char* RoleWord(Role r); // 管理者, 閲覧者

struct WebUser {
    std::string name; // UTF-8
    Role role = Role::Viewer;
    std::string passwordHash;           // crypto_pwhash_str form ("$argon2id$...")
    std::vector<std::string> customers; // UTF-8 names; a viewer sees only these
};

// Argon2id with libsodium's interactive limits. Empty when the hash could not be made (out of
// memory).
std::string HashPassword(const std::string& password);
bool VerifyPassword(const std::string& hash, const std::string& password);
// A hash to verify against for an unknown user, so that its answer takes as long as a known
// user's.
const std::string& DummyHash();

// A user name: 1 to 64 characters of valid UTF-8 without control characters or tab.
bool ValidUserName(const std::string& name);

// The users file: UTF-8 text lines, "# mxrweb users 1" first, then one line per user,
// fields separated by tabs: name, role key, password hash, then each customer. Lines starting
// with '#' and empty lines are skipped. Unknown roles and short lines are errors.
bool ParseUsersFile(const std::string& text, std::vector<WebUser>& users, std::string& error);
std::string FormatUsersFile(const std::vector<WebUser>& users);
// The users file beside a store: "<store>.webusers".
std::string UsersFileFor(const std::string& storePath);

// Where the users live. Load gives every user; Save replaces them all (the tool's changes).
class UserStore {
public:
    virtual ~UserStore() = default;
    virtual bool Load(std::vector<WebUser>& users, std::string& error) = 0;
    // Looks up one user; nothing when unknown or on an error (logged by the caller).
    virtual std::optional<WebUser> Find(const std::string& name, std::string& error);
    virtual bool Add(const WebUser& user, std::string& error) = 0;
    virtual bool Update(const WebUser& user, std::string& error) = 0;
    virtual bool Remove(const std::string& name, std::string& error) = 0;
};

// The file beside the store, written through a temporary file with mode 0600 and renamed. A
// missing file holds no user.
class FileUserStore : public UserStore {
public:
    explicit FileUserStore(std::string path) : m_path(std::move(path)) {}
    bool Load(std::vector<WebUser>& users, std::string& error) override;
    bool Add(const WebUser& user, std::string& error) override;
    bool Update(const WebUser& user, std::string& error) override;
    bool Remove(const std::string& name, std::string& error) override;

private:
    bool save(const std::vector<WebUser>& users, std::string& error);
    std::string m_path;
};

// The table web_users of the shared database (made by `mxrtool db init`).
class DbUserStore : public UserStore {
public:
    explicit DbUserStore(shareddb::DbSettings settings) : m_settings(std::move(settings)) {}
    bool Load(std::vector<WebUser>& users, std::string& error) override;
    std::optional<WebUser> Find(const std::string& name, std::string& error) override;
    bool Add(const WebUser& user, std::string& error) override;
    bool Update(const WebUser& user, std::string& error) override;
    bool Remove(const std::string& name, std::string& error) override;

private:
    shareddb::DbSettings m_settings;
};

} // namespace web

namespace web {

// Users held in memory only (the demo's accounts, tests).
class MemoryUserStore : public UserStore {
public:
    explicit MemoryUserStore(std::vector<WebUser> users = {}) : m_users(std::move(users)) {}
    bool Load(std::vector<WebUser>& users, std::string& error) override;
    bool Add(const WebUser& user, std::string& error) override;
    bool Update(const WebUser& user, std::string& error) override;
    bool Remove(const std::string& name, std::string& error) override;

private:
    // Protects m_users.
    std::mutex m_mutex;
    std::vector<WebUser> m_users;
};

} // namespace web
