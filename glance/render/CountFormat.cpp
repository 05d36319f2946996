#include "render/CountFormat.h"

#include <algorithm>
#include <vector>

namespace Vanta {

std::wstring CountFormat::format(uint64_t count) const {
    return format(count, fixed_ ? *fixed_ : userDigitGrouping());
}

std::wstring CountFormat::format(uint64_t count, const DigitGrouping& grouping) {
    std::wstring digits;
    do {
        digits.push_back(static_cast<wchar_t>(L'0' + count % 10));
        count /= 10;
    } while (count != 0);
    std::reverse(digits.begin(), digits.end());
    // A size of 0 ends the sizes as in a locale's own grouping text ("3;0"): the size before it
    // repeats, and a leading 0 means no grouping. Cutting groups of 0 digits would never end.
    const auto zero = std::find(grouping.sizes.begin(), grouping.sizes.end(), 0u);
    const std::vector<uint32_t> sizes(grouping.sizes.begin(), zero);
    const bool repeatLast = grouping.repeatLast || zero != grouping.sizes.end();
    if (sizes.empty() || grouping.separator.empty()) {
        return digits;
    }

    // Cut groups from the right, then join them from the left.
    std::vector<std::wstring> groups;
    size_t end = digits.size();
    size_t index = 0;
    while (end > 0) {
        size_t size = end;
        if (index < sizes.size()) {
            size = sizes[index++];
        } else if (repeatLast) {
            size = sizes.back();
        }
        size = std::min(size, end);
        groups.push_back(digits.substr(end - size, size));
        end -= size;
    }
    std::wstring text;
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        if (!text.empty()) {
            text += grouping.separator;
        }
        text += *it;
    }
    return text;
}

} // namespace Vanta
