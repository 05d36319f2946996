// The .reg text as the system's registry editor reads and writes it.
#include "RegFileFormat.h"

#include "platform/ByteOrder.h"
#include "platform/RegistryTypes.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

namespace {

using Vanta::RegFileKey;
using Vanta::RegFileValue;

// A file's start up to the first value line.
const std::wstring kHead = L"Windows Registry Editor Version 5.00\r\n\r\n"
                           L"[HKEY_CURRENT_USER\\Software\\X]\r\n";

struct Parsed {
    bool ok = false;
    std::vector<RegFileKey> keys;
    std::wstring error;
    std::vector<std::wstring> warnings;
};

Parsed parse(std::wstring_view text) {
    Parsed parsed;
    parsed.ok = Vanta::parseRegFile(text, parsed.keys, parsed.error, &parsed.warnings);
    return parsed;
}

std::vector<uint8_t> utf16(std::wstring_view text) {
    std::vector<uint8_t> bytes;
    Vanta::appendUtf16Le(bytes, text);
    return bytes;
}

// REG_SZ data: the text and its terminator.
std::vector<uint8_t> sz(std::wstring_view text) {
    return utf16(std::wstring(text) + L'\0');
}

std::string shown(std::wstring_view text) {
    return Vanta::toUtf8(text);
}

TEST(RegFileFormatTest, StringEscapesReadAsTheEditorReadsThem) {
    struct Case {
        std::wstring line;
        std::wstring name;
        std::wstring text;
    };
    const Case cases[] = {
        {L"\"v\"=\"C:\\\\dir \\\"q\\\"\"", L"v", L"C:\\dir \"q\""},
        {L"\"v\"=\"one\\ntwo\\rthree\"", L"v", L"one\ntwo\rthree"},
        {L"\"v\"=\"x\\0y\"", L"v", std::wstring(L"x\0y", 3)},
        {L"\"v\"=\"tab\ttab\"", L"v", L"tab\ttab"},
        {L"\"a\\nb\\\"c\"=\"v\"", L"a\nb\"c", L"v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.line));
        const Parsed parsed = parse(kHead + c.line + L"\r\n");
        ASSERT_TRUE(parsed.ok) << shown(parsed.error);
        ASSERT_EQ(1u, parsed.keys.at(0).values.size());
        const RegFileValue& value = parsed.keys[0].values[0];
        EXPECT_EQ(c.name, value.name);
        EXPECT_EQ(Strato::kRegSz, value.type);
        EXPECT_EQ(sz(c.text), value.data);
        EXPECT_TRUE(parsed.warnings.empty());
    }
}

TEST(RegFileFormatTest, AnUnknownEscapeKeepsTheCharacterWithAWarning) {
    const Parsed parsed = parse(kHead + L"\"v\"=\"C:\\Temp\"\r\n");
    ASSERT_TRUE(parsed.ok) << shown(parsed.error);
    EXPECT_EQ(sz(L"C:Temp"), parsed.keys.at(0).values.at(0).data);
    ASSERT_EQ(1u, parsed.warnings.size());
    EXPECT_NE(std::wstring::npos, parsed.warnings[0].find(L"line 4: unknown escape \\T"))
        << shown(parsed.warnings[0]);
}

TEST(RegFileFormatTest, ALineBreakInsideAStringIsRefused) {
    // The editor drops such a value; the line breaks are CR, LF or both.
    for (const wchar_t* lineBreak : {L"\n", L"\r", L"\r\n"}) {
        const Parsed parsed = parse(kHead + L"\"v\"=\"one" + lineBreak + L"two\"\r\n");
        EXPECT_FALSE(parsed.ok);
        EXPECT_NE(std::wstring::npos, parsed.error.find(L"line 4: the string has no closing quote"))
            << shown(parsed.error);
    }
}

TEST(RegFileFormatTest, ValuesAreWrittenAsTheEditorWritesThem) {
    struct Case {
        RegFileValue value;
        std::wstring line;
    };
    const Case cases[] = {
        {{L"a\nb", false, Strato::kRegSz, sz(L"one\ntwo\rthree\\x\"y")},
         L"\"a\\nb\"=\"one\\ntwo\\rthree\\\\x\\\"y\""},
        {{L"t", false, Strato::kRegSz, sz(L"tab\tz")}, L"\"t\"=\"tab\tz\""},
        {{L"", false, Strato::kRegSz, sz(L"")}, L"@=\"\""},
        {{L"d", false, Strato::kRegDword, {0x2a, 0, 0, 0}}, L"\"d\"=dword:0000002a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.line));
        EXPECT_EQ(c.line + L"\r\n", Vanta::formatRegValue(c.value));
    }
}

// Whatever a value holds, the line written for it reads back as the same
// name, type and bytes.
TEST(RegFileFormatTest, EveryValueReadsBackAsWritten) {
    const RegFileValue values[] = {
        {L"lines", false, Strato::kRegSz, sz(L"one\ntwo\rthree\r\n")},
        {L"quote\"\\\r\n", false, Strato::kRegSz, sz(L"\"\\")},
        {L"nul", false, Strato::kRegSz, sz(std::wstring(L"a\0b", 3))},
        {L"unterminated", false, Strato::kRegSz, utf16(L"ab")},
        {L"odd", false, Strato::kRegSz, {0x61, 0x00, 0x62}},
        {L"lone surrogate", false, Strato::kRegSz, sz(L"a\xD800z")},
        {L"pair", false, Strato::kRegSz, sz(L"\xD83D\xDE00")},
        {L"empty sz", false, Strato::kRegSz, {}},
        {L"empty none", false, Strato::kRegNone, {}},
        {L"empty expand", false, Strato::kRegExpandSz, {}},
        {L"empty multi", false, Strato::kRegMultiSz, {}},
        {L"empty binary", false, Strato::kRegBinary, {}},
        {L"short dword", false, Strato::kRegDword, {1, 2, 3}},
        {L"type", false, 0xFFFFFFFF, {1}},
        {L"long", false, Strato::kRegBinary, std::vector<uint8_t>(100, 0xAB)},
    };
    for (const RegFileValue& value : values) {
        SCOPED_TRACE(shown(value.name));
        const std::wstring line = Vanta::formatRegValue(value);
        // Through the bytes of a file, as export writes them.
        const Parsed parsed =
            parse(Vanta::decodeRegFileBytes("\xFF\xFE" + Vanta::toUtf16LeBytes(kHead + line)));
        ASSERT_TRUE(parsed.ok) << shown(parsed.error) << "\n" << shown(line);
        ASSERT_EQ(1u, parsed.keys.at(0).values.size()) << shown(line);
        const RegFileValue& read = parsed.keys[0].values[0];
        EXPECT_EQ(value.name, read.name);
        EXPECT_EQ(value.type, read.type);
        EXPECT_EQ(value.data, read.data) << shown(line);
    }
}

} // namespace
