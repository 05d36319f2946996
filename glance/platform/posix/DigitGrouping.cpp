// POSIX-only code belongs in this file.
#include "platform/DigitGrouping.h"

#include "platform/TextCodec.h"

#include <climits>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>

namespace Vanta {
namespace {

// The variables that name the numeric locale, in the order the C library
// consults them.
std::string localeChoice() {
    std::string choice;
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* value = std::getenv(variable);
        choice += value != nullptr ? value : "";
        choice += '\n';
    }
    return choice;
}

// The numeric category of the environment's locale, without touching the
// process's global locale. GROUPING holds one byte per group size from the
// right; the last repeats unless CHAR_MAX ends it.
DigitGrouping readGrouping() {
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

} // namespace

// Loading a locale reads its files (tens of microseconds for one outside the
// locale archive), so the grouping is read again only when the variables
// that choose the locale change.
DigitGrouping userDigitGrouping() {
    static std::mutex lock;
    static std::string readFor;
    static std::optional<DigitGrouping> grouping;
    std::string choice = localeChoice();
    std::lock_guard guard(lock);
    if (!grouping || choice != readFor) {
        grouping = readGrouping();
        readFor = std::move(choice);
    }
    return *grouping;
}

} // namespace Vanta
