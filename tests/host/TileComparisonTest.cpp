// Reading tile payloads and comparing their tiles with a scenario's
// expectations: the difference must say, tile by tile, what was expected and
// what came.
#include "TileComparison.h"
#include "PayloadReader.h"

#include "fakes/ThisModule.h"
#include "platform/FileSystemPath.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Vanta;

namespace {

struct Shown {
    std::wstring image;
    std::wstring caption;
    std::wstring body;
};

// A payload as the module words it: one medium and one wide binding a tile.
std::wstring payloadOf(const std::vector<Shown>& tiles) {
    std::wstring json = L"{\"viewer_payload\":{\"tiles\":[";
    for (size_t i = 0; i < tiles.size(); ++i) {
        const Shown& t = tiles[i];
        json += (i ? L"," : L"") + std::wstring(L"{\"xml\":\"<tile><visual>") +
                L"<binding template=\\\"TileMedium\\\"><image src=\\\"" + t.image +
                L"\\\"/><text>" + t.caption + L"</text><text>" + t.body + L"</text></binding>" +
                L"<binding template=\\\"TileWide\\\"><group><subgroup><image src=\\\"" + t.image +
                L"\\\"/></subgroup><subgroup><text>wide " + t.caption + L"</text><text>wide " +
                t.body + L"</text></subgroup></group></binding></visual></tile>\"}";
    }
    return json + L"],\"clear_existing\":true},\"viewer_type\":\"talmor-uwp-live-tile\"}";
}

TileTable table() {
    std::string error;
    return TileTable::parse("Protected secure.png Protected\n"
                            "FirewallOff atrisk.png Firewall off\n",
                            "tiles.txt", error)
        .value();
}

TileExpectation byContent(const TileTable& tiles, const wchar_t* content) {
    const TileTable::Entry* entry = tiles.find(content);
    return {entry->content, entry->image, entry->caption, std::nullopt};
}

} // namespace

TEST(PayloadReader, ReadsTheBindingsOfTheReferencePayload) {
    const auto bytes = readWholeFile(testrender::thisModuleFolder() + L"three-tiles-payload.json");
    ASSERT_TRUE(bytes);
    const Payload payload =
        PayloadReader::read(fromUtf8(std::string(bytes->begin(), bytes->end())));
    ASSERT_EQ(L"", payload.problem);
    ASSERT_EQ(3u, payload.tiles.size());
    const PayloadTile& first = payload.tiles[0];
    EXPECT_EQ(L"", first.problem);
    EXPECT_EQ(L"secure.png", first.medium.image);
    EXPECT_EQ(L"Files checked", first.medium.caption);
    EXPECT_EQ(L"1,234,567 files", first.medium.body);
    EXPECT_EQ(L"secure.png", first.wide.image);
    EXPECT_EQ(L"Scanning keeps you safe", first.wide.caption);
    EXPECT_EQ(L"We've checked 1,234,567 files for threats.", first.wide.body);
    EXPECT_EQ(L"Protected", payload.tiles[2].medium.caption);
    EXPECT_EQ("  1 tile\n"
              "  tile 1\n"
              "    medium: [secure.png] Protected | Safe\n"
              "    wide:   [secure.png] wide Protected | wide Safe\n",
              PayloadReader::describe(
                  PayloadReader::read(payloadOf({{L"secure.png", L"Protected", L"Safe"}}))));
}

TEST(PayloadReader, DecodesReferencesAndKeepsStrayAmpersands) {
    const Payload payload =
        PayloadReader::read(payloadOf({{L"a&amp;b.png", L"R&amp;D &#x41;&#66; &lt;3", L"A & B"}}));
    ASSERT_EQ(1u, payload.tiles.size());
    EXPECT_EQ(L"a&b.png", payload.tiles[0].medium.image);
    EXPECT_EQ(L"R&D AB <3", payload.tiles[0].medium.caption);
    EXPECT_EQ(L"A & B", payload.tiles[0].medium.body);
}

