// kestrel-reg's commands against the build's real registry backend.
#include "RegTool.h"

#include "fakes/ScratchRegistry.h"
#include "platform/CObfuscatedRegKey.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Vanta::RegTool;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

// Every key of these tests lies below the run's scratch key: "GlanceTest" in
// the texts here stands for its name, which no other run of the tests uses.
constexpr std::wstring_view kPlaceholder = L"GlanceTest";

template <typename Char>
std::basic_string<Char> replaced(std::basic_string<Char> text, const std::basic_string<Char>& from,
                                 const std::basic_string<Char>& to) {
    for (size_t at = text.find(from); at != text.npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::wstring scratched(const std::wstring& text) {
    return replaced(text, std::wstring(kPlaceholder), testfakes::scratchName());
}

std::string scratched(const std::string& text) {
    return replaced(text, Vanta::toUtf8(kPlaceholder), Vanta::toUtf8(testfakes::scratchName()));
}

std::string unscratched(const std::string& text) {
    return replaced(text, Vanta::toUtf8(testfakes::scratchName()), Vanta::toUtf8(kPlaceholder));
}

// Runs the tool on the scratch key; what it prints names the placeholder again.
Outcome runTool(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> scratchArguments;
    for (const std::wstring& argument : arguments) {
        scratchArguments.push_back(scratched(argument));
    }
    std::ostringstream out;
    std::ostringstream err;
    RegTool tool(out, err);
    const int code = tool.run(scratchArguments);
    return {code, unscratched(out.str()), unscratched(err.str())};
}

class RegToolTest : public testfakes::ScratchKeyTest {
protected:
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        ScratchKeyTest::TearDown();
    }
    // A file in a folder of this test, as the system's text.
    std::wstring file(const char* name) {
        std::filesystem::create_directories(folder_);
        const std::u8string path = (folder_ / name).u8string();
        return Vanta::fromUtf8(std::string(path.begin(), path.end()));
    }
    std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("glance-regtool-" + std::to_string(::rand()));
};

std::string readBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(Vanta::toUtf8(path)), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Writes a registry file whose keys lie below the scratch key.
void writeBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(std::filesystem::path(Vanta::toUtf8(path)), std::ios::binary) << scratched(bytes);
}

// Every value type, the default value, escapes, a wrapped hex line and a
// subkey, in the form the exporter writes (values and subkeys in name order).
const wchar_t* const kCanonical =
    L"Windows Registry Editor Version 5.00\r\n"
    L"\r\n"
    L"[HKEY_CURRENT_USER\\Software\\GlanceTest\\Tool]\r\n"
    L"@=\"default \\\"quoted\\\" C:\\\\path\"\r\n"
    L"\"Big\"=hex(b):ef,cd,ab,89,67,45,23,01\r\n"
    L"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    L"  16,17,18,19,1a,1b,1c,1d\r\n"
    L"\"Count\"=dword:0000002a\r\n"
    L"\"Empty\"=hex:\r\n"
    L"\"EmptyExpand\"=hex(2):\r\n"
    L"\"EmptyMulti\"=hex(7):\r\n"
    L"\"EmptyNone\"=hex(0):\r\n"
    L"\"EmptyText\"=hex(1):\r\n"
    L"\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\r\n"
    L"\"Lines\"=\"one\\ntwo\\r\\nthree\"\r\n"
    L"\"Multi\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\r\n"
    L"\"Text\"=\"Talmor \u00e9\u20ac\"\r\n"
    L"\r\n"
    L"[HKEY_CURRENT_USER\\Software\\GlanceTest\\Tool\\Sub]\r\n"
    L"\"Inner\"=dword:ffffffff\r\n"
    L"\r\n";

