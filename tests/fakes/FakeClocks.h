// Clocks for deadlines that tests control instead of sleeping.
#pragma once

#include "platform/MonotonicClock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace testfakes {

// Stands still until the test moves it; safe to read from any thread.
class ManualClock : public Vanta::MonotonicClock {
public:
    explicit ManualClock(int64_t start = 0) : now_(start) {}
    int64_t nowMilliseconds() const override { return now_.load(); }
    void advance(int64_t milliseconds) { now_ += milliseconds; }

private:
    std::atomic<int64_t> now_;
};

// Hands out the given readings in turn, then a time far beyond any deadline:
// shows how often, and in which order, the code under test reads the clock.
class ScriptedClock : public Vanta::MonotonicClock {
public:
    explicit ScriptedClock(std::vector<int64_t> readings) : readings_(std::move(readings)) {}
    int64_t nowMilliseconds() const override {
        ++reads_;
        return reads_ <= readings_.size() ? readings_[reads_ - 1]
                                          : std::numeric_limits<int64_t>::max() / 2;
    }
    size_t reads() const { return reads_; }

private:
    std::vector<int64_t> readings_;
    mutable size_t reads_ = 0;
};

} // namespace testfakes
