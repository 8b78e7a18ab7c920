#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Lets at most `width` holders through at once, in the order they came. Work that only
// needs processors goes no faster for being done by more threads than there are
// processors: each would take as long as all of them together. Taken in turn, the first
// are done early and none later than before.
class FairGate {
public:
    explicit FairGate(unsigned width) : m_width(width > 0 ? width : 1) {}

    class Pass {
    public:
        explicit Pass(FairGate& gate) : m_gate(gate) { m_gate.enter(); }
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
        return m_issued > m_left + m_width ? m_issued - m_left - m_width : 0;
    }

private:
    void enter()
    {
        std::unique_lock lock(m_lock);
        const std::uint64_t ticket = m_issued++;
        m_turn.wait(lock, [&] { return ticket < m_left + m_width; });
    }
    void leave()
    {
        {
            const std::lock_guard lock(m_lock);
            ++m_left;
        }
        m_turn.notify_all();
    }

    const unsigned m_width;
    std::mutex m_lock;
    std::condition_variable m_turn;
    std::uint64_t m_issued = 0;
    std::uint64_t m_left = 0;
};
