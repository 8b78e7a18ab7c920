#include "server/Sessions.h"

#include <QRandomGenerator>

#include <cstdio>

template <typename Value>
void Sessions::Recent<Value>::insert(std::string key, Value value, TimePoint now,
                                     std::size_t capacity)
{
    while (!order.empty() && order.size() >= capacity)
        erase(order.front().key);
    order.push_back(Entry{key, std::move(value), now});
    index[std::move(key)] = std::prev(order.end());
}

template <typename Value>
typename Sessions::Recent<Value>::Entry* Sessions::Recent<Value>::find(const std::string& key)
{
    const auto found = index.find(key);
    return found == index.end() ? nullptr : &*found->second;
}

template <typename Value> void Sessions::Recent<Value>::touch(Entry* entry, TimePoint now)
{
    entry->used = now;
    const auto at = index.at(entry->key);
    order.splice(order.end(), order, at);
}

template <typename Value> void Sessions::Recent<Value>::erase(const std::string& key)
{
    const auto found = index.find(key);
    if (found == index.end())
        return;
    const auto at = found->second;
    index.erase(found);
    order.erase(at);
}

template <typename Value> void Sessions::Recent<Value>::dropUsedBefore(TimePoint oldest)
{
    while (!order.empty() && order.front().used < oldest)
        erase(order.front().key);
}

Sessions::Sessions(const Limits& limits, Clock clock) : m_limits(limits), m_clock(std::move(clock))
{
}

std::string Sessions::randomToken()
{
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx",
                  static_cast<unsigned long long>(QRandomGenerator::system()->generate64()),
                  static_cast<unsigned long long>(QRandomGenerator::system()->generate64()));
    return text;
}

std::string Sessions::open(const Grant& grant)
{
    std::string token = randomToken();
    const auto now = m_clock();
    const std::lock_guard lock(m_lock);
    m_sessions.dropUsedBefore(now - m_limits.idle);
    m_sessions.insert(token, grant, now, m_limits.capacity);
    return token;
}

std::optional<Sessions::Grant> Sessions::use(const std::string& token)
{
    const auto now = m_clock();
    const std::lock_guard lock(m_lock);
    m_sessions.dropUsedBefore(now - m_limits.idle);
    auto* session = m_sessions.find(token);
    if (!session)
        return std::nullopt;
    m_sessions.touch(session, now);
    return session->value;
}

std::string Sessions::issueTicket(const std::string& session)
{
    std::string ticket = randomToken();
    const auto now = m_clock();
    const std::lock_guard lock(m_lock);
    m_tickets.dropUsedBefore(now - m_limits.ticketLifetime);
    m_tickets.insert(ticket, Ticket{session}, now, m_limits.capacity);
    return ticket;
}

std::optional<std::string> Sessions::redeem(const std::string& ticket, Refusal& refusal)
{
    const auto now = m_clock();
    const std::lock_guard lock(m_lock);
    const auto* issued = m_tickets.find(ticket);
    if (!issued) {
        refusal = Refusal::Unknown;
        return std::nullopt;
    }
    const bool expired = now - issued->used >= m_limits.ticketLifetime;
    std::string session = issued->value.session;
    m_tickets.erase(ticket);
    if (expired) {
        refusal = Refusal::Expired;
        return std::nullopt;
    }
    m_sessions.dropUsedBefore(now - m_limits.idle);
    auto* open = m_sessions.find(session);
    if (!open) {
        refusal = Refusal::SessionGone;
        return std::nullopt;
    }
    m_sessions.touch(open, now);
    return session;
}

std::size_t Sessions::openCount()
{
    const std::lock_guard lock(m_lock);
    return m_sessions.order.size();
}
