// Windows-only code belongs in this file.
#include "platform/DigitGrouping.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {

// LOCALE_SGROUPING reads "3;0" (threes, repeated), "3;2;0" (three, then
// twos) or "3" (one group of three, the rest ungrouped).
DigitGrouping userDigitGrouping() {
    DigitGrouping grouping;
    wchar_t text[32] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, text, 32) > 0) {
        grouping.separator = text;
    }
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, text, 32) == 0) {
        return grouping;
    }
    uint32_t size = 0;
    bool digits = false;
    for (const wchar_t* p = text;; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            size = size * 10 + static_cast<uint32_t>(*p - L'0');
            digits = true;
            continue;
        }
        if (digits) {
            if (size == 0) {
                grouping.repeatLast = !grouping.sizes.empty();
                break;
            }
            grouping.sizes.push_back(size);
        }
        if (*p == L'\0') {
            break;
        }
        size = 0;
        digits = false;
    }
    return grouping;
}

} // namespace Vanta
