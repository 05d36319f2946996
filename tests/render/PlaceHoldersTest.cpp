#include "render/PlaceHolders.h"

#include "fakes/FakeResourceAPI.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ThisModule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using testfakes::FakeResourceAPI;
using Vanta::CountFormat;
using Vanta::DigitGrouping;
using Vanta::PlaceHolders;
using Vanta::ProcState;
using Vanta::ResourceDll;
using Vanta::TileContent;
using enum Vanta::TileContent;

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

const DigitGrouping kCommaThrees{L",", {3}, true};

// Renders through a real ResourceDll over an in-memory string table.
struct Renderer {
    explicit Renderer(std::map<uint32_t, std::wstring> strings) {
        api->strings = std::move(strings);
        api->failureError = 1814;
        placeHolders = std::make_unique<PlaceHolders>(
            std::make_shared<ResourceDll>(L"Glance.dll", L"OrloResources.dll", api),
            std::make_shared<CountFormat>(kCommaThrees));
    }
    std::shared_ptr<FakeResourceAPI> api = std::make_shared<FakeResourceAPI>();
    std::unique_ptr<PlaceHolders> placeHolders;
};

ProcState withCounts(uint64_t files, uint64_t connections, uint64_t threats) {
    ProcState state = Vanta::makeDefaultProcState();
    state.filesScanned = files;
    state.connectionsBlocked = connections;
    state.threatsRemoved = threats;
    return state;
}

// Every phrase id answers its own number, so a wrong id shows in the text.
std::map<uint32_t, std::wstring> phraseIds() {
    std::map<uint32_t, std::wstring> strings;
    for (uint32_t id = 220; id <= 231; ++id) {
        strings[id] = L"s" + std::to_wstring(id);
    }
    return strings;
}

} // namespace

