#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

// Builds text from UTF-16 code units, the same on 16- and 32-bit wchar_t.
std::wstring units(std::initializer_list<unsigned> codeUnits) {
    std::wstring text;
    for (unsigned unit : codeUnits) {
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

TEST(TextCodec, WellFormedTextRoundTrips) {
    struct Case {
        std::string utf8;
        std::wstring utf16;
    };
    const Case cases[] = {
        {"", L""},
        {"Glance", L"Glance"},
        {"\xC3\xA9", units({0xE9})},
        {"\xE2\x82\xAC", units({0x20AC})},
        {"\xEF\xBF\xBF", units({0xFFFF})},
        {"a\xF0\x9F\x98\x80z", units({'a', 0xD83D, 0xDE00, 'z'})},
        {"\xF4\x8F\xBF\xBF", units({0xDBFF, 0xDFFF})},
        {std::string("a\0b", 3), units({'a', 0, 'b'})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(c.utf16, Vanta::fromUtf8(c.utf8));
        EXPECT_EQ(c.utf8, Vanta::toUtf8(c.utf16));
    }
}

TEST(TextCodec, InvalidUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::wstring utf16;
    };
    const Case cases[] = {
        {"\xC3", units({0xFFFD})}, // truncated at the end
        {"\xE2\x82"
         "A",
         units({0xFFFD, 'A'})},                                        // truncated before ASCII
        {"\xC0\xAF", units({0xFFFD, 0xFFFD})},                         // overlong
        {"\xED\xA0\x80", units({0xFFFD, 0xFFFD, 0xFFFD})},             // encoded surrogate
        {"\xF4\x90\x80\x80", units({0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD})}, // above U+10FFFF
        {"\x80z", units({0xFFFD, 'z'})},                               // stray continuation
        {"\xFF", units({0xFFFD})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.utf8));
        EXPECT_EQ(c.utf16, Vanta::fromUtf8(c.utf8));
    }
}

TEST(TextCodec, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(replacement, Vanta::toUtf8(units({0xD800})));
    EXPECT_EQ(replacement + "A", Vanta::toUtf8(units({0xD800, 'A'})));
    EXPECT_EQ(replacement + replacement, Vanta::toUtf8(units({0xDC00, 0xDBFF})));
    if constexpr (sizeof(wchar_t) == 4) {
        // A 32-bit wchar_t can hold a value that is no UTF-16 unit at all.
        EXPECT_EQ(replacement, Vanta::toUtf8(std::wstring(1, static_cast<wchar_t>(0x1F600))));
    }
}

TEST(TextCodec, Utf16LeBytesKeepPairsAndReplaceLoneSurrogates) {
    EXPECT_EQ(std::string("A\0\x3D\xD8\x00\xDE", 6),
              Vanta::toUtf16LeBytes(units({'A', 0xD83D, 0xDE00})));
    EXPECT_EQ(std::string("\xFD\xFF"
                          "B\0",
                          4),
              Vanta::toUtf16LeBytes(units({0xDE00, 'B'})));
    EXPECT_EQ(std::string("\xAC\x20", 2), Vanta::toUtf16LeBytes(units({0x20AC})));
}

} // namespace
