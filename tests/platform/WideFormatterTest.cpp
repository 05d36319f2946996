// The wide formatter must give the same text on every build for the formats
// the system logs with; one table holds every case that a single call shows.
#include "platform/WideFormatter.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace {

using Strato::formatWide;
using Strato::formatWideV;

// Expected texts with characters outside ASCII are written as UTF-16 literals
// and widened unit by unit: a wide literal would hold a non-BMP character as
// one 32-bit unit on Linux.
std::wstring units(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

const char* const kUtf8 = "caf\xC3\xA9 \xF0\x9F\x98\x80!"; // "café 😀!"

struct Case {
    const char* what;
    std::wstring (*format)();
    std::wstring expected;
};

const Case kCases[] = {
    // The formats the system logs with.
    {"status with its name",
     [] {
         return formatWide(L"%ls(%lu)", L"MODULE_STATUS_INVALID_PARAMETER", uint32_t{0x80000008});
     },
     L"MODULE_STATUS_INVALID_PARAMETER(2147483656)"},
    {"process and thread piece",
     [] { return formatWide(L"[PID:%5lu TID:%5lu]$", uint32_t{4120}, uint32_t{7764}); },
     L"[PID: 4120 TID: 7764]$"},
    {"ids wider than the field",
     [] { return formatWide(L"[PID:%5lu TID:%5lu]$", uint32_t{4294967295}, uint32_t{7}); },
     L"[PID:4294967295 TID:    7]$"},
    {"record head", [] { return formatWide(L"%s -- (%s)$", L"12/06/2026 06:10:22 PM$", L"Error"); },
     L"12/06/2026 06:10:22 PM$ -- (Error)$"},
    {"performance timer",
     [] {
         return formatWide(L"M12NPerfTimer|%ls|%lld|%lld|%lld", L"Vanta::GlanceImpl::createTiles",
                           int64_t{133500000000000000}, int64_t{133500000000150000}, int64_t{-15});
     },
     L"M12NPerfTimer|Vanta::GlanceImpl::createTiles|133500000000000000|133500000000150000|-15"},
    {"handler address", [] { return formatWide(L"0x%08X|0x%08X", 0x1A2Bu, 0xDEADBEEFu); },
     L"0x00001A2B|0xDEADBEEF"},
    {"time stamp",
     [] {
         const uint16_t month = 12, day = 6, year = 2026, hour = 6, minute = 10, second = 2;
         return formatWide(L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", month, day, year, hour, minute,
                           second, L"PM");
     },
     L"12/06/2026 06:10:02 PM$"},
    {"source position", [] { return formatWide(L"[%s:%5d]$", L"GlanceImpl", int32_t{812}); },
     L"[GlanceImpl:  812]$"},
    {"default handler line",
     [] {
         return formatWide(L"%s(%d): [INFO]: [%s]: %s\n", L"Logging\\internal_logging", int32_t{62},
                           L"Strato::CLogger::RegisterHandler", L"done");
     },
     L"Logging\\internal_logging(62): [INFO]: [Strato::CLogger::RegisterHandler]: done\n"},
    {"log file index", [] { return formatWide(L"%0.3lu%s", uint32_t{7}, L".log"); }, L"007.log"},
    {"version block",
     [] { return formatWide(L"\\StringFileInfo\\%04x%04x\\FileVersion", 0x409u, 0x4B0u); },
     L"\\StringFileInfo\\040904b0\\FileVersion"},
    {"exception text in a wide line",
     [] {
         return formatWide(L"Regex error with regex \"%ls\" [caught: %hs]", L"a(b", "unbalanced (");
     },
     L"Regex error with regex \"a(b\" [caught: unbalanced (]"},

    // Narrow strings are UTF-8; precision and width count UTF-16 units, and
    // a surrogate pair is never split.
    {"narrow strings", [] { return formatWide(L"%hs|%S", kUtf8, kUtf8); },
     units(u"caf\u00E9 \U0001F600!|caf\u00E9 \U0001F600!")},
    {"narrow precision", [] { return formatWide(L"[%.5hs|%.6hs|%.7hs]", kUtf8, kUtf8, kUtf8); },
     units(u"[caf\u00E9 |caf\u00E9 |caf\u00E9 \U0001F600]")},
    {"narrow width", [] { return formatWide(L"[%9hs|%-9hs]", kUtf8, "\xF0\x9F\x98\x80"); },
     units(u"[ caf\u00E9 \U0001F600!|\U0001F600       ]")},
    {"invalid UTF-8", [] { return formatWide(L"%hs", "a\xFFz\xC3"); }, units(u"a\uFFFDz\uFFFD")},
    {"wide precision",
     [] {
         const std::wstring text = units(u"ab\U0001F600c");
         return formatWide(L"[%.2s|%.3s|%.4s|%.9s]", text.c_str(), text.c_str(), text.c_str(),
                           text.c_str());
     },
     units(u"[ab|ab|ab\U0001F600|ab\U0001F600c]")},
    {"wide width",
     [] { return formatWide(L"[%5s|%-5s|%3s]", units(u"\U0001F600").c_str(), L"ab", L"long"); },
     units(u"[   \U0001F600|ab   |long]")},
    {"null strings",
     [] {
         return formatWide(L"[%s|%hs|%.3ls|%8S]", static_cast<const wchar_t*>(nullptr),
                           static_cast<const char*>(nullptr), static_cast<const wchar_t*>(nullptr),
                           static_cast<const char*>(nullptr));
     },
     L"[(null)|(null)|(nu|  (null)]"},
    {"characters",
     [] { return formatWide(L"[%c%lc%wc%hc%C|%3c|%-3c]", L'a', L'b', L'c', 'd', 'e', L'x', L'y'); },
     L"[abcde|  x|y  ]"},
    {"non-ASCII characters",
     [] { return formatWide(L"%c|%hc", static_cast<wchar_t>(0x20AC), '\xE9'); },
     units(u"\u20AC|\uFFFD")},

    // Integers: sizes follow the Windows convention, l is 32-bit.
    {"signs and padding",
     [] { return formatWide(L"%d|%+d|% d|%05d|%-5d|%+05d|%i", -42, 42, 42, -42, 42, 7, -1); },
     L"-42|+42| 42|-0042|42   |+0007|-1"},
    {"precision beats zero flag",
     [] { return formatWide(L"[%08.3d|%-05d|%.0d|%.0u|%5.0x]", 7, 7, 0, 0u, 0u); },
     L"[     007|7    |||     ]"},
    {"star width and precision",
     [] { return formatWide(L"[%*d|%*d|%.*d|%.*s]", 5, 42, -5, 42, 4, 42, -1, L"abc"); },
     L"[   42|42   |0042|abc]"},
    {"alternate forms",
     [] {
         return formatWide(L"%#x %#X %#o %#x %#o %#.0o %#010x", 255u, 255u, 8u, 0u, 0u, 0u, 255u);
     },
     L"0xff 0XFF 010 0 0 0 0x000000ff"},
    {"8 and 16 bits truncate",
     [] { return formatWide(L"%hhd %hhu %hd %hu %hhx", 0x1FF, 0x1FFu, 0x18000, 70000u, 0xABCDu); },
     L"-1 255 -32768 4464 cd"},
    {"l is 32 bits",
     [] {
         return formatWide(L"%lx %lu %ld %lo", 0xFFFFFFFFu, uint32_t{4294967295}, int32_t{-1}, 8u);
     },
     L"ffffffff 4294967295 -1 10"},
    {"32-bit extremes",
     [] {
         return formatWide(L"%d %d %u %I32d", std::numeric_limits<int32_t>::min(),
                           std::numeric_limits<int32_t>::max(),
                           std::numeric_limits<uint32_t>::max(), int32_t{-5});
     },
     L"-2147483648 2147483647 4294967295 -5"},
    {"64-bit extremes",
     [] {
         return formatWide(
             L"%lld %lld %llu %I64d %I64X %llo", std::numeric_limits<int64_t>::min(),
             std::numeric_limits<int64_t>::max(), std::numeric_limits<uint64_t>::max(),
             std::numeric_limits<int64_t>::min(), std::numeric_limits<uint64_t>::max(),
             std::numeric_limits<uint64_t>::max());
     },
     L"-9223372036854775808 9223372036854775807 18446744073709551615 -9223372036854775808 "
     L"FFFFFFFFFFFFFFFF 1777777777777777777777"},
    {"pointer-sized and other 64-bit sizes",
     [] {
         return formatWide(L"%zu %Iu %Id %jd %td", std::numeric_limits<size_t>::max(),
                           size_t{1} << 40, static_cast<ptrdiff_t>(-3), static_cast<intmax_t>(-4),
                           static_cast<ptrdiff_t>(5));
     },
     L"18446744073709551615 1099511627776 -3 -4 5"},

    // Pointers print every hex digit, in upper case.
    {"pointers",
     [] {
         return formatWide(L"%p|%p|[%18p]|%p", reinterpret_cast<void*>(uintptr_t{0xABCDEF}),
                           static_cast<void*>(nullptr), reinterpret_cast<void*>(uintptr_t{0x12}),
                           reinterpret_cast<void*>(UINT64_C(0xFEDCBA9876543210)));
     },
     L"0000000000ABCDEF|0000000000000000|[  0000000000000012]|FEDCBA9876543210"},

    // Floating point, correctly rounded from the binary value.
    {"fixed",
     [] {
         return formatWide(L"%f|%.2f|%.0f|%#.0f|%08.3f|%+.1f|%F", 1.5, 2.675, 2.5, 2.5, -3.14159,
                           0.05, 1e20);
     },
     L"1.500000|2.67|2|2.|-003.142|+0.1|100000000000000000000.000000"},
    {"scientific",
     [] { return formatWide(L"%e|%E|%.3e|%e|%.0e", 12345.678, 12345.678, 0.0, -0.0, 1e-300); },
     L"1.234568e+04|1.234568E+04|0.000e+00|-0.000000e+00|1e-300"},
    {"general",
     [] {
         return formatWide(L"%g|%g|%g|%g|%g|%#g|%G|%g|%.3g", 0.0001, 0.00001, 123456789.0, 100.0,
                           0.0, 1.0, 1e-10, 9.9999996, 1234.5);
     },
     L"0.0001|1e-05|1.23457e+08|100|0|1.00000|1E-10|10|1.23e+03"},
    {"hexadecimal floating point", [] { return formatWide(L"%a|%A|%.2a|%a", 1.0, 0.5, 1.0, -3.0); },
     L"0x1p+0|0X1P-1|0x1.00p+0|-0x1.8p+1"},
    {"infinity and nan",
     [] {
         const double inf = std::numeric_limits<double>::infinity();
         return formatWide(L"[%5.1f|%F|%010f|%e]", inf, -inf, inf,
                           std::numeric_limits<double>::quiet_NaN());
     },
     L"[  inf|-INF|       inf|nan]"},

    // Percent signs, and formats the formatter cannot trust: the rest of the
    // format is copied as it stands and no further argument is read.
    {"percent", [] { return formatWide(L"100%% done, %d%%", 5); }, L"100% done, 5%"},
    {"unknown conversion", [] { return formatWide(L"a%d|%y %d|%s %%", 1, 2, L"x"); },
     L"a1|%y %d|%s %%"},
    {"long double is refused", [] { return formatWide(L"%d %Lf %s", 1, 2.0L, L"x"); }, L"1 %Lf %s"},
    {"incomplete I size", [] { return formatWide(L"%I6d %d", 1, 2); }, L"%I6d %d"},
    {"positional argument", [] { return formatWide(L"%1$d", 1); }, L"%1$d"},
    {"format ends inside a conversion", [] { return formatWide(L"%d and %-5l", 3); },
     L"3 and %-5l"},
    {"format ends after percent", [] { return formatWide(L"50%"); }, L"50%"},
    {"null format", [] { return formatWide(nullptr); }, L""},
};

TEST(WideFormatterTest, FormatsEveryCaseOfTheTable) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.format(), c.expected);
    }
}

