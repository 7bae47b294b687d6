// Users of the web viewer: password hashes, the users file and the users table.
#include "webusers.h"

#include <sodium.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "shareddb/dbmessages.h"
#include "shareddb/pgconnection.h"

namespace web {

namespace {

constexpr const char* kFileHeader = "# mxrweb users 1";

std::vector<std::string> split(const std::string& line, char sep)
{
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        const auto p = line.find(sep, start);
        out.push_back(line.substr(start, p - start));
        if (p == std::string::npos)
            return out;
        start = p + 1;
    }
}

// Well-formed UTF-8 lead and continuation bytes (overlong three- and four-byte forms are not
// told apart: a name only has to be printable and comparable).
bool validUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t more = c < 0x80                ? 0
                                 : c >= 0xC2 && c < 0xE0 ? 1
                                 : c >= 0xE0 && c < 0xF0 ? 2
                                 : c >= 0xF0 && c < 0xF5 ? 3
                                                         : std::string::npos;
        if (more == std::string::npos || s.size() - i <= more)
            return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += more + 1;
    }
    return true;
}

} // namespace

const char* RoleKey(Role r)
{
    return r == Role::Admin ? "admin" : "viewer";
}

std::optional<Role> RoleFromKey(const std::string& key)
{
    if (key == "admin")
        return Role::Admin;
    if (key == "viewer")
        return Role::Viewer;
    return std::nullopt;
}

const char* RoleWord(Role r)
{
    return r == Role::Admin ? "管理者" : "閲覧者";
}

std::string HashPassword(const std::string& password)
{
    if (sodium_init() < 0)
        return {};
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return out;
}

bool VerifyPassword(const std::string& hash, const std::string& password)
{
    if (sodium_init() < 0 || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

const std::string& DummyHash()
{
    static const std::string hash = HashPassword("-");
    return hash;
}

bool ValidUserName(const std::string& name)
{
    if (name.empty() || name.size() > 256 || !validUtf8(name))
        return false;
    std::size_t chars = 0;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            return false;
        chars += (c & 0xC0) != 0x80;
    }
    return chars <= 64;
}

bool ParseUsersFile(const std::string& text, std::vector<WebUser>& users, std::string& error)
{
    users.clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = split(line, '\t');
        const auto role = f.size() >= 3 ? RoleFromKey(f[1]) : std::nullopt;
        if (!role || !ValidUserName(f[0]) || f[2].empty()) {
            error = "line " + std::to_string(number) + ": not a user";
            return false;
        }
        WebUser u{f[0], *role, f[2], {f.begin() + 3, f.end()}};
        std::erase(u.customers, std::string());
        users.push_back(std::move(u));
    }
    return true;
}

std::string FormatUsersFile(const std::vector<WebUser>& users)
{
    std::string out = std::string(kFileHeader) + "\n";
    for (const WebUser& u : users) {
        out += u.name + '\t' + RoleKey(u.role) + '\t' + u.passwordHash;
        for (const std::string& c : u.customers)
            out += '\t' + c;
        out += '\n';
    }
    return out;
}

std::string UsersFileFor(const std::string& storePath)
{
    return storePath + ".webusers";
}

std::optional<WebUser> UserStore::Find(const std::string& name, std::string& error)
{
    std::vector<WebUser> users;
    if (!Load(users, error))
        return std::nullopt;
    for (WebUser& u : users)
        if (u.name == name)
            return std::move(u);
    return std::nullopt;
}

// ---- the file ------------------------------------------------------------------------------

bool FileUserStore::Load(std::vector<WebUser>& users, std::string& error)
{
    users.clear();
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return errno == ENOENT || (error = m_path + ": " + std::strerror(errno), false);
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParseUsersFile(text.str(), users, error)) {
        error = m_path + ": " + error;
        return false;
    }
    return true;
}

