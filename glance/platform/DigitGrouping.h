// How a locale groups the digits of a whole number, and the user's current
// choice of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vanta {

struct DigitGrouping {
    // Put between groups, e.g. L",".
    std::wstring separator;
    // Group sizes from the right, e.g. {3} or {3, 2}; empty for no grouping.
    // A 0 ends the sizes and repeats the one before it, as in "3;0".
    std::vector<uint32_t> sizes;
    // The last size repeats for the remaining digits; otherwise they form one
    // last group.
    bool repeatLast = false;
};

// The grouping of the user's default locale at the moment of the call
// (Windows: the user default locale; Linux: LC_ALL, LC_NUMERIC or LANG, read
// again whenever those change).
// A locale that cannot be read gives no grouping.
DigitGrouping userDigitGrouping();

} // namespace Vanta