TEST(WideFormatterTest, CountConversionWritesNothingButSkipsItsArgument) {
    int count = -1;
    short shortCount = -1;
    long long longCount = -1;
    EXPECT_EQ(formatWide(L"ab%ncd%hn%lln%d", &count, &shortCount, &longCount, 7), L"abcd7");
    EXPECT_EQ(count, -1);
    EXPECT_EQ(shortCount, -1);
    EXPECT_EQ(longCount, -1);
}

// Digits beyond a double's exact expansion are zeros; very long precisions
// must still give them, and exactly the same leading digits.
TEST(WideFormatterTest, PrecisionBeyondTheExactDigitsAddsZeros) {
    const double smallest =
        std::numeric_limits<double>::denorm_min(); // 1074 fraction digits, 751 significant

    EXPECT_EQ(formatWide(L"%.1200f", smallest),
              formatWide(L"%.1074f", smallest) + std::wstring(126, L'0'));

    const std::wstring exact = formatWide(L"%.760e", smallest);
    const std::wstring mantissa = exact.substr(0, exact.find(L'e'));
    EXPECT_EQ(formatWide(L"%.900e", smallest), mantissa + std::wstring(140, L'0') + L"e-324");
}

std::wstring formatTwice(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring first = formatWideV(format, args);
    std::wstring second = formatWideV(format, args);
    va_end(args);
    return first + L"|" + second;
}

// Sinks may measure and then format from the same argument list.
TEST(WideFormatterTest, LeavesTheCallersArgumentListUntouched) {
    EXPECT_EQ(formatTwice(L"%d %ls %lld", 7, L"x", int64_t{-9}), L"7 x -9|7 x -9");
}

std::wstring formatFixed(size_t capacity, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = Strato::formatWideFixedV(capacity, format, args);
    va_end(args);
    return text;
}

TEST(WideFormatterTest, FixedBufferKeepsRoomForItsTerminator) {
    const std::wstring longText(5000, L'x');
    EXPECT_EQ(4159u, formatFixed(Strato::kFixedLogBufferChars, L"%ls", longText.c_str()).size());
    EXPECT_EQ(std::wstring(4159, L'x'),
              formatFixed(Strato::kFixedLogBufferChars, L"%.4159ls", longText.c_str()));
    EXPECT_EQ(L"abc", formatFixed(4, L"abc"));
    EXPECT_EQ(L"ab", formatFixed(3, L"abc"));
    EXPECT_EQ(L"", formatFixed(0, L"abc"));
}

} // namespace
