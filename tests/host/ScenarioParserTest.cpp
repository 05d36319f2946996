// Scenario files and the tile table: what a good file becomes, and the line
// and text of each kind of mistake.
#include "ScenarioParser.h"

#include <gtest/gtest.h>

#include <string>

using namespace Vanta;
using Kind = ScenarioStep::Kind;

namespace {

TileTable tileTable() {
    std::string error;
    const auto table = TileTable::parse("# content image caption\n"
                                        "Protected  secure.png  Protected\n"
                                        "FirewallOffByUser\tneutral.png\tFirewall off\n",
                                        "tiles.txt", error);
    EXPECT_TRUE(table) << error;
    return table.value_or(TileTable{});
}

std::string parseError(const std::string& text) {
    const TileTable tiles = tileTable();
    std::string error;
    EXPECT_FALSE(ScenarioParser(tiles).parse(text, "s.scn", error)) << text;
    return error;
}

} // namespace

TEST(ScenarioParser, ReadsEveryStep) {
    const TileTable tiles = tileTable();
    std::string error;
    const auto scenario = ScenarioParser(tiles).parse(
        "\xEF\xBB\xBF# a demo\r\n"
        "stats VirusDetected=2 TotalItemScanned=4294967295 VirusResolved=-\r\n"
        "stats clear\n"
        "  publish Core.Firewall.State {\"state\":\"off\", \"off_by_user\":true}  \n"
        "direct Core.Update.State\n"
        "\n"
        "wait\n"
        "expect\n"
        "  # the firewall first\n"
        "  FirewallOffByUser\n"
        "  secure.png Firewall on guard | 7 connections blocked\n"
        "  Protected | Your PC is safe\n"
        "end\n"
        "publish Core.Protection.State \xE2\x82\xAC\n"
        "wait 2\n"
        "unchanged\n",
        "s.scn", error);
    ASSERT_TRUE(scenario) << error;
    const auto& steps = scenario->steps;
    ASSERT_EQ(9u, steps.size());

    EXPECT_EQ(Kind::SetStatistics, steps[0].kind);
    EXPECT_EQ(2u, steps[0].line);
    ASSERT_EQ(3u, steps[0].statistics.size());
    EXPECT_EQ(L"VirusDetected", steps[0].statistics[0].name);
    EXPECT_EQ(2u, steps[0].statistics[0].value);
    EXPECT_EQ(4294967295u, steps[0].statistics[1].value);
    EXPECT_FALSE(steps[0].statistics[2].value);
    EXPECT_EQ(Kind::ClearStatistics, steps[1].kind);

    EXPECT_EQ(Kind::Publish, steps[2].kind);
    EXPECT_EQ(L"Core.Firewall.State", steps[2].name);
    EXPECT_EQ(L"{\"state\":\"off\", \"off_by_user\":true}", steps[2].data);
    EXPECT_EQ(Kind::Direct, steps[3].kind);
    EXPECT_EQ(L"", steps[3].data);
    EXPECT_EQ(Kind::Wait, steps[4].kind);
    EXPECT_EQ(2u, steps[4].count);

    EXPECT_EQ(Kind::ExpectTiles, steps[5].kind);
    EXPECT_EQ(8u, steps[5].line);
    ASSERT_EQ(3u, steps[5].tiles.size());
    EXPECT_EQ(L"FirewallOffByUser", steps[5].tiles[0].content);
    EXPECT_EQ(L"neutral.png", steps[5].tiles[0].image);
    EXPECT_EQ(L"Firewall off", steps[5].tiles[0].caption);
    EXPECT_FALSE(steps[5].tiles[0].body);
    EXPECT_EQ(L"", steps[5].tiles[1].content);
    EXPECT_EQ(L"secure.png", steps[5].tiles[1].image);
    EXPECT_EQ(L"Firewall on guard", steps[5].tiles[1].caption);
    EXPECT_EQ(L"7 connections blocked", steps[5].tiles[1].body);
    EXPECT_EQ(L"Your PC is safe", steps[5].tiles[2].body);

    EXPECT_EQ(std::wstring(1, wchar_t{0x20AC}), steps[6].data);
    EXPECT_EQ(14u, steps[6].line);
    EXPECT_EQ(2u, steps[7].count);
    EXPECT_EQ(Kind::ExpectUnchanged, steps[8].kind);
}

