#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// The threads that serve connections, one a connection: a thread is started when a
// connection comes and none is idle, up to `most`, and one idle for `idleExit` ends, so
// that a burst of slow clients costs threads only while it lasts. A connection beyond
// `most` waits for a thread. The threads are detached and share the queue's state, so none
// outlives what it uses; shutdown() runs what is queued and waits for every thread to end.
class WorkerPool : public httplib::TaskQueue {
public:
    explicit WorkerPool(std::size_t most,
                        std::chrono::milliseconds idleExit = std::chrono::seconds(30));
    ~WorkerPool() override;

    void enqueue(std::function<void()> job) override;
    void shutdown() override;

private:
    struct State {
        std::mutex lock;
        std::condition_variable work;
        std::condition_variable ended;
        std::deque<std::function<void()>> jobs;
        std::size_t threads = 0;
        std::size_t idle = 0;
        bool stopping = false;
    };
    static void run(const std::shared_ptr<State>& state, std::chrono::milliseconds idleExit);

    const std::size_t m_most;
    const std::chrono::milliseconds m_idleExit;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
