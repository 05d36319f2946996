// Formats a count for a tile: the unsigned decimal value with the digit
// grouping of a locale, no sign, no fill.
#pragma once

#include "platform/DigitGrouping.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace Vanta {

class CountFormat {
public:
    // The user's default locale at the time each count is formatted.
    CountFormat() = default;
    // Always `grouping`, whatever the user's locale: for identical texts on
    // every machine.
    explicit CountFormat(DigitGrouping grouping) : fixed_(std::move(grouping)) {}
    virtual ~CountFormat() = default;

    virtual std::wstring format(uint64_t count) const;

    static std::wstring format(uint64_t count, const DigitGrouping& grouping);

private:
    std::optional<DigitGrouping> fixed_;
};

} // namespace Vanta
