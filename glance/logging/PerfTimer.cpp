#include "logging/PerfTimer.h"

#include "logging/Log.h"
#include "platform/InterruptTime.h"

namespace Vanta::internal {
namespace {

uint64_t nowMilliseconds() noexcept {
    return unbiasedInterruptTime() / 10000;
}

} // namespace

PerfTimer::PerfTimer(std::wstring name) : start_(nowMilliseconds()), name_(std::move(name)) {}

PerfTimer::~PerfTimer() {
    stop();
}

void PerfTimer::stop() noexcept {
    if (stopped_) {
        return;
    }
    const uint64_t end = nowMilliseconds();
    ETWLogging::logIfEnabled(
        ETWLogging::kLevelNormal, L"performance\\PerfTimer", L"Vanta::internal::PerfTimer::stop",
        54, L"M12NPerfTimer|%ls|%lld|%lld|%lld", name_.c_str(), static_cast<int64_t>(start_),
        static_cast<int64_t>(end), static_cast<int64_t>(end - start_));
    stopped_ = true;
}

} // namespace Vanta::internal
