#include "trust/TrustedListFormat.h"

#include <gtest/gtest.h>

#include <string>

using namespace Strato;

namespace {

std::vector<uint8_t> bytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

} // namespace

TEST(TrustedListFormat, ReadsSectionsAndSkipsCommentsBlanksAndLeadingLines) {
    const auto sections = parseTrustedList("\xEF\xBB\xBFignored before any section\r\n"
                                           "/* a comment\n"
                                           "[ VER ]\n"
                                           "\t 9 \t\r\n"
                                           "\n"
                                           "// SIG // AAAA\n"
                                           "*/\n"
                                           "[ORG]\n"
                                           "  Talmor Ltd.  \n"
                                           "[VER]\n"
                                           "10");
    ASSERT_TRUE(sections);
    EXPECT_EQ((std::vector<std::wstring>{L"9", L"10"}), sections->at(L"VER"));
    EXPECT_EQ((std::vector<std::wstring>{L"Talmor Ltd."}), sections->at(L"ORG"));
    EXPECT_EQ(2u, sections->size());
}

TEST(TrustedListFormat, AnEmptySectionNameMakesTheFileInvalid) {
    EXPECT_FALSE(parseTrustedList("[VER]\n8\n[ \t]\nx\n"));
    EXPECT_TRUE(parseTrustedList("[VER]\n8\n[x\n")); // not a section: a line of VER
}

TEST(TrustedListFormat, RulesNeedExactlyOneDecimalVersion) {
    struct Case {
        const char* text;
        bool loads;
    } cases[] = {
        {"[VER]\n8\n", true},
        {"[VER]\n8\n9\n", false},
        {"[VER]\n8\n[VER]\n9\n", false},
        {"[ORG]\nTalmor Ltd.\n", false},
        {"[VER]\n", false},
        {"[VER]\neight\n", false},
        {"[VER]\n-8\n", false},
        {"[VER]\n99999999999\n", false},
    };
    for (const Case& c : cases) {
        const auto sections = parseTrustedList(c.text);
        ASSERT_TRUE(sections) << c.text;
        EXPECT_EQ(c.loads, rulesFromSections(*sections).has_value()) << c.text;
    }
}

TEST(TrustedListFormat, RulesTakeNamesSerialsAndOnlyWellFormedThumbprints) {
    const auto sections = parseTrustedList("[VER]\n12\n[ORG]\nA\nB\n[SER]\n5ec0de0001\n"
                                           "[SHA]\n"
                                           "4B0A878924B61918D411DC1A46C378B806C086E4\n"
                                           "4b0a878924b61918d411dc1a46c378b806c086e\n"
                                           "4B0A878924B61918D411DC1A46C378B806C086E4FF\n"
                                           "ZZ0A878924B61918D411DC1A46C378B806C086E4\n");
    ASSERT_TRUE(sections);
    const auto rules = rulesFromSections(*sections);
    ASSERT_TRUE(rules);
    EXPECT_EQ(12u, rules->version);
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), rules->names);
    EXPECT_EQ((std::vector<std::wstring>{L"5ec0de0001"}), rules->serials);
    ASSERT_EQ(1u, rules->thumbprints.size());
    EXPECT_EQ(0x4B, rules->thumbprints[0][0]);
    EXPECT_EQ(0xE4, rules->thumbprints[0][19]);
}

TEST(TrustedListFormat, TheBuiltInRulesAreVersionSevenWithSixRoots) {
    const TrustRules rules = builtInTrustRules();
    EXPECT_EQ(7u, rules.version);
    EXPECT_EQ(4u, rules.names.size());
    ASSERT_EQ(6u, rules.thumbprints.size());
    EXPECT_EQ(*thumbprintFromHex(L"AFE5D244A8D1194230FF479FE2F897BBCD7A8CB4"),
              rules.thumbprints[0]);
    EXPECT_EQ(*thumbprintFromHex(L"2B8F1B57330DBBA2D07A6C51F70EE90DDAB9AD8E"),
              rules.thumbprints[5]);
}

TEST(TrustedListFormat, TheSignatureBlockSplitsOffEveryByteAboveIt) {
    const std::string body = "[VER]\r\n8\r\n";
    const auto parts = splitSignedList(bytes(body + "// SIG // Begin signature block\r\n"
                                                    "// SIG // AAEC\r\n"
                                                    "// SIG // Aw==\r\n"
                                                    "// SIG // End signature block\r\n\r\n"));
    ASSERT_TRUE(parts);
    EXPECT_EQ(bytes(body), parts->content);
    EXPECT_EQ((std::vector<uint8_t>{0, 1, 2, 3}), parts->signature);
}

TEST(TrustedListFormat, MalformedSignatureBlocksAreRefused) {
    const std::string begin = "[VER]\n8\n// SIG // Begin signature block\n";
    for (const std::string& file : {
             std::string("[VER]\n8\n"),  // no block
             begin + "// SIG // AAEC\n", // truncated: no end
             begin + "// SIG // AAEC\nnot a block line\n// SIG // End signature block\n",
             begin + "// SIG // AA*C\n// SIG // End signature block\n",           // not base64
             begin + "// SIG // AAE\n// SIG // End signature block\n",            // length not 4n
             begin + "// SIG // End signature block\n",                           // empty
             begin + "// SIG // AAEC\n// SIG // End signature block\n[VER]\n9\n", // text after
         }) {
        EXPECT_FALSE(splitSignedList(bytes(file))) << file;
    }
}
