#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

// The sessions the order pages open and the launch tickets they issue. A session belongs to
// one buyer's mailbox and grants nothing else. A session unused for longer than `idle` is
// gone; when `capacity` sessions are open, opening one more drops the one unused longest.
// A ticket stands for its session once, within `ticketLifetime`; tickets are capped alike.
// Every lookup takes constant time, whatever the number of sessions.
class Sessions {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;
    struct Limits {
        std::chrono::seconds idle = std::chrono::hours(8);
        std::chrono::seconds ticketLifetime = std::chrono::minutes(2);
        std::size_t capacity = 10000;
    };
    // What a session may touch: one mailbox, and the partner information of its buyer.
    struct Grant {
        QString mailbox;
        QString buyerIln;
        bool operator==(const Grant&) const = default;
    };
    enum class Refusal { Unknown, Expired, SessionGone };

    explicit Sessions(const Limits& limits, Clock clock = std::chrono::steady_clock::now);

    // Opens a session for the grant; its token.
    std::string open(const Grant& grant);
    // The grant of the open session the token names, which counts as used now.
    std::optional<Grant> use(const std::string& token);
    std::string issueTicket(const std::string& session);
    // The session a ticket stands for, or why it is refused; the ticket is gone either way.
    std::optional<std::string> redeem(const std::string& ticket, Refusal& refusal);
    std::size_t openCount();

private:
    // Entries in the order of their last use, the oldest first, with an index by key.
    template <typename Value> struct Recent {
        struct Entry {
            std::string key;
            Value value;
            TimePoint used;
        };
        std::list<Entry> order;
        std::unordered_map<std::string, typename std::list<Entry>::iterator> index;

        void insert(std::string key, Value value, TimePoint now, std::size_t capacity);
        Entry* find(const std::string& key);
        void touch(Entry* entry, TimePoint now);
        void erase(const std::string& key);
        // Drops the entries last used before `oldest`.
        void dropUsedBefore(TimePoint oldest);
    };
    struct Ticket {
        std::string session;
    };

    static std::string randomToken();

    const Limits m_limits;
    const Clock m_clock;
    std::mutex m_lock;
    Recent<Grant> m_sessions;
    Recent<Ticket> m_tickets;
};
