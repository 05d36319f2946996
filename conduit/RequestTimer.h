// The one thread that ends requests whose time is up, on the monotonic clock.
// It only reports the token; the bus decides whether the request was still
// waiting (a reply and a time-out race for one removal of the request).
#pragma once

#include "DeliveryPool.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace conduit {

class RequestTimer {
public:
    explicit RequestTimer(std::function<void(uint64_t token)> expire)
        : expire_(std::move(expire)) {}
    ~RequestTimer();
    RequestTimer(const RequestTimer&) = delete;
    RequestTimer& operator=(const RequestTimer&) = delete;

    void start();
    void stop();
    void add(Clock::time_point deadline, uint64_t token);
    void cancel(Clock::time_point deadline, uint64_t token);

private:
    void run();

    std::function<void(uint64_t)> expire_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::multimap<Clock::time_point, uint64_t> deadlines_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace conduit