TEST_F(RegToolTest, ImportAndExportRoundTripEveryValueType) {
    // Read as UTF-8 without a mark, written back as UTF-16LE with one.
    const std::wstring source = file("source.reg");
    writeBytes(source, Vanta::toUtf8(kCanonical));
    ASSERT_EQ(RegTool::kExitOk, runTool({L"import", source}).code);

    const std::wstring first = file("first.reg");
    ASSERT_EQ(RegTool::kExitOk,
              runTool({L"export", L"HKCU\\Software\\GlanceTest\\Tool", first}).code);
    const std::string bytes = readBytes(first);
    EXPECT_EQ("\xFF\xFE" + Vanta::toUtf16LeBytes(scratched(kCanonical)), bytes);

    // The values themselves, as the module would read them.
    Strato::CRegKey tool;
    ASSERT_EQ(
        0, tool.Open(Strato::kHKeyCurrentUser, scratched(L"Software\\GlanceTest\\Tool").c_str()));
    uint64_t big = 0;
    EXPECT_EQ(0, tool.QueryQWORDValue(L"Big", big));
    EXPECT_EQ(0x0123456789ABCDEFull, big);
    std::wstring text;
    EXPECT_EQ(0, tool.QueryStringValue(L"Expand", text));
    EXPECT_EQ(L"%TEMP%", text);

    // Its own output imports again to the same registry.
    ASSERT_EQ(RegTool::kExitOk, runTool({L"delete", L"HKCU\\Software\\GlanceTest\\Tool"}).code);
    ASSERT_EQ(RegTool::kExitOk, runTool({L"import", first}).code);
    const std::wstring second = file("second.reg");
    ASSERT_EQ(RegTool::kExitOk,
              runTool({L"export", L"HKEY_CURRENT_USER\\Software\\GlanceTest\\Tool", second}).code);
    EXPECT_EQ(bytes, readBytes(second));
}

TEST_F(RegToolTest, ARefusedFileWritesNothing) {
    const std::string written = "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\GlanceTest\\Written]\n"
                                "\"v\"=dword:1\n\n";
    struct Case {
        const char* rest;
        const char* message;
    };
    const Case cases[] = {
        {"[HKEY_NOWHERE\\X]\n\"v\"=dword:2\n", "line 6: not a key below a root key"},
        {"[HKEY_CURRENT_USER]\n\"v\"=dword:2\n", "line 6: not a key below a root key"},
        {"[HKEY_CURRENT_USER\\Software\\GlanceTest\\Other]\n\"v\"=dword:x\n",
         "line 7: the value data cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rest);
        runTool({L"delete", L"HKCU\\Software\\GlanceTest\\Written"});
        const std::wstring source = file("refused.reg");
        writeBytes(source, written + c.rest);
        const Outcome outcome = runTool({L"import", source});
        EXPECT_EQ(RegTool::kExitUsage, outcome.code);
        EXPECT_NE(std::string::npos, outcome.err.find(c.message)) << outcome.err;
        Strato::CRegKey target;
        EXPECT_EQ(Strato::kErrorFileNotFound,
                  target.Open(Strato::kHKeyCurrentUser,
                              scratched(L"Software\\GlanceTest\\Written").c_str()));
    }
}

TEST_F(RegToolTest, DeletionLinesRemoveValuesAndKeys) {
    const std::wstring source = file("delete.reg");
    writeBytes(source, "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_CURRENT_USER\\Software\\GlanceTest\\A\\B]\n\"keep\"=dword:1\n"
                       "\"gone\"=\"x\"\n\n"
                       "[HKEY_CURRENT_USER\\Software\\GlanceTest\\A]\n\"gone\"=-\n\n"
                       "[HKEY_CURRENT_USER\\Software\\GlanceTest\\A\\B]\n\"gone\"=-\n\n"
                       "[-HKEY_CURRENT_USER\\Software\\GlanceTest\\C]\n");
    ASSERT_EQ(RegTool::kExitOk, runTool({L"import", source}).code);
    const Outcome listed = runTool({L"query", L"HKCU\\Software\\GlanceTest\\A\\B"});
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\GlanceTest\\A\\B\n    keep    REG_DWORD    0x1\n",
              listed.out);
    ASSERT_EQ(RegTool::kExitOk, runTool({L"delete", L"HKCU\\Software\\GlanceTest\\A"}).code);
    EXPECT_EQ(RegTool::kExitFailed, runTool({L"query", L"HKCU\\Software\\GlanceTest\\A"}).code);
}