bool FileUserStore::save(const std::vector<WebUser>& users, std::string& error)
{
    const std::string text = FormatUsersFile(users);
    const std::string tmp = m_path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = tmp + ": " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, 0600); // an older temporary file may have kept other modes
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), m_path.c_str()) != 0) {
        error = m_path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool FileUserStore::Add(const WebUser& user, std::string& error)
{
    std::vector<WebUser> users;
    if (!Load(users, error))
        return false;
    if (std::any_of(users.begin(), users.end(),
                    [&](const WebUser& u) { return u.name == user.name; })) {
        error = "user exists: " + user.name;
        return false;
    }
    users.push_back(user);
    return save(users, error);
}

bool FileUserStore::Update(const WebUser& user, std::string& error)
{
    std::vector<WebUser> users;
    if (!Load(users, error))
        return false;
    for (WebUser& u : users)
        if (u.name == user.name) {
            u = user;
            return save(users, error);
        }
    error = "no such user: " + user.name;
    return false;
}

bool FileUserStore::Remove(const std::string& name, std::string& error)
{
    std::vector<WebUser> users;
    if (!Load(users, error))
        return false;
    const auto removed = std::erase_if(users, [&](const WebUser& u) { return u.name == name; });
    if (removed == 0) {
        error = "no such user: " + name;
        return false;
    }
    return save(users, error);
}

// ---- the table -----------------------------------------------------------------------------

namespace {

using shareddb::PgParam;

constexpr const char* kSelectUsers =
    "SELECT u.name, u.role, u.password_hash, coalesce(c.customer, '') FROM web_users u "
    "LEFT JOIN web_user_customers c ON c.user_name = u.name";

// Rows of kSelectUsers (text results) into users, in name order.
void collect(const shareddb::PgResult& r, std::vector<WebUser>& users)
{
    for (int i = 0; i < r.rows(); ++i) {
        const std::string name = r.bytes(i, 0);
        if (users.empty() || users.back().name != name)
            users.push_back(
                {name, RoleFromKey(r.bytes(i, 1)).value_or(Role::Viewer), r.bytes(i, 2), {}});
        if (const std::string c = r.bytes(i, 3); !c.empty())
            users.back().customers.push_back(c);
    }
}

void writeCustomers(shareddb::PgConnection& c, const WebUser& user)
{
    c.execParams("DELETE FROM web_user_customers WHERE user_name = $1", {PgParam::text(user.name)});
    for (const std::string& customer : user.customers)
        c.execParams("INSERT INTO web_user_customers (user_name, customer) VALUES ($1, $2) "
                     "ON CONFLICT DO NOTHING",
                     {PgParam::text(user.name), PgParam::text(customer)});
}

template <class Fn> bool withConnection(const shareddb::DbSettings& s, std::string& error, Fn fn)
{
    try {
        shareddb::PgConnection c(s.params, s.timeoutSeconds);
        return fn(c);
    } catch (const shareddb::PgError& e) {
        error = shareddb::FailureMessage(s, e);
        return false;
    }
}

} // namespace

bool DbUserStore::Load(std::vector<WebUser>& users, std::string& error)
{
    users.clear();
    return withConnection(m_settings, error, [&](shareddb::PgConnection& c) {
        collect(c.execParams(std::string(kSelectUsers) + " ORDER BY u.name, c.customer", {}, false),
                users);
        return true;
    });
}

std::optional<WebUser> DbUserStore::Find(const std::string& name, std::string& error)
{
    std::vector<WebUser> users;
    const bool ok = withConnection(m_settings, error, [&](shareddb::PgConnection& c) {
        collect(c.execParams(std::string(kSelectUsers) + " WHERE u.name = $1 ORDER BY c.customer",
                             {PgParam::text(name)}, false),
                users);
        return true;
    });
    if (!ok || users.empty())
        return std::nullopt;
    return users.front();
}

bool DbUserStore::Add(const WebUser& user, std::string& error)
{
    return withConnection(m_settings, error, [&](shareddb::PgConnection& c) {
        shareddb::PgTransaction t(c);
        const shareddb::PgResult r =
            c.execParams("INSERT INTO web_users (name, role, password_hash) VALUES ($1, $2, $3) "
                         "ON CONFLICT DO NOTHING RETURNING name",
                         {PgParam::text(user.name), PgParam::text(RoleKey(user.role)),
                          PgParam::text(user.passwordHash)},
                         false);
        if (r.rows() == 0) {
            error = "user exists: " + user.name;
            return false;
        }
        writeCustomers(c, user);
        t.commit();
        return true;
    });
}

bool DbUserStore::Update(const WebUser& user, std::string& error)
{
    return withConnection(m_settings, error, [&](shareddb::PgConnection& c) {
        shareddb::PgTransaction t(c);
        const shareddb::PgResult r = c.execParams(
            "UPDATE web_users SET role = $2, password_hash = $3, changed = now() WHERE name = $1 "
            "RETURNING name",
            {PgParam::text(user.name), PgParam::text(RoleKey(user.role)),
             PgParam::text(user.passwordHash)},
            false);
        if (r.rows() == 0) {
            error = "no such user: " + user.name;
            return false;
        }
        writeCustomers(c, user);
        t.commit();
        return true;
    });
}

bool DbUserStore::Remove(const std::string& name, std::string& error)
{
    return withConnection(m_settings, error, [&](shareddb::PgConnection& c) {
        const shareddb::PgResult r = c.execParams(
            "DELETE FROM web_users WHERE name = $1 RETURNING name", {PgParam::text(name)}, false);
        if (r.rows() == 0) {
            error = "no such user: " + name;
            return false;
        }
        return true;
    });
}

} // namespace web

namespace web {

bool MemoryUserStore::Load(std::vector<WebUser>& users, std::string&)
{
    std::lock_guard lock(m_mutex);
    users = m_users;
    return true;
}

bool MemoryUserStore::Add(const WebUser& user, std::string& error)
{
    std::lock_guard lock(m_mutex);
    for (const WebUser& u : m_users)
        if (u.name == user.name) {
            error = "user exists: " + user.name;
            return false;
        }
    m_users.push_back(user);
    return true;
}

bool MemoryUserStore::Update(const WebUser& user, std::string& error)
{
    std::lock_guard lock(m_mutex);
    for (WebUser& u : m_users)
        if (u.name == user.name) {
            u = user;
            return true;
        }
    error = "no such user: " + user.name;
    return false;
}

bool MemoryUserStore::Remove(const std::string& name, std::string& error)
{
    std::lock_guard lock(m_mutex);
    if (std::erase_if(m_users, [&](const WebUser& u) { return u.name == name; }) == 0) {
        error = "no such user: " + name;
        return false;
    }
    return true;
}

} // namespace web
