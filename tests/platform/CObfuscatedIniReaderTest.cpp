#include "platform/CObfuscatedIniReader.h"
#include "fakes/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

namespace {

using Strato::CObfuscatedIniReader;

std::string contentOf(const testfakes::ScratchFolder& folder, const char* name) {
    std::ifstream file(folder.path() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::optional<uint32_t> read(const CObfuscatedIniReader& ini, const wchar_t* key,
                             const wchar_t* section = L"Config") {
    uint32_t value = 0;
    if (!ini.ReadDword(section, key, value)) {
        return std::nullopt;
    }
    return value;
}

TEST(CObfuscatedIniReader, ReadsWhatAPersonWrote) {
    testfakes::ScratchFolder folder;
    const CObfuscatedIniReader ini(folder.write(L"log.ini", "; written by hand\r\n"
                                                            "[Other]\r\n"
                                                            "Severity=4\r\n"
                                                            "  [ config ]  \n"
                                                            "Severity=1\n"
                                                            "# MaxSize=5\n"
                                                            " maxsize = 0x40000 \n"
                                                            "Options=sixteen\n"
                                                            "MaxEntries=4294967296\n"
                                                            "Enable=~12\n"
                                                            "Severity=2\n"
                                                            "[Config]\n"
                                                            "Enable=0\n"));
    EXPECT_EQ(1u, read(ini, L"Severity")); // the section's first key of the name
    EXPECT_EQ(4u, read(ini, L"Severity", L"other"));
    EXPECT_EQ(0x40000u, read(ini, L"MaxSize")); // names ignore case, blanks do not count
    EXPECT_EQ(std::nullopt, read(ini, L"Options"));
    EXPECT_EQ(std::nullopt, read(ini, L"MaxEntries")); // above 32 bits
    EXPECT_EQ(std::nullopt, read(ini, L"Enable"));     // a broken scrambled value
    EXPECT_EQ(std::nullopt, read(ini, L"Missing"));
    EXPECT_EQ(std::nullopt, read(CObfuscatedIniReader(folder.file(L"none.ini")), L"Severity"));
}

TEST(CObfuscatedIniReader, ReadsBackWhatItWritesAndKeepsTheRest) {
    testfakes::ScratchFolder folder;
    const CObfuscatedIniReader fresh(folder.file(L"new.ini"));
    for (const uint32_t value : {0u, 1u, 262144u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(fresh.WriteDword(L"Config", L"MaxSize", value));
        EXPECT_EQ(value, read(fresh, L"MaxSize"));
    }
    ASSERT_TRUE(fresh.WriteDword(L"Config", L"LastLogIdx", 2));
    EXPECT_EQ(2u, read(fresh, L"LastLogIdx"));
    EXPECT_EQ(0xFFFFFFFFu, read(fresh, L"MaxSize"));
    // Stored scrambled: the number itself does not appear.
    EXPECT_EQ(std::string::npos, contentOf(folder, "new.ini").find("4294967295"));

    const CObfuscatedIniReader edited(folder.write(
        L"edited.ini", "; keep me\r\n[Config]\r\nSeverity=7\r\n\r\n[Other]\r\nA=1\r\n"));
    ASSERT_TRUE(edited.WriteDword(L"config", L"severity", 3));
    ASSERT_TRUE(edited.WriteDword(L"Config", L"MaxEntries", 5));
    ASSERT_TRUE(edited.WriteDword(L"Third", L"B", 6));
    EXPECT_EQ(3u, read(edited, L"Severity"));
    EXPECT_EQ(5u, read(edited, L"MaxEntries"));
    EXPECT_EQ(1u, read(edited, L"A", L"Other"));
    EXPECT_EQ(6u, read(edited, L"B", L"Third"));
    const std::string text = contentOf(folder, "edited.ini");
    EXPECT_EQ(0u, text.find("; keep me\r\n[Config]\r\nseverity=~"));
    EXPECT_LT(text.find("MaxEntries=~"), text.find("[Other]"));
}

TEST(CObfuscatedIniReader, KeepsAUtf16FileUtf16) {
    testfakes::ScratchFolder folder;
    const std::string utf16 = Vanta::toUtf16LeBytes(L"[Config]\r\nSeverity=5\r\n");
    const CObfuscatedIniReader ini(folder.write(L"wide.ini", "\xFF\xFE" + utf16));
    EXPECT_EQ(5u, read(ini, L"Severity"));
    ASSERT_TRUE(ini.WriteDword(L"Config", L"Options", 20));
    EXPECT_EQ(0u, contentOf(folder, "wide.ini").find("\xFF\xFE" + utf16));
    EXPECT_EQ(20u, read(ini, L"Options"));
    EXPECT_EQ(5u, read(ini, L"Severity"));
}

TEST(CObfuscatedIniReader, AWriteIntoAMissingFolderFails) {
    testfakes::ScratchFolder folder;
    const CObfuscatedIniReader ini(folder.file(L"missing") + Vanta::kPathSeparator + L"log.ini");
    EXPECT_FALSE(ini.WriteDword(L"Config", L"Severity", 3));
}

} // namespace
