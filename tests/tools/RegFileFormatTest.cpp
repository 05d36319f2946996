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

TEST(RegFileFormatTest, ReadsTheFormsTheEditorReads) {
    struct Case {
        std::wstring lines; // after the header and a blank line
        std::wstring key;
        RegFileValue value;
    };
    const std::wstring x = L"[HKEY_CURRENT_USER\\Software\\X]\r\n";
    const std::vector<uint8_t> bytes = {0x01, 0x02};
    const Case cases[] = {
        {x + L"\"v\"=hex:01,02,", L"", {L"v", false, Strato::kRegBinary, bytes}},
        {x + L"\"v\"=hex:01,02 ; two bytes", L"", {L"v", false, Strato::kRegBinary, bytes}},
        {x + L"\"v\"=hex:01,02 ; a comment is no continuation \\",
         L"",
         {L"v", false, Strato::kRegBinary, bytes}},
        {x + L"\"v\"=hex:01,\\\r\n\r\n  02", L"", {L"v", false, Strato::kRegBinary, bytes}},
        {x + L"\"v\"=hex:01,\\ ; more below\r\n; between\r\n\r\n  02,\\\r\n  03",
         L"",
         {L"v", false, Strato::kRegBinary, {0x01, 0x02, 0x03}}},
        {x + L"\"v\"=hex:\\\r\n  01,02", L"", {L"v", false, Strato::kRegBinary, bytes}},
        {x + L"\"v\"=hex(2):41,00,00,00;c", L"", {L"v", false, Strato::kRegExpandSz, sz(L"A")}},
        {x + L"\"v\"=\"x\" ; comment", L"", {L"v", false, Strato::kRegSz, sz(L"x")}},
        {x + L"\"v\"=\"a;b\";c", L"", {L"v", false, Strato::kRegSz, sz(L"a;b")}},
        {x + L"\"v\"=dword:2a ;c", L"", {L"v", false, Strato::kRegDword, {0x2a, 0, 0, 0}}},
        {x + L"\"v\"=dword: 2a", L"", {L"v", false, Strato::kRegDword, {0x2a, 0, 0, 0}}},
        {x + L"\"v\"\t=\t\"x\"", L"", {L"v", false, Strato::kRegSz, sz(L"x")}},
        {x + L"@=- ; gone", L"", {L"", true, 0, {}}},
        {L"[HKEY_CURRENT_USER\\Software\\Y] ; comment\r\n@=\"y\"",
         L"HKEY_CURRENT_USER\\Software\\Y",
         {L"", false, Strato::kRegSz, sz(L"y")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.lines));
        const Parsed parsed =
            parse(L"Windows Registry Editor Version 5.00\r\n\r\n" + c.lines + L"\r\n");
        ASSERT_TRUE(parsed.ok) << shown(parsed.error);
        ASSERT_EQ(1u, parsed.keys.size());
        ASSERT_EQ(1u, parsed.keys[0].values.size());
        if (!c.key.empty()) {
            EXPECT_EQ(c.key, parsed.keys[0].path);
        }
        const RegFileValue& value = parsed.keys[0].values[0];
        EXPECT_EQ(c.value.name, value.name);
        EXPECT_EQ(c.value.remove, value.remove);
        EXPECT_EQ(c.value.type, value.type);
        EXPECT_EQ(c.value.data, value.data);
    }
}

// The older header: its files are narrow text, string data of hex(1), hex(2)
// and hex(7) included, read here as UTF-8 like the rest of the file.
TEST(RegFileFormatTest, ReadsRegedit4FilesAsNarrowText) {
    const std::string file = "REGEDIT4\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\X]\r\n"
                             "\"s\"=\"caf\xC3\xA9\"\r\n"
                             "\"e\"=hex(2):25,54,45,4d,50,25,00\r\n"
                             "\"m\"=hex(7):61,00,62,63,00,00\r\n"
                             "\"u\"=hex(1):c3,a9,00\r\n"
                             "\"b\"=hex:c3,a9\r\n"
                             "\"d\"=dword:0000002a\r\n";
    const Parsed parsed = parse(Vanta::decodeRegFileBytes(file));
    ASSERT_TRUE(parsed.ok) << shown(parsed.error);
    const std::vector<RegFileValue> expected = {
        {L"s", false, Strato::kRegSz, sz(L"caf\u00e9")},
        {L"e", false, Strato::kRegExpandSz, sz(L"%TEMP%")},
        {L"m", false, Strato::kRegMultiSz, utf16(std::wstring(L"a\0bc\0\0", 6))},
        {L"u", false, Strato::kRegSz, sz(L"\u00e9")},
        {L"b", false, Strato::kRegBinary, {0xC3, 0xA9}},
        {L"d", false, Strato::kRegDword, {0x2a, 0, 0, 0}},
    };
    ASSERT_EQ(1u, parsed.keys.size());
    ASSERT_EQ(expected.size(), parsed.keys[0].values.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(shown(expected[i].name));
        EXPECT_EQ(expected[i].type, parsed.keys[0].values[i].type);
        EXPECT_EQ(expected[i].data, parsed.keys[0].values[i].data);
    }
}

TEST(RegFileFormatTest, RefusesWhatTheEditorDoesNotReadWithItsLine) {
    struct Case {
        std::wstring lines; // from line 4, below the first key
        std::wstring error;
    };
    const Case cases[] = {
        {L"\"v\"=hex:01,,02", L"line 4: the value data cannot be read"},
        {L"\"v\"=hex:01,02,,", L"line 4: the value data cannot be read"},
        {L"\"v\"=hex:,", L"line 4: the value data cannot be read"},
        {L"\"v\"=hex:01,\\\r\n\r\n\"w\"=\"x\"", L"line 4: the value data cannot be read"},
        {L"@=\"x\"\r\n\"v\"=hex:01,\\\r\n  02,\\\r\n; end",
         L"line 5: the hex data continues past the end of the file"},
        {L"\"v\"=dword:", L"line 4: the value data cannot be read"},
        {L"\"v\"=dword:0x1", L"line 4: the value data cannot be read"},
        {L"\"v\"=-x", L"line 4: the value data cannot be read"},
        {L"\"v\"=\"x\" junk", L"line 4: text follows the closing quote"},
        {L"\"v\"=str:\"x\"", L"line 4: the value data cannot be read"},
        {L"\r\n# not a comment", L"line 5: a value name must be @ or a quoted text"},
        {L"\"v\" \"x\"", L"line 4: = expected after the value name"},
        {L"[HKEY_CURRENT_USER\\Software\\Y", L"line 4: a key line needs a closing ]"},
        {L"[]", L"line 4: the key line names no key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.lines));
        const Parsed parsed = parse(kHead + c.lines + L"\r\n");
        EXPECT_FALSE(parsed.ok);
        EXPECT_EQ(c.error, parsed.error);
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

TEST(RegFileFormatTest, TypeNamesRoundTripAndUnknownTypesShowInHex) {
    for (const uint32_t type : {0u, 1u, 2u, 3u, 4u, 7u, 11u}) {
        uint32_t read = 99;
        EXPECT_TRUE(Vanta::regTypeFromName(Vanta::regTypeName(type), read)) << type;
        EXPECT_EQ(type, read);
    }
    EXPECT_EQ(L"REG_0x20", Vanta::regTypeName(32));
    EXPECT_EQ(L"REG_0xffff0009", Vanta::regTypeName(0xFFFF0009u));
}
