#include "DeliveryPool.h"

#include <algorithm>

namespace conduit {

namespace {

thread_local bool busThread = false;
// Work a lane runs before it lets the other lanes have the thread.
constexpr int kBatch = 64;

} // namespace

class DeliveryPool::Lane {
public:
    std::deque<Work> queue;
    bool open = true;
    bool scheduled = false; // in the ready queue or being served
    bool running = false;
    std::thread::id runner;
    const void* runningTag = nullptr;

    // Running on a thread other than the caller's: what close and awaitTag wait for.
    bool busyElsewhere(const void* tag = nullptr) const {
        return running && runner != std::this_thread::get_id() &&
               (tag == nullptr || runningTag == tag);
    }
};

DeliveryPool::~DeliveryPool() {
    stop();
}

bool DeliveryPool::onBusThread() noexcept {
    return busThread;
}

void DeliveryPool::markBusThread() noexcept {
    busThread = true;
}

void DeliveryPool::start(size_t threads) {
    std::lock_guard lock(mutex_);
    stopping_ = false;
    while (threads_.size() < threads) {
        threads_.emplace_back([this] {
            markBusThread();
            serve();
        });
    }
}

void DeliveryPool::stop() {
    std::vector<std::thread> joined;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        joined.swap(threads_);
    }
    workReady_.notify_all();
    for (std::thread& thread : joined) {
        thread.join();
    }
    std::lock_guard lock(mutex_);
    for (const LanePtr& lane : ready_) {
        lane->queue.clear();
        lane->scheduled = false;
    }
    ready_.clear();
}

DeliveryPool::LanePtr DeliveryPool::makeLane() {
    return std::make_shared<Lane>();
}

void DeliveryPool::post(const LanePtr& lane, Work work) {
    std::lock_guard lock(mutex_);
    if (!lane->open || stopping_) {
        return;
    }
    lane->queue.push_back(std::move(work));
    if (!lane->scheduled) {
        lane->scheduled = true;
        ready_.push_back(lane);
        if (idleThreads_ > 0) {
            workReady_.notify_one();
        }
    }
}

template <typename Done>
bool DeliveryPool::waitFor(std::unique_lock<std::mutex>& lock, Deadline deadline, Done done) {
    ++waiters_;
    bool ok = true;
    if (deadline) {
        ok = idle_.wait_until(lock, *deadline, done);
    } else {
        idle_.wait(lock, done);
    }
    --waiters_;
    return ok;
}

bool DeliveryPool::close(const LanePtr& lane, Deadline deadline) {
    std::unique_lock lock(mutex_);
    lane->open = false;
    lane->queue.clear();
    return waitFor(lock, deadline, [&] { return !lane->busyElsewhere(); });
}

bool DeliveryPool::drainThenClose(const LanePtr& lane, Deadline deadline) {
    std::unique_lock lock(mutex_);
    const bool drained = waitFor(lock, deadline, [&] {
        return stopping_ || (lane->queue.empty() && !lane->busyElsewhere());
    });
    lane->open = false;
    lane->queue.clear();
    return drained && waitFor(lock, deadline, [&] { return !lane->busyElsewhere(); });
}

void DeliveryPool::discard(const LanePtr& lane, const void* tag) {
    std::lock_guard lock(mutex_);
    std::erase_if(lane->queue, [tag](const Work& work) { return work.tag == tag; });
}

bool DeliveryPool::awaitTag(const LanePtr& lane, const void* tag, Deadline deadline) {
    std::unique_lock lock(mutex_);
    return waitFor(lock, deadline, [&] { return !lane->busyElsewhere(tag); });
}

bool DeliveryPool::awaitIdle(Deadline deadline) {
    std::unique_lock lock(mutex_);
    const size_t own = onBusThread() ? 1 : 0;
    return waitFor(lock, deadline, [&] { return runningWork_ <= own; });
}

void DeliveryPool::serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idleThreads_;
        workReady_.wait(lock, [&] { return stopping_ || !ready_.empty(); });
        --idleThreads_;
        if (stopping_) {
            return;
        }
        const LanePtr lane = std::move(ready_.front());
        ready_.pop_front();
        for (int served = 0; served < kBatch && lane->open && !lane->queue.empty(); ++served) {
            Work work = std::move(lane->queue.front());
            lane->queue.pop_front();
            lane->running = true;
            lane->runner = std::this_thread::get_id();
            lane->runningTag = work.tag;
            ++runningWork_;
            lock.unlock();
            try {
                work.run();
            } catch (...) {
                // A callback's failure is the callback's; the bus goes on.
            }
            work.run = nullptr; // what it holds goes before the lane counts as idle
            lock.lock();
            lane->running = false;
            lane->runningTag = nullptr;
            --runningWork_;
            if (waiters_ > 0) {
                idle_.notify_all();
            }
        }
        if (lane->open && !lane->queue.empty() && !stopping_) {
            ready_.push_back(lane);
        } else {
            lane->scheduled = false;
        }
    }
}

} // namespace conduit
