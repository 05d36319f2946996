// Cost of the JSON work done per bus message: parsing a status message's user data and reading
// its keys, and building the tile payload.
#include "model/JSONParser.h"
#include "model/RapidJsonConfig.h"

#include <benchmark/benchmark.h>

#include <string>

using Vanta::JSONParser;

namespace {

void BM_ParseFirewallState(benchmark::State& state) {
    const std::wstring userData = L"{\"state\":\"off\",\"off_by_user\":false}";
    for (auto _ : state) {
        JSONParser json;
        std::wstring text;
        bool offByUser = true;
        benchmark::DoNotOptimize(json.parse(userData));
        benchmark::DoNotOptimize(json.getString(L"state", text));
        benchmark::DoNotOptimize(json.getBool(L"off_by_user", offByUser));
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(offByUser);
    }
}
BENCHMARK(BM_ParseFirewallState);

void BM_ParseProductList(benchmark::State& state) {
    const std::wstring userData =
        L"{\"default\":{\"fwmod\":\"enabled\",\"avmod\":\"enabled\"},"
        L"\"products\":[{\"name\":\"Shield Firewall\",\"state\":\"on\",\"active\":true}]}";
    for (auto _ : state) {
        JSONParser json;
        std::wstring fwmod;
        std::wstring avmod;
        std::wstring name;
        bool active = false;
        benchmark::DoNotOptimize(json.parse(userData));
        benchmark::DoNotOptimize(json.getNestedString(L"default", L"fwmod", fwmod));
        benchmark::DoNotOptimize(json.getNestedString(L"default", L"avmod", avmod));
        benchmark::DoNotOptimize(json.getArrayItemString(L"products", L"name", name));
        benchmark::DoNotOptimize(json.getArrayItemBool(L"products", L"active", active));
        benchmark::DoNotOptimize(name);
    }
}
BENCHMARK(BM_ParseProductList);

// One tile as the resource templates render it: an escaped quote every few characters.
const std::wstring kTileXml =
    L"<tile><visual version=\"3\" lang=\"en-US\"><binding template=\"TileMedium\" "
    L"branding=\"name\" hint-textStacking=\"center\"><image placement=\"peek\" "
    L"src=\"secure.png\" alt=\"\"/><text hint-style=\"base\" hint-align=\"center\">Files "
    L"checked</text><text hint-style=\"captionSubtle\" hint-align=\"center\" "
    L"hint-wrap=\"true\">48213 files</text></binding><binding template=\"TileWide\" "
    L"branding=\"nameAndLogo\"><group><subgroup hint-weight=\"24\"><image src=\"secure.png\" "
    L"hint-removeMargin=\"true\" alt=\"\"/></subgroup><subgroup "
    L"hint-textStacking=\"center\"><text hint-style=\"subtitle\">Scanning keeps you "
    L"safe</text><text hint-style=\"bodySubtle\" hint-wrap=\"true\" hint-maxLines=\"3\">We've "
    L"checked 48213 files for threats.</text></subgroup></group></binding></visual></tile>";

JSONParser tilePayload(int tileCount) {
    JSONParser tiles;
    for (int i = 0; i < tileCount; ++i) {
        JSONParser tile;
        tile.setString(L"xml", kTileXml);
        tiles.appendToArray(L"tiles", tile);
    }
    tiles.setBool(L"clear_existing", true);
    JSONParser payload;
    payload.setObject(L"viewer_payload", tiles);
    payload.setString(L"viewer_type", L"talmor-uwp-live-tile");
    return payload;
}

// The tile payload as the formatter builds it, for a given number of tiles.
void BM_BuildTilePayload(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(tilePayload(static_cast<int>(state.range(0))).toString());
    }
}
BENCHMARK(BM_BuildTilePayload)->Arg(1)->Arg(4);

// Writing a three-tile payload's text, beside RapidJSON's stock writer on the same document.
void BM_WriteTilePayload(benchmark::State& state) {
    const JSONParser payload = tilePayload(3);
    for (auto _ : state) {
        benchmark::DoNotOptimize(payload.toString());
    }
}
BENCHMARK(BM_WriteTilePayload);

void BM_WriteTilePayloadStockWriter(benchmark::State& state) {
    using Encoding = rapidjson::UTF16<wchar_t>;
    rapidjson::GenericDocument<Encoding> document;
    document.Parse(tilePayload(3).toString().c_str());
    for (auto _ : state) {
        rapidjson::GenericStringBuffer<Encoding> text;
        rapidjson::Writer<rapidjson::GenericStringBuffer<Encoding>, Encoding, Encoding> writer(
            text);
        document.Accept(writer);
        benchmark::DoNotOptimize(text.GetString());
    }
}
BENCHMARK(BM_WriteTilePayloadStockWriter);

} // namespace
