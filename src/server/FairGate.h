#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Lets at most `width` holders through at once. Work that only needs processors goes no
// faster for being done by more threads than there are processors: each would take as
// long as all of them together. Taken in turn, the first are done early and none later
// than before.
//
// The turn goes round the parties: a party's second pass waits for the first passes of
// the other parties waiting, its third for their second, and so on, so a client that
// sends one upload after another does not keep out one whose first upload came late.
// Passes in the same round go in the order they came; with one pass a party, that is
// arrival order.
class FairGate {
public:
    explicit FairGate(unsigned width) : m_width(width > 0 ? width : 1) {}

    class Pass {
    public:
        Pass(FairGate& gate, const std::string& party) : m_gate(gate) { m_gate.enter(party); }
        ~Pass() { m_gate.leave(); }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

    private:
        FairGate& m_gate;
    };

    // How many wait for their turn.
    std::uint64_t waiting()
    {
        const std::lock_guard lock(m_lock);
        return m_waiting.size();
    }

private:
    struct Waiter {
        Waiter(std::uint64_t round, std::uint64_t arrival) : round(round), arrival(arrival) {}
        const std::uint64_t round;
        const std::uint64_t arrival;
        bool admitted = false;
        std::condition_variable wake;
    };

    void enter(const std::string& party)
    {
        std::unique_lock lock(m_lock);
        std::uint64_t& last = m_lastRound[party];
        last = std::max(last, m_round) + 1;
        if (m_inside < m_width && m_waiting.empty()) {
            ++m_inside;
            m_round = std::max(m_round, last);
            return;
        }
        Waiter self(last, m_arrivals++);
        m_waiting.push_back(&self);
        self.wake.wait(lock, [&] { return self.admitted; });
    }

    void leave()
    {
        const std::lock_guard lock(m_lock);
        forgetPastRounds();
        if (m_waiting.empty()) {
            --m_inside;
            return;
        }
        const auto next =
            std::min_element(m_waiting.begin(), m_waiting.end(), [](auto* a, auto* b) {
                return a->round != b->round ? a->round < b->round : a->arrival < b->arrival;
            });
        Waiter* admitted = *next;
        m_waiting.erase(next);
        m_round = std::max(m_round, admitted->round);
        admitted->admitted = true;
        admitted->wake.notify_one();
    }

    // A party whose last round has passed starts where any newcomer would.
    void forgetPastRounds()
    {
        if (m_lastRound.size() < 64)
            return;
        std::erase_if(m_lastRound, [&](const auto& entry) { return entry.second <= m_round; });
    }

    const unsigned m_width;
    std::mutex m_lock;
    unsigned m_inside = 0;
    // The round of the pass let through last, and of each party's latest pass.
    std::uint64_t m_round = 0;
    std::unordered_map<std::string, std::uint64_t> m_lastRound;
    std::uint64_t m_arrivals = 0;
    std::vector<Waiter*> m_waiting;
};
