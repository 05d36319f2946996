// Times a scope and reports it as one machine-readable record at level 1,
// once: at the first stop, or at destruction when never stopped. The times
// are interrupt-time milliseconds, not wall-clock times.
#pragma once

#include <cstdint>
#include <string>

namespace Vanta::internal {

class PerfTimer {
public:
    explicit PerfTimer(std::wstring name);
    ~PerfTimer();
    PerfTimer(const PerfTimer&) = delete;
    PerfTimer& operator=(const PerfTimer&) = delete;

    void stop() noexcept;

private:
    uint64_t start_;
    std::wstring name_;
    bool stopped_ = false;
};

} // namespace Vanta::internal