TEST(PlaceHolders, ReplacesPlaceholdersOfTemplatesAndValues) {
    struct Case {
        const char* name;
        std::wstring xml;                         // string 101
        std::map<uint32_t, std::wstring> strings; // besides 101
        TileContent content;
        ProcState state;
        std::wstring expected;
    };
    const std::map<uint32_t, std::wstring> protectedTexts = {
        {142, L"Protected"}, {143, L"Safe"}, {190, L"You're protected"}, {191, L"All on."}};
    const std::map<uint32_t, std::wstring> filesTexts = {
        {178, L"%FILES_SCANNED_MEDIUM%"}, {225, L"%NUM_FILES% file"},
        {227, L"%NUM_FILES% files"},      {139, L"Checked: %FILES_SCANNED_WIDE%"},
        {224, L"%NUM_FILES% file."},      {226, L"%NUM_FILES% files."}};
    const std::wstring phrases =
        L"%CONNECTIONS_BLOCKED_WIDE% %CONNECTIONS_BLOCKED_MEDIUM% %THREATS_REMOVED_WIDE% "
        L"%THREATS_REMOVED_MEDIUM% %FILES_SCANNED_WIDE% %FILES_SCANNED_MEDIUM%";
    const ProcState fresh = Vanta::makeDefaultProcState();
    const std::vector<Case> cases = {
        {"no percent sign", L"<tile a=\"1\"/>", {}, Protected, fresh, L"<tile a=\"1\"/>"},
        {"one single percent sign stays text",
         L"<t>100% sure</t>",
         {},
         Protected,
         fresh,
         L"<t>100% sure</t>"},
        {"a double percent sign encloses nothing",
         L"<t>%%</t>",
         {},
         Protected,
         fresh,
         L"<t>%%</t>"},
        {"every content placeholder",
         L"<i src=\"%IMAGE_SRC%\"/>%TILE_MEDIUM_TEXT_CAPTION%|%TILE_MEDIUM_TEXT_BODY%|"
         L"%TILE_WIDE_TEXT_CAPTION%|%TILE_WIDE_TEXT_BODY%",
         protectedTexts, Protected, fresh,
         L"<i src=\"secure.png\"/>Protected|Safe|You're protected|All on."},
        {"images by kind",
         L"%IMAGE_SRC% %IMAGE_SRC%",
         {},
         FirewallOffByUser,
         fresh,
         L"neutral.png neutral.png"},
        {"at-risk image", L"%IMAGE_SRC%", {}, UnspecifiedRisk, fresh, L"atrisk.png"},
        {"caption carries a phrase that carries a number, count 1",
         L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t><w>%TILE_WIDE_TEXT_BODY%</w>", filesTexts, FilesScanned,
         withCounts(1, 0, 0), L"<t>1 file</t><w>Checked: 1 file.</w>"},
        {"count 0 is plural", L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>", filesTexts, FilesScanned,
         withCounts(0, 0, 0), L"<t>0 files</t>"},
        {"count 2", L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>", filesTexts, FilesScanned,
         withCounts(2, 0, 0), L"<t>2 files</t>"},
        {"largest count, grouped", L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>", filesTexts, FilesScanned,
         withCounts(kMax, 0, 0), L"<t>18,446,744,073,709,551,615 files</t>"},
        {"phrase ids for counts of 1", phrases, phraseIds(), Protected, withCounts(1, 1, 1),
         L"s220 s222 s228 s229 s224 s225"},
        {"phrase ids for other counts", phrases, phraseIds(), Protected, withCounts(2, kMax, 0),
         L"s221 s223 s230 s231 s226 s227"},
        {"numbers of each counter",
         L"%NUM_FILES%/%NUM_OF_RISKY_CONNECTIONS%/%NUM_THREATS_REMOVED%",
         {},
         Protected,
         withCounts(1234567, 1000, 999),
         L"1,234,567/1,000/999"},
        {"replaced text is not scanned again",
         L"%TILE_MEDIUM_TEXT_CAPTION%%IMAGE_SRC%",
         {{142, L"50%"}},
         Protected,
         fresh,
         L"50%secure.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testfakes::ScopedRecordingLogger log;
        std::map<uint32_t, std::wstring> strings = c.strings;
        strings[101] = c.xml;
        Renderer renderer(strings);
        std::wstring xml = L"old";
        EXPECT_TRUE(renderer.placeHolders->getTileXML(xml, c.content, c.state));
        EXPECT_EQ(c.expected, xml);
        EXPECT_TRUE(log->records().empty());
    }
}

TEST(PlaceHolders, FailsTheTileWithItsLogLines) {
    struct Case {
        const char* name;
        std::map<uint32_t, std::wstring> strings;
        TileContent content;
        std::vector<std::wstring> logs;
        std::vector<std::wstring> functions;
    };
    const std::wstring rep = L"Vanta::PlaceHolders::_Impl::replacePlaceHolders";
    const std::vector<Case> cases = {
        {"missing template",
         {},
         Protected,
         {L"Failed to load xml resource Id:101. Error: 1814",
          L"Failed to get XML resource String."},
         {L"Vanta::ResourceDll::getResourceString", L"Vanta::PlaceHolders::_Impl::getTileXML"}},
        {"two percent signs around no known name",
         {{101, L"<t>50% off, then 60% more</t>"}},
         Protected,
         {L"Failed to replace placeholder % off, then 60% in <t>50% off, then 60% more</t> "},
         {rep}},
        {"a line break does not end a placeholder",
         {{101, L"<t>%A\nB%</t>"}},
         Protected,
         {L"Failed to replace placeholder %A\nB% in <t>%A\nB%</t> "},
         {rep}},
        {"names are case-sensitive",
         {{101, L"<t>%image_src%</t>"}},
         Protected,
         {L"Failed to replace placeholder %image_src% in <t>%image_src%</t> "},
         {rep}},
        {"missing caption string",
         {{101, L"<t>%TILE_WIDE_TEXT_CAPTION%</t>"}},
         Protected,
         {L"Failed to load xml resource Id:190. Error: 1814",
          L"Failed to get resource string 190 for TileContent: 0",
          L"Failed to replace placeholder %TILE_WIDE_TEXT_CAPTION% in "
          L"<t>%TILE_WIDE_TEXT_CAPTION%</t> "},
         {L"Vanta::ResourceDll::getResourceString",
          L"Vanta::PlaceHolders::_Impl::getWideTileCaption", rep}},
        {"tile content without a row",
         {{101, L"<t>%TILE_MEDIUM_TEXT_BODY%</t>"}},
         static_cast<TileContent>(15),
         {L"Failed to replace placeholder %TILE_MEDIUM_TEXT_BODY% in "
          L"<t>%TILE_MEDIUM_TEXT_BODY%</t> "},
         {rep}},
        {"missing phrase inside a caption",
         {{101, L"<t>%TILE_MEDIUM_TEXT_BODY%</t>"}, {177, L"%THREATS_REMOVED_MEDIUM%"}},
         ThreatsRemoved,
         {L"Failed to load xml resource Id:231. Error: 1814",
          L"Failed to replace placeholder %THREATS_REMOVED_MEDIUM% in "
          L"%THREATS_REMOVED_MEDIUM%</t> "},
         {L"Vanta::ResourceDll::getResourceString", rep}},
        {"a value that is its own placeholder",
         {{101, L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>"}, {142, L"%TILE_MEDIUM_TEXT_CAPTION%"}},
         Protected,
         {L"Failed to replace placeholder %TILE_MEDIUM_TEXT_CAPTION% in "
          L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t> "},
         {rep}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testfakes::ScopedRecordingLogger log;
        Renderer renderer(c.strings);
        std::wstring xml = L"old";
        EXPECT_FALSE(renderer.placeHolders->getTileXML(xml, c.content, withCounts(3, 3, 3)));
        EXPECT_TRUE(xml.empty());
        EXPECT_EQ(c.logs, log->texts());
        std::vector<std::wstring> functions;
        for (const testfakes::LogRecord& r : log->records()) {
            functions.push_back(r.function);
            EXPECT_EQ(2u, r.level);
        }
        EXPECT_EQ(c.functions, functions);
    }
}

// A resource text whose value leads back to itself would otherwise be
// expanded for ever, growing the text without limit.
TEST(PlaceHolders, StopsAValueThatLeadsBackToItself) {
    struct Case {
        const char* name;
        std::map<uint32_t, std::wstring> strings;
        std::wstring rest; // left to scan when the bound is reached
    };
    const std::vector<Case> cases = {
        {"growing", {{142, L"x%TILE_MEDIUM_TEXT_CAPTION%"}}, L"x%TILE_MEDIUM_TEXT_CAPTION%</t>"},
        {"two texts naming each other",
         {{142, L"%TILE_MEDIUM_TEXT_BODY%"}, {143, L"%TILE_MEDIUM_TEXT_CAPTION%"}},
         L"%TILE_MEDIUM_TEXT_CAPTION%</t>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testfakes::ScopedRecordingLogger log;
        std::map<uint32_t, std::wstring> strings = c.strings;
        strings[101] = L"<t>%TILE_MEDIUM_TEXT_CAPTION%</t>";
        Renderer renderer(strings);
        std::wstring xml;
        EXPECT_FALSE(renderer.placeHolders->getTileXML(xml, Protected, withCounts(0, 0, 0)));
        EXPECT_TRUE(xml.empty());
        const auto records = log->records();
        ASSERT_EQ(1u, records.size());
        EXPECT_EQ(L"Vanta::PlaceHolders::_Impl::replacePlaceHolders", records[0].function);
        EXPECT_EQ(L"Too many placeholder replacements (256), stopped at "
                  L"%TILE_MEDIUM_TEXT_CAPTION% in " +
                      c.rest + L" ",
                  records[0].text);
    }
}

// The library the build placed beside this program holds every text of the
// tile table and every phrase: each tile renders completely.
TEST(PlaceHoldersOnDisk, RendersEveryTileOfTheTable) {
    testfakes::ScopedRecordingLogger log;
    PlaceHolders placeHolders(
        std::make_shared<ResourceDll>(testrender::thisModuleName(), L"OrloResources.dll", nullptr),
        std::make_shared<CountFormat>(kCommaThrees));
    const std::vector<TileContent> all = {Protected,
                                          ThreatsUnresolved,
                                          ScanOutOfDate,
                                          FilesScanned,
                                          NoActiveAntivirus,
                                          RealTimeScanningOff,
                                          RealTimeScanningRepairing,
                                          RealTimeScanningStarting,
                                          ThreatsRemoved,
                                          NoActiveFirewall,
                                          FirewallOff,
                                          FirewallOffByUser,
                                          ConnectionsBlocked,
                                          DatOutOfDate,
                                          UpdatesOff,
                                          UnspecifiedRisk};
    for (const uint64_t count : {uint64_t{1}, uint64_t{1234}}) {
        for (const TileContent content : all) {
            SCOPED_TRACE(static_cast<int>(content));
            std::wstring xml;
            ASSERT_TRUE(placeHolders.getTileXML(xml, content, withCounts(count, count, count)));
            EXPECT_EQ(std::wstring::npos, xml.find(L'%')) << xml;
            EXPECT_TRUE(xml.find(L"secure.png") != std::wstring::npos ||
                        xml.find(L"atrisk.png") != std::wstring::npos ||
                        xml.find(L"neutral.png") != std::wstring::npos);
        }
    }
    EXPECT_TRUE(log->records().empty());
}

TEST(CountFormat, GroupsDigitsAsTheLocaleSays) {
    struct Case {
        uint64_t count;
        DigitGrouping grouping;
        std::wstring expected;
    };
    const DigitGrouping indian{L",", {3, 2}, true};
    const DigitGrouping oneGroup{L",", {3}, false};
    const DigitGrouping narrowSpace{std::wstring(1, static_cast<wchar_t>(0x202F)), {3}, true};
    const std::vector<Case> cases = {
        {0, kCommaThrees, L"0"},
        {999, kCommaThrees, L"999"},
        {1000, kCommaThrees, L"1,000"},
        {1234567, kCommaThrees, L"1,234,567"},
        {kMax, kCommaThrees, L"18,446,744,073,709,551,615"},
        {kMax, {}, L"18446744073709551615"},
        {1234567, indian, L"12,34,567"},
        {1234567, oneGroup, L"1234,567"},
        {1234, narrowSpace, L"1" + narrowSpace.separator + L"234"},
        // A 0 size ends the sizes as in "3;0" and "3;2;0"; alone it means no grouping.
        {1234567, {L",", {0}, false}, L"1234567"},
        {1234567, {L",", {0}, true}, L"1234567"},
        {1234567, {L",", {3, 0}, false}, L"1,234,567"},
        {1234567, {L",", {3, 2, 0, 4}, false}, L"12,34,567"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(c.expected, CountFormat::format(c.count, c.grouping));
    }
}

// The resource library and the tables are shared by every call.
TEST(PlaceHoldersOnDisk, RendersOnSeveralThreadsAtOnce) {
    PlaceHolders placeHolders(
        std::make_shared<ResourceDll>(testrender::thisModuleName(), L"OrloResources.dll", nullptr),
        std::make_shared<CountFormat>(kCommaThrees));
    const ProcState state = withCounts(1234567, 2, 3);
    std::wstring expected;
    ASSERT_TRUE(placeHolders.getTileXML(expected, FilesScanned, state));
    std::vector<int> matches(4, 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < matches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                std::wstring xml;
                matches[t] += placeHolders.getTileXML(xml, FilesScanned, state) && xml == expected;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<int>(4, 50), matches);
}