TEST(PayloadReader, SaysWhatIsNotATilePayload) {
    struct Case {
        std::wstring text;
        std::wstring problem;     // of the payload
        std::wstring tileProblem; // of its first tile
    };
    const Case cases[] = {
        {L"viewer_payload", L"not JSON (error 3 at offset 0)", L""},
        {L"[1]", L"no \"viewer_payload\" object", L""},
        {L"{\"viewer_payload\":{\"tiles\":{}}}", L"no \"viewer_payload\".\"tiles\" array", L""},
        {std::wstring(100000, L'[') + std::wstring(100000, L']'), L"no \"viewer_payload\" object",
         L""},
        {L"{\"viewer_payload\":{\"tiles\":[{\"xml\":1}]}}", L"", L"a tile without an \"xml\" text"},
        {L"{\"viewer_payload\":{\"tiles\":[{\"xml\":\"<tile><text>\"}]}}", L"",
         L"<text> is never closed at offset 12"},
        {L"{\"viewer_payload\":{\"tiles\":[{\"xml\":\"<tile></visual>\"}]}}", L"",
         L"</visual> closes <tile> at offset 14"},
        {L"{\"viewer_payload\":{\"tiles\":[{\"xml\":\"" + std::wstring(100000, L'<') + L"\"}]}}",
         L"", L"a tag without a name at offset 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text.substr(0, 80)));
        const Payload payload = PayloadReader::read(c.text);
        EXPECT_EQ(c.problem, payload.problem);
        if (!c.tileProblem.empty()) {
            ASSERT_EQ(1u, payload.tiles.size());
            EXPECT_EQ(c.tileProblem, payload.tiles[0].problem);
        }
    }
    std::wstring deep;
    for (size_t i = 0; i <= TileXml::kMaxDepth; ++i) {
        deep += L"<g>";
    }
    std::wstring error;
    EXPECT_FALSE(TileXml::parse(deep, error));
    EXPECT_EQ(L"elements nested too deep at offset " + std::to_wstring(3 * TileXml::kMaxDepth),
              error);
}

TEST(TileComparison, MatchesTheMediumImageCaptionAndBodyIfGiven) {
    const Payload payload =
        PayloadReader::read(payloadOf({{L"secure.png", L"Protected", L"Safe"}}));
    const PayloadTile& tile = payload.tiles.at(0);
    struct Case {
        TileExpectation expected;
        bool matches;
    };
    const Case cases[] = {
        {{L"", L"secure.png", L"Protected", std::nullopt}, true},
        {{L"", L"secure.png", L"Protected", L"Safe"}, true},
        {{L"", L"secure.png", L"Protected", L"wide Safe"}, false},
        {{L"", L"atrisk.png", L"Protected", std::nullopt}, false},
        {{L"", L"secure.png", L"wide Protected", std::nullopt}, false},
        {{L"", L"secure.png", L"protected", std::nullopt}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.expected.image + L" " + c.expected.caption));
        EXPECT_EQ(c.matches, TileComparison::matches(c.expected, tile));
    }
}

TEST(TileComparison, ShowsExpectedAgainstGotTileByTile) {
    const TileTable tiles = table();
    const Payload payload =
        PayloadReader::read(payloadOf({{L"secure.png", L"Protected", L"Safe"},
                                       {L"atrisk.png", L"Firewall off", L"Off"},
                                       {L"neutral.png", L"Starting", L"Wait"}}));
    EXPECT_EQ("", TileComparison::difference({byContent(tiles, L"Protected"),
                                              byContent(tiles, L"FirewallOff"),
                                              {L"", L"neutral.png", L"Starting", L"Wait"}},
                                             payload, tiles));

    EXPECT_EQ("tiles differ: expected 2, got 3\n"
              "  1  ok        Protected: secure.png \"Protected\"\n"
              "  2  expected  atrisk.png \"Firewall off\" | \"On\"\n"
              "     got       FirewallOff: atrisk.png \"Firewall off\" | \"Off\"\n"
              "  3  expected  (no tile)\n"
              "     got       neutral.png \"Starting\"\n",
              TileComparison::difference(
                  {byContent(tiles, L"Protected"), {L"", L"atrisk.png", L"Firewall off", L"On"}},
                  payload, tiles));

    EXPECT_EQ("tiles differ: expected 1, got 0\n"
              "  1  expected  FirewallOff: atrisk.png \"Firewall off\"\n"
              "     got       (no tile)\n",
              TileComparison::difference({byContent(tiles, L"FirewallOff")},
                                         PayloadReader::read(payloadOf({})), tiles));
    EXPECT_EQ("the payload is not a tile payload: no \"viewer_payload\" object\n",
              TileComparison::difference({byContent(tiles, L"Protected")},
                                         PayloadReader::read(L"{}"), tiles));
}
