#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstdint>
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
