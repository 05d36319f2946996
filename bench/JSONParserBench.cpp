// Cost of the JSON work done per bus message: parsing a status message's user data and reading
// its keys, and building the tile payload.
#include "model/JSONParser.h"

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

// The tile payload as the formatter builds it, for a given number of tiles.
void BM_BuildTilePayload(benchmark::State& state) {
    const std::wstring xml = L"<tile><visual><binding template=\"TileMedium\"><text>Protected"
                             L"</text><image src=\"shield.png\"/></binding></visual></tile>";
    for (auto _ : state) {
        JSONParser tiles;
        for (int i = 0; i < state.range(0); ++i) {
            JSONParser tile;
            tile.setString(L"xml", xml);
            tiles.appendToArray(L"tiles", tile);
        }
        tiles.setBool(L"clear_existing", true);
        JSONParser payload;
        payload.setObject(L"viewer_payload", tiles);
        payload.setString(L"viewer_type", L"talmor-uwp-live-tile");
        benchmark::DoNotOptimize(payload.toString());
    }
}
BENCHMARK(BM_BuildTilePayload)->Arg(1)->Arg(4);

} // namespace
