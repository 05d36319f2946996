#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
#include "platform/UtcTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace Vanta;

TEST(ByteOrder, NumbersAndUnitsAreLittleEndian) {
    std::vector<uint8_t> bytes;
    appendLittleEndian<uint32_t>(bytes, 0x12345678u);
    appendLittleEndian<uint16_t>(bytes, 0xBEEFu);
    EXPECT_EQ((std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE}), bytes);
    EXPECT_EQ(0x12345678u, readLittleEndian<uint32_t>(bytes.data(), 4));
    // Short data leaves the high bytes zero; long data reads only the width.
    EXPECT_EQ(0x5678u, readLittleEndian<uint32_t>(bytes.data(), 2));
    EXPECT_EQ(0x78u, readLittleEndian<uint8_t>(bytes.data(), 6));
    EXPECT_EQ(0xBEEF12345678ull, readLittleEndian<uint64_t>(bytes.data(), 6));
}

TEST(ByteOrder, Utf16UnitsSurviveTheRoundTripUnchanged) {
    // A lone surrogate and a unit above 0x7F stay as they are: registry data
    // keeps whatever text it was given.
    const std::wstring units{L'A', static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x20AC), 0};
    std::vector<uint8_t> bytes;
    appendUtf16Le(bytes, units);
    EXPECT_EQ((std::vector<uint8_t>{0x41, 0, 0x00, 0xD8, 0xAC, 0x20, 0, 0}), bytes);
    EXPECT_EQ(units, utf16LeUnits(bytes.data(), bytes.size()));
    EXPECT_EQ(std::wstring(L"A"), utf16LeUnits(bytes.data(), 3)); // odd last byte ignored
}

TEST(AsciiCase, OnlyAsciiLettersChange) {
    const std::wstring mixed{
        L'a', L'Z', L'@', L'[', static_cast<wchar_t>(0xE9), static_cast<wchar_t>(0xC9)};
    EXPECT_EQ((std::wstring{L'A', L'Z', L'@', L'[', static_cast<wchar_t>(0xE9),
                            static_cast<wchar_t>(0xC9)}),
              asciiUppered<wchar_t>(mixed));
    EXPECT_EQ(std::string("glance.dll"), asciiLowered<char>("Glance.DLL"));
    EXPECT_TRUE(equalIgnoringAsciiCase(L"OrloResources.DLL", L"orloresources.dll"));
    EXPECT_FALSE(equalIgnoringAsciiCase(L"abc", L"abcd"));
    EXPECT_FALSE(
        equalIgnoringAsciiCase(std::wstring(1, wchar_t(0xE9)), std::wstring(1, wchar_t(0xC9))));
}

TEST(UtcTime, TwoDigitYearsPivotAtSeventyAndFieldsMustBeInRange) {
    struct Case {
        const char* text;
        std::optional<int64_t> seconds;
    } cases[] = {
        {"700101000000Z", 0},
        {"691231235959Z", 3155759999},   // 2069
        {"991231235959Z", 946684799},    // 1999
        {"000229120000Z", 951825600},    // 2000 is a leap year
        {"010229120000Z", std::nullopt}, // 2001 is not
        {"201301000000Z", std::nullopt},
        {"200100000000Z", std::nullopt},
        {"200101240000Z", std::nullopt},
        {"200101000060Z", std::nullopt},
        {"2001010000000Z", std::nullopt}, // a generalized time is not a UTC time
        {"200101000000+", std::nullopt},
        {"20010100000AZ", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.seconds, Strato::parseUtcTime(c.text)) << c.text;
    }
}