TEST_F(RegToolTest, AddSetsEachTypeAndQueryShowsIt) {
    const std::wstring keyPath = L"HKCU\\Software\\GlanceTest\\Added";
    struct Case {
        const wchar_t* type;
        const wchar_t* data;
        const char* shown;
    };
    const Case cases[] = {
        {L"REG_SZ", L"plain text", "REG_SZ    plain text"},
        {L"REG_EXPAND_SZ", L"%TEMP%", "REG_EXPAND_SZ    %TEMP%"},
        {L"REG_MULTI_SZ", L"one\\0two", "REG_MULTI_SZ    one\\0two"},
        {L"REG_DWORD", L"0x2A", "REG_DWORD    0x2a"},
        {L"REG_DWORD", L"4294967295", "REG_DWORD    0xffffffff"},
        {L"REG_QWORD", L"0x123456789", "REG_QWORD    0x123456789"},
        {L"REG_BINARY", L"00fF10", "REG_BINARY    00FF10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Vanta::toUtf8(c.type));
        ASSERT_EQ(
            RegTool::kExitOk,
            runTool({L"add", keyPath, L"/v", L"V", L"/t", c.type, L"/d", c.data, L"/f"}).code);
        const Outcome shown = runTool({L"query", keyPath, L"/v", L"V"});
        EXPECT_EQ(RegTool::kExitOk, shown.code);
        EXPECT_NE(std::string::npos, shown.out.find(std::string("    V    ") + c.shown + "\n"))
            << shown.out;
    }
}

TEST_F(RegToolTest, ScrambledValuesAreWrittenForTheModule) {
    const std::wstring keyPath = L"HKLM\\SOFTWARE\\GlanceTest\\Logging";
    ASSERT_EQ(RegTool::kExitOk, runTool({L"add", keyPath, L"/v", L"Logging Mechanism", L"/t",
                                         L"REG_DWORD", L"/d", L"1", L"/obf"})
                                    .code);
    Strato::CObfuscatedRegKey scrambled;
    ASSERT_EQ(0, scrambled.Open(Strato::kHKeyLocalMachine,
                                scratched(L"SOFTWARE\\GlanceTest\\Logging").c_str()));
    uint32_t mechanism = 0;
    EXPECT_EQ(0, scrambled.QueryDWORDValue(L"Logging Mechanism", mechanism));
    EXPECT_EQ(1u, mechanism);
    EXPECT_NE(std::string::npos,
              runTool({L"query", keyPath, L"/v", L"Logging Mechanism", L"/obf"}).out.find("0x1"));
    EXPECT_EQ(RegTool::kExitOk, runTool({L"delete", L"HKLM\\SOFTWARE\\GlanceTest"}).code);
}

TEST_F(RegToolTest, BadInputIsRefusedWithAClearMessage) {
    const std::wstring noHeader = file("noheader.reg");
    writeBytes(noHeader, "Windows Registry Editor Version 4.00\n"
                         "[HKEY_CURRENT_USER\\Software\\GlanceTest]\n");
    const std::wstring badData = file("baddata.reg");
    writeBytes(badData, "Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_CURRENT_USER\\Software\\GlanceTest]\n\"x\"=dword:123456789\n");
    const std::wstring badRoot = file("badroot.reg");
    writeBytes(badRoot, "Windows Registry Editor Version 5.00\n\n[HKEY_NOWHERE\\X]\n");
    struct Case {
        std::vector<std::wstring> arguments;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {{}, RegTool::kExitUsage, "no command given"},
        {{L"frobnicate"}, RegTool::kExitUsage, "unknown command frobnicate"},
        {{L"query", L"HKXX\\Software"}, RegTool::kExitUsage, "starts with a root key"},
        {{L"add", L"HKCU\\Software\\GlanceTest", L"/v", L"d", L"/t", L"REG_DWORD", L"/d",
          L"4294967296"},
         RegTool::kExitUsage,
         "does not fit REG_DWORD"},
        {{L"add", L"HKCU\\Software\\GlanceTest", L"/v", L"b", L"/t", L"REG_BINARY", L"/d", L"abc"},
         RegTool::kExitUsage,
         "does not fit REG_BINARY"},
        {{L"add", L"HKCU\\Software\\GlanceTest", L"/v", L"x", L"/t", L"REG_FOO"},
         RegTool::kExitUsage,
         "unknown type REG_FOO"},
        {{L"add", L"HKCU\\Software\\GlanceTest", L"/v"}, RegTool::kExitUsage, "needs a value"},
        {{L"delete", L"HKCU"}, RegTool::kExitUsage, "root key cannot be deleted"},
        {{L"query", L"HKCU\\Software\\GlanceTest", L"/v", L"absent"},
         RegTool::kExitFailed,
         "does not exist (2)"},
        {{L"delete", L"HKCU\\Software\\GlanceTest\\Absent"},
         RegTool::kExitFailed,
         "does not exist (2)"},
        {{L"import", file("missing.reg")}, RegTool::kExitFailed, "cannot read"},
        {{L"import", noHeader}, RegTool::kExitUsage, "line 1: the file does not start with"},
        {{L"import", badData}, RegTool::kExitUsage, "line 4: the value data cannot be read"},
        {{L"import", badRoot}, RegTool::kExitUsage, "not a key below a root key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Outcome outcome = runTool(c.arguments);
        EXPECT_EQ(c.code, outcome.code);
        EXPECT_NE(std::string::npos, outcome.err.find(c.message)) << outcome.err;
    }
}

} // namespace
