#include "render/TileContentFormatter.h"

#include "fakes/FakeResourceAPI.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ThisModule.h"
#include "model/JSONParser.h"
#include "model/TileSelection.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using testfakes::FakeResourceAPI;
using Vanta::CountFormat;
using Vanta::JSONParser;
using Vanta::PlaceHolders;
using Vanta::ResourceDll;
using Vanta::TileContent;
using Vanta::TileContentFormatter;
using enum Vanta::TileContent;

namespace {

const Vanta::DigitGrouping kCommaThrees{L",", {3}, true};
const TileContent kNoRow = static_cast<TileContent>(15);

std::shared_ptr<PlaceHolders> placeHoldersOver(std::shared_ptr<ResourceDll> resources) {
    return std::make_shared<PlaceHolders>(std::move(resources),
                                          std::make_shared<CountFormat>(kCommaThrees));
}

// A template of one caption, whose tiles render as <t>caption</t>.
std::shared_ptr<TileContentFormatter> formatterWith(std::wstring xml) {
    auto api = std::make_shared<FakeResourceAPI>();
    api->strings = {{101, std::move(xml)}, {142, L"Protected"}, {156, L"Firewall off"}};
    return std::make_shared<TileContentFormatter>(
        placeHoldersOver(std::make_shared<ResourceDll>(L"Glance.dll", L"OrloResources.dll", api)));
}

// The "xml" texts of a payload, read back by a JSON reader.
std::vector<std::wstring> tileTexts(const std::wstring& payload) {
    JSONParser json;
    EXPECT_TRUE(json.parse(payload));
    JSONParser tileSet;
    EXPECT_TRUE(json.getObject(L"viewer_payload", tileSet));
    bool clear = false;
    EXPECT_TRUE(tileSet.getBool(L"clear_existing", clear) && clear);
    std::wstring type;
    EXPECT_TRUE(json.getString(L"viewer_type", type));
    EXPECT_EQ(L"talmor-uwp-live-tile", type);
    std::vector<JSONParser> tiles;
    EXPECT_TRUE(tileSet.getArray(L"tiles", tiles));
    std::vector<std::wstring> texts;
    for (const JSONParser& tile : tiles) {
        texts.emplace_back();
        EXPECT_TRUE(tile.getString(L"xml", texts.back()));
    }
    return texts;
}

} // namespace

TEST(TileContentFormatter, WrapsRenderedTilesInThePayload) {
    testfakes::ScopedRecordingLogger log;
    auto formatter = formatterWith(L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>");
    std::wstring payload;
    ASSERT_TRUE(formatter->getTilesPayload({Protected}, Vanta::makeDefaultProcState(), payload));
    EXPECT_EQ(L"{\"viewer_payload\":{\"tiles\":[{\"xml\":\"<t>Protected</t>\"}],"
              L"\"clear_existing\":true},\"viewer_type\":\"talmor-uwp-live-tile\"}",
              payload);
    EXPECT_TRUE(log->records().empty());
}

TEST(TileContentFormatter, SkipsTilesThatCannotBeRendered) {
    testfakes::ScopedRecordingLogger log;
    auto formatter = formatterWith(L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>");
    std::wstring payload;
    ASSERT_TRUE(formatter->getTilesPayload({FirewallOff, kNoRow, Protected, FirewallOff},
                                           Vanta::makeDefaultProcState(), payload));
    EXPECT_EQ((std::vector<std::wstring>{L"<t>Firewall off</t>", L"<t>Protected</t>",
                                         L"<t>Firewall off</t>"}),
              tileTexts(payload));
    const auto records = log->records();
    ASSERT_EQ(2u, records.size()); // the placeholder line, then the skip
    EXPECT_EQ(2u, records[1].level);
    EXPECT_EQ(L"TileContentFormatter", records[1].file);
    EXPECT_EQ(L"Vanta::TileContentFormatter::getTilesPayload", records[1].function);
    EXPECT_EQ(L"Skipping creating xml :  For TileContent: 15", records[1].text);
}

TEST(TileContentFormatter, LeavesThePayloadAloneWhenNothingIsRendered) {
    testfakes::ScopedRecordingLogger log;
    auto formatter = formatterWith(L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>");
    std::wstring payload = L"previous";
    EXPECT_FALSE(formatter->getTilesPayload({}, Vanta::makeDefaultProcState(), payload));
    EXPECT_TRUE(log->records().empty());
    EXPECT_FALSE(
        formatter->getTilesPayload({kNoRow, kNoRow}, Vanta::makeDefaultProcState(), payload));
    EXPECT_EQ(L"previous", payload);
    EXPECT_EQ(4u, log->records().size());
}

TEST(TileContentFormatter, EscapedXmlSurvivesAJsonRoundTrip) {
    const std::wstring xml = L"<t a=\"q\\\"\">C:\\dir\\%TILE_MEDIUM_TEXT_CAPTION%\r\n\tend</t>";
    auto formatter = formatterWith(xml);
    std::wstring payload;
    ASSERT_TRUE(formatter->getTilesPayload({Protected}, Vanta::makeDefaultProcState(), payload));
    EXPECT_NE(std::wstring::npos, payload.find(L"\\r\\n\\t")) << payload;
    EXPECT_EQ(std::vector<std::wstring>{L"<t a=\"q\\\"\">C:\\dir\\Protected\r\n\tend</t>"},
              tileTexts(payload));
}

// The published text for one fixed state and locale, from the library the
// build placed beside this program: byte for byte the same on every build.
TEST(TileContentFormatterOnDisk, PayloadMatchesTheReferenceText) {
    Vanta::ProcState state = Vanta::makeDefaultProcState();
    state.filesScanned = 1234567;
    state.connectionsBlocked = 1;
    const std::vector<TileContent> tiles = Vanta::selectTileContents(state);
    ASSERT_EQ((std::vector<TileContent>{FilesScanned, ConnectionsBlocked, Protected}), tiles);

    TileContentFormatter formatter(placeHoldersOver(std::make_shared<ResourceDll>(
        testrender::thisModuleName(), L"OrloResources.dll", nullptr)));
    std::wstring payload;
    ASSERT_TRUE(formatter.getTilesPayload(tiles, state, payload));

    std::ifstream file(Vanta::toUtf8(testrender::thisModuleFolder() + L"three-tiles-payload.json"),
                       std::ios::binary);
    ASSERT_TRUE(file.is_open());
    const std::string reference{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
    EXPECT_EQ(reference, Vanta::toUtf8(payload));

    const std::vector<std::wstring> texts = tileTexts(payload);
    ASSERT_EQ(3u, texts.size());
    EXPECT_NE(std::wstring::npos, texts[0].find(L"1,234,567 files"));
    EXPECT_NE(std::wstring::npos, texts[1].find(L"1 risky connection was blocked."));
}
