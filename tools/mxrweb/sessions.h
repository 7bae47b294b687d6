// Login sessions and the brake on failed logins of the web viewer. In memory: a restart logs
// everyone out.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace web {

using Clock = std::chrono::steady_clock;

struct SessionLimits {
    std::chrono::seconds idle{30 * 60};          // without a request
    std::chrono::seconds absolute{12 * 60 * 60}; // since the login
};

// Tokens are 32 random bytes (libsodium randombytes) as hex; only their BLAKE2b hash is kept,
// so a memory dump does not hold usable cookies.
class SessionTable {
public:
    explicit SessionTable(SessionLimits limits = {}) : m_limits(limits) {}

    // Who a session belongs to: the user, and a stamp of the account at the login (its
    // password hash), so a changed password ends the sessions made with the old one.
    struct Owner {
        std::string user;
        std::string stamp;
    };
    // A new session for the user; its token for the cookie.
    std::string Create(const Owner& owner, Clock::time_point now = Clock::now());
    // The session's owner when the token is known and neither time-out has passed; the idle
    // time starts again. An expired session is removed.
    std::optional<Owner> Touch(const std::string& token, Clock::time_point now = Clock::now());
    void Remove(const std::string& token);
    // Ends every session of the user (password changed or user removed elsewhere).
    void RemoveUser(const std::string& user);
    std::size_t Count();

private:
    struct Session {
        Owner owner;
        Clock::time_point created, lastSeen;
    };
    void prune(Clock::time_point now);

    const SessionLimits m_limits;
    // Protects m_sessions and m_pruned.
    std::mutex m_mutex;
    std::unordered_map<std::string, Session> m_sessions; // by token hash
    Clock::time_point m_pruned;
};

struct LoginLimits {
    int freeFailures = 2;                      // failures before the waits begin
    std::chrono::milliseconds firstWait{1000}; // doubled with each further failure
    std::chrono::milliseconds maxWait{30000};
    int lockAfter = 10; // consecutive failures that lock the name
    std::chrono::seconds lockFor{15 * 60};
};

// Failed logins per user name (known or not) and per client address: after a few failures
// the next attempt is refused until a growing wait has passed, and after many the name is
// locked for a while. Refused attempts do not verify a password. A success clears the name
// and the address.
class LoginGuard {
public:
    explicit LoginGuard(LoginLimits limits = {}) : m_limits(limits) {}

    enum class Verdict { Allowed, Wait, Locked };
    Verdict Check(const std::string& user, const std::string& address,
                  Clock::time_point now = Clock::now());
    void Failed(const std::string& user, const std::string& address,
                Clock::time_point now = Clock::now());
    void Succeeded(const std::string& user, const std::string& address);

private:
    struct Record {
        int failures = 0;
        Clock::time_point notBefore{};
        Clock::time_point lockedUntil{};
    };
    void fail(Record& r, Clock::time_point now, bool lockable);

    const LoginLimits m_limits;
    // Protects both maps.
    std::mutex m_mutex;
    std::map<std::string, Record> m_users, m_addresses;
};

} // namespace web
