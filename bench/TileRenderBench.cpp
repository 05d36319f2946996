// Cost of rendering the tiles for one refresh: a state that selects three
// tiles, rendered from the resource library beside this program and wrapped
// in the payload, as the worker does after every handled message.
#include "model/TileSelection.h"
#include "platform/CurrentModule.h"
#include "platform/ResourceAPI.h"
#include "render/TileContentFormatter.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

std::wstring thisProgramName() {
    Vanta::ResourceAPI api;
    wchar_t buffer[4096] = {};
    const uint32_t length = api.getModuleFileName(Vanta::currentModuleHandle(), buffer, 4096);
    const std::wstring path(buffer, length);
    return path.substr(path.find_last_of(L"\\/") + 1);
}

std::shared_ptr<Vanta::PlaceHolders> placeHolders() {
    return std::make_shared<Vanta::PlaceHolders>(
        std::make_shared<Vanta::ResourceDll>(thisProgramName(), L"OrloResources.dll", nullptr),
        std::make_shared<Vanta::CountFormat>(Vanta::DigitGrouping{L",", {3}, true}));
}

Vanta::ProcState threeTileState() {
    Vanta::ProcState state = Vanta::makeDefaultProcState();
    state.filesScanned = 1234567;
    state.connectionsBlocked = 42;
    return state; // FilesScanned, ConnectionsBlocked, Protected
}

void BM_GetTilesPayloadThreeTiles(benchmark::State& state) {
    Vanta::TileContentFormatter formatter(placeHolders());
    const Vanta::ProcState procState = threeTileState();
    const auto tiles = Vanta::selectTileContents(procState);
    if (tiles.size() != 3) {
        state.SkipWithError("the state no longer selects three tiles");
        return;
    }
    std::size_t payloadChars = 0;
    for (auto _ : state) {
        std::wstring payload;
        benchmark::DoNotOptimize(formatter.getTilesPayload(tiles, procState, payload));
        benchmark::DoNotOptimize(payload);
        payloadChars = payload.size();
    }
    state.counters["payload_chars"] = static_cast<double>(payloadChars);
}
BENCHMARK(BM_GetTilesPayloadThreeTiles);

// The same with the count format reading the user's locale on every count.
void BM_GetTilesPayloadThreeTilesUserLocale(benchmark::State& state) {
    Vanta::TileContentFormatter formatter(std::make_shared<Vanta::PlaceHolders>(
        std::make_shared<Vanta::ResourceDll>(thisProgramName(), L"OrloResources.dll", nullptr)));
    const Vanta::ProcState procState = threeTileState();
    const auto tiles = Vanta::selectTileContents(procState);
    for (auto _ : state) {
        std::wstring payload;
        benchmark::DoNotOptimize(formatter.getTilesPayload(tiles, procState, payload));
        benchmark::DoNotOptimize(payload);
    }
}
BENCHMARK(BM_GetTilesPayloadThreeTilesUserLocale);

} // namespace