TEST(ScenarioParser, NamesTheLineAndTheMistake) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"publish a\nwait\nfrobnicate\n", "s.scn:3: unknown step \"frobnicate\""},
        {"stats\n", "s.scn:1: \"stats\" needs NAME=VALUE settings or \"clear\""},
        {"stats VirusDetected\n", "s.scn:1: \"VirusDetected\" is not NAME=VALUE"},
        {"stats Viruses=1\n", "s.scn:1: unknown statistic \"Viruses\""},
        {"stats VirusDetected=4294967296\n",
         "s.scn:1: the value of VirusDetected must be a number from 0 to 4294967295 or \"-\""},
        {"stats VirusDetected=-1\n",
         "s.scn:1: the value of VirusDetected must be a number from 0 to 4294967295 or \"-\""},
        {"publish\n", "s.scn:1: \"publish\" needs a message name"},
        {"\ndirect   \n", "s.scn:2: \"direct\" needs a message name"},
        {"wait\n", "s.scn:1: nothing to wait for: no message since the last wait (give a count)"},
        {"wait 0\n", "s.scn:1: \"wait\" takes a payload count from 1 to 100000"},
        {"wait two\n", "s.scn:1: \"wait\" takes a payload count from 1 to 100000"},
        {"expect\nProtected\nend\n",
         "s.scn:1: \"expect\" needs a payload collected by waits before it"},
        {"publish a\nwait\npublish b\nexpect\nProtected\nend\nwait\n",
         "s.scn:4: \"expect\" after a message that no wait has collected (line 3)"},
        {"publish a\nwait\nexpect Protected\nend\n",
         "s.scn:3: \"expect\" takes nothing on its line: list the tiles below it, then \"end\""},
        {"publish a\nwait\nexpect\n# none\nend\n", "s.scn:3: \"expect\" lists no tiles"},
        {"publish a\nwait\nexpect\nProtected\n", "s.scn:3: \"expect\" without \"end\""},
        {"publish a\nwait\nexpect\nProtected\nUpdatesOff\nend\n",
         "s.scn:5: unknown tile content \"UpdatesOff\" (not in the tile table)"},
        {"publish a\nwait\nexpect\nProtected |\nend\n", "s.scn:4: no body after \"|\""},
        {"publish a\nwait\nexpect\n| body\nend\n",
         "s.scn:4: a tile needs a content name, or an image and a caption"},
        {"end\n", "s.scn:1: \"end\" without \"expect\""},
        {"publish a\nwait\nunchanged\n",
         "s.scn:3: \"unchanged\" needs two payloads collected by waits before it"},
        {"publish a\nwait 2\nunchanged now\n", "s.scn:3: \"unchanged\" takes nothing on its line"},
        {"publish a\nwait\n\npublish b\npublish c\n",
         "s.scn:4: no wait collects the payload of this message"},
        {"publish a \xC3\n", "s.scn:1: not UTF-8 text"},
        {"publish a\nwait\nexpect\n\xED\xA0\x80\nend\n", "s.scn:4: not UTF-8 text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.error, parseError(c.text));
    }
}

TEST(TileTable, MapsContentsToTheirTilesAndBack) {
    const TileTable table = tileTable();
    ASSERT_EQ(2u, table.entries().size());
    const TileTable::Entry* entry = table.find(L"FirewallOffByUser");
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(L"neutral.png", entry->image);
    EXPECT_EQ(L"Firewall off", entry->caption);
    EXPECT_EQ(nullptr, table.find(L"protected"));
    EXPECT_EQ(L"FirewallOffByUser", table.contentShowing(L"neutral.png", L"Firewall off"));
    EXPECT_EQ(L"", table.contentShowing(L"atrisk.png", L"Firewall off"));

    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"Protected secure.png\n",
         "t.txt:1: a tile needs a content name, an image and a medium caption"},
        {"A a.png One\n\nA b.png Two\n", "t.txt:3: tile content \"A\" is listed twice"},
        {"A a.png \xFF\n", "t.txt:1: not UTF-8 text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        EXPECT_FALSE(TileTable::parse(c.text, "t.txt", error));
        EXPECT_EQ(c.error, error);
    }
}
