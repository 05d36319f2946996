#include "RequestTimer.h"

#include <vector>

namespace conduit {

RequestTimer::~RequestTimer() {
    stop();
}

void RequestTimer::start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) {
        return;
    }
    stopping_ = false;
    thread_ = std::thread([this] {
        DeliveryPool::markBusThread();
        run();
    });
}

void RequestTimer::stop() {
    std::thread joined;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        joined = std::move(thread_);
        deadlines_.clear();
    }
    changed_.notify_all();
    if (joined.joinable()) {
        joined.join();
    }
}

void RequestTimer::add(Clock::time_point deadline, uint64_t token) {
    bool earliest = false;
    {
        std::lock_guard lock(mutex_);
        earliest = deadlines_.empty() || deadline < deadlines_.begin()->first;
        deadlines_.emplace(deadline, token);
    }
    if (earliest) {
        changed_.notify_all();
    }
}

void RequestTimer::cancel(Clock::time_point deadline, uint64_t token) {
    std::lock_guard lock(mutex_);
    const auto [first, last] = deadlines_.equal_range(deadline);
    for (auto it = first; it != last; ++it) {
        if (it->second == token) {
            deadlines_.erase(it);
            return;
        }
    }
}

void RequestTimer::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (deadlines_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const Clock::time_point next = deadlines_.begin()->first;
        if (Clock::now() < next) {
            changed_.wait_until(lock, next);
            continue;
        }
        std::vector<uint64_t> due;
        const Clock::time_point now = Clock::now();
        while (!deadlines_.empty() && deadlines_.begin()->first <= now) {
            due.push_back(deadlines_.begin()->second);
            deadlines_.erase(deadlines_.begin());
        }
        lock.unlock();
        for (const uint64_t token : due) {
            try {
                expire_(token);
            } catch (...) {
                // Out of memory for the time-out's delivery: the timer itself goes on.
            }
        }
        lock.lock();
    }
}

} // namespace conduit
