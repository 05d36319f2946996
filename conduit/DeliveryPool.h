// The threads that run every callback of the bus. Work is posted to lanes; a
// lane runs its work in posting order, on one thread at a time, so each
// subscription sees its messages in order while different subscriptions run
// in parallel. No lock of the pool is held while work runs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace conduit {

using Clock = std::chrono::steady_clock;
// No deadline: wait as long as it takes.
using Deadline = std::optional<Clock::time_point>;

struct Work {
    const void* tag = nullptr; // what discard() and awaitTag() select by: a reply callback
    std::function<void()> run;
};

class DeliveryPool {
public:
    class Lane;
    using LanePtr = std::shared_ptr<Lane>;

    DeliveryPool() = default;
    ~DeliveryPool();
    DeliveryPool(const DeliveryPool&) = delete;
    DeliveryPool& operator=(const DeliveryPool&) = delete;

    void start(size_t threads);
    // Joins the threads; work still queued is dropped. Never call it from a pool thread.
    void stop();
    // True on the pool's own threads (and the timer's, which marks itself).
    static bool onBusThread() noexcept;
    static void markBusThread() noexcept;

    LanePtr makeLane();
    // Work posted to a closed lane is dropped.
    void post(const LanePtr& lane, Work work);
    // Closes the lane: nothing queued runs and nothing new is taken. Waits for the work
    // running on another thread to return; false when `deadline` passed first.
    bool close(const LanePtr& lane, Deadline deadline);
    // Waits until everything queued on the lane has run, then closes it.
    bool drainThenClose(const LanePtr& lane, Deadline deadline);
    // Drops the queued work with `tag`; work already running goes on.
    void discard(const LanePtr& lane, const void* tag);
    // Waits for work with `tag` that runs on another thread to return.
    bool awaitTag(const LanePtr& lane, const void* tag, Deadline deadline);
    // Waits until no work runs anywhere in the pool (except on the calling thread).
    bool awaitIdle(Deadline deadline);

private:
    void serve();
    // Waits on `idle_` until `done` holds; false at the deadline.
    template <typename Done>
    bool waitFor(std::unique_lock<std::mutex>& lock, Deadline deadline, Done done);

    std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable idle_; // a lane finished a piece of work
    std::deque<LanePtr> ready_;
    std::vector<std::thread> threads_;
    size_t idleThreads_ = 0;
    size_t runningWork_ = 0; // pieces of work running now, one per busy thread
    size_t waiters_ = 0;
    bool stopping_ = false;
};

} // namespace conduit
