// Sessions with idle and absolute time-outs, and the brake on failed logins.
#include "sessions.h"

#include <sodium.h>

#include <algorithm>

namespace web {

namespace {

std::string hex(const unsigned char* bytes, std::size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::string tokenHash(const std::string& token)
{
    unsigned char h[32];
    crypto_generichash(h, sizeof h, reinterpret_cast<const unsigned char*>(token.data()),
                       token.size(), nullptr, 0);
    return hex(h, sizeof h);
}

} // namespace

std::string SessionTable::Create(const Owner& owner, Clock::time_point now)
{
    unsigned char raw[32];
    randombytes_buf(raw, sizeof raw);
    const std::string token = hex(raw, sizeof raw);
    std::lock_guard lock(m_mutex);
    prune(now);
    m_sessions[tokenHash(token)] = {owner, now, now};
    return token;
}

std::optional<SessionTable::Owner> SessionTable::Touch(const std::string& token,
                                                       Clock::time_point now)
{
    if (token.size() != 64)
        return std::nullopt;
    const std::string key = tokenHash(token);
    std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(key);
    if (it == m_sessions.end())
        return std::nullopt;
    Session& s = it->second;
    if (now - s.lastSeen >= m_limits.idle || now - s.created >= m_limits.absolute) {
        m_sessions.erase(it);
        return std::nullopt;
    }
    s.lastSeen = now;
    return s.owner;
}

void SessionTable::Remove(const std::string& token)
{
    const std::string key = tokenHash(token);
    std::lock_guard lock(m_mutex);
    m_sessions.erase(key);
}

void SessionTable::RemoveUser(const std::string& user)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_sessions, [&](const auto& e) { return e.second.owner.user == user; });
}

std::size_t SessionTable::Count()
{
    std::lock_guard lock(m_mutex);
    return m_sessions.size();
}

// Drops expired sessions, at most once a minute, so abandoned ones do not pile up.
void SessionTable::prune(Clock::time_point now)
{
    if (now - m_pruned < std::chrono::minutes(1))
        return;
    m_pruned = now;
    std::erase_if(m_sessions, [&](const auto& e) {
        return now - e.second.lastSeen >= m_limits.idle ||
               now - e.second.created >= m_limits.absolute;
    });
}

LoginGuard::Verdict LoginGuard::Check(const std::string& user, const std::string& address,
                                      Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (const auto u = m_users.find(user); u != m_users.end()) {
        if (now < u->second.lockedUntil)
            return Verdict::Locked;
        if (now < u->second.notBefore)
            return Verdict::Wait;
    }
    if (const auto a = m_addresses.find(address);
        a != m_addresses.end() && now < a->second.notBefore)
        return Verdict::Wait;
    return Verdict::Allowed;
}

void LoginGuard::fail(Record& r, Clock::time_point now, bool lockable)
{
    ++r.failures;
    if (lockable && r.failures >= m_limits.lockAfter) {
        r.lockedUntil = now + m_limits.lockFor;
        r.failures = 0;
        return;
    }
    const int over = r.failures - m_limits.freeFailures;
    if (over <= 0)
        return;
    auto wait = m_limits.firstWait * (1LL << std::min(over - 1, 20));
    r.notBefore = now + std::min<std::chrono::milliseconds>(wait, m_limits.maxWait);
}

void LoginGuard::Failed(const std::string& user, const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    // Bounded memory against a flood of made-up names: past the bound the tables start afresh.
    if (m_users.size() > 10000)
        m_users.clear();
    if (m_addresses.size() > 10000)
        m_addresses.clear();
    fail(m_users[user], now, true);
    fail(m_addresses[address], now, false);
}

void LoginGuard::Succeeded(const std::string& user, const std::string& address)
{
    std::lock_guard lock(m_mutex);
    m_users.erase(user);
    m_addresses.erase(address);
}

} // namespace web
