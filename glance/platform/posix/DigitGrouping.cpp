// POSIX-only code belongs in this file.
#include "platform/DigitGrouping.h"

#include "platform/TextCodec.h"

#include <climits>
#include <langinfo.h>
#include <locale.h>

namespace Vanta {

// The numeric category of the environment's locale, read afresh on each
// call without touching the process's global locale. GROUPING holds one byte
// per group size from the right; the last repeats unless CHAR_MAX ends it.
DigitGrouping userDigitGrouping() {
    DigitGrouping grouping;
    const locale_t locale = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        return grouping;
    }
    // Locale texts are UTF-8 in every locale the suite supports.
    grouping.separator = fromUtf8(::nl_langinfo_l(THOUSANDS_SEP, locale));
    const char* sizes = ::nl_langinfo_l(GROUPING, locale);
    for (; *sizes != '\0'; ++sizes) {
        const int size = static_cast<unsigned char>(*sizes);
        if (size >= CHAR_MAX || size <= 0) {
            break;
        }
        grouping.sizes.push_back(static_cast<uint32_t>(size));
    }
    grouping.repeatLast = *sizes == '\0' && !grouping.sizes.empty();
    ::freelocale(locale);
    return grouping;
}

} // namespace Vanta
