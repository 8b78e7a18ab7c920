#include "server/WorkerPool.h"

#include <system_error>
#include <thread>

WorkerPool::WorkerPool(std::size_t most, std::chrono::milliseconds idleExit)
    : m_most(most > 0 ? most : 1), m_idleExit(idleExit)
{
}

WorkerPool::~WorkerPool()
{
    shutdown();
}

void WorkerPool::enqueue(std::function<void()> job)
{
    std::unique_lock lock(m_state->lock);
    m_state->jobs.push_back(std::move(job));
    if (m_state->idle >= m_state->jobs.size() || m_state->threads >= m_most) {
        m_state->work.notify_one();
        return;
    }
    ++m_state->threads;
    lock.unlock();
    try {
        std::thread(run, m_state, m_idleExit).detach();
    } catch (const std::system_error&) {
        // No thread to be had now: the job waits for one that is running.
        lock.lock();
        --m_state->threads;
    }
}

void WorkerPool::shutdown()
{
    std::unique_lock lock(m_state->lock);
    m_state->stopping = true;
    m_state->work.notify_all();
    m_state->ended.wait(lock, [&] { return m_state->threads == 0; });
}

void WorkerPool::run(const std::shared_ptr<State>& state, std::chrono::milliseconds idleExit)
{
    std::unique_lock lock(state->lock);
    for (;;) {
        ++state->idle;
        const bool woken = state->work.wait_for(
            lock, idleExit, [&] { return !state->jobs.empty() || state->stopping; });
        --state->idle;
        if (state->jobs.empty() && (state->stopping || !woken))
            break;
        if (state->jobs.empty())
            continue;
        std::function<void()> job = std::move(state->jobs.front());
        state->jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
    if (--state->threads == 0)
        state->ended.notify_all();
}
