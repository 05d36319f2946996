// The module end to end, as the suite runs it: Glance.dll loaded through its
// exports, driven over Conduit.dll. A status message published on the host's
// bus handle goes through the module's subscription, queue and worker (the
// twelve statistics reads, the selection, the rendering) to the tile payload
// that the host's handle receives. Beside it in the same run: the bare
// Conduit hand-off (ConduitBench) and the module's start.
#include "ModuleLibrary.h"
#include "ModuleSession.h"
#include "StatisticsRegistry.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(60);

// A registry, trusted roots and common files of the benchmark's own.
void prepareEnvironment() {
    static const bool prepared = [] {
        static std::string registry =
            "KESTREL_REGISTRY=" +
            (std::filesystem::temp_directory_path() / "glance-bench-module.db").string();
        static std::string roots = std::string("KESTREL_ROOTS=") + GLANCE_DEV_ROOT;
        static std::string common = std::string("KESTREL_COMMONFILES=") + GLANCE_COMMON_FILES;
        putenv(registry.data());
        putenv(roots.data());
        putenv(common.data());
        // A machine with activity: all twelve statistics present.
        Vanta::StatisticsRegistry statistics;
        uint32_t value = 1000;
        for (const std::wstring& name : Vanta::StatisticsRegistry::names()) {
            statistics.set(name, value++);
        }
        return true;
    }();
    (void)prepared;
}

const Vanta::ModuleLibrary& glance() {
    prepareEnvironment();
    static Vanta::ModuleLibrary library;
    static const bool loaded = [] {
        std::string error;
        return library.load(GLANCE_BIN_FOLDER L"/Glance.dll", error);
    }();
    (void)loaded;
    return library;
}

// Resident memory in KiB.
long residentKiB() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// A started module with the host's handle counting its payloads.
std::unique_ptr<Vanta::ModuleSession> startedModule(benchmark::State& state) {
    auto session = std::make_unique<Vanta::ModuleSession>(
        glance(), GLANCE_BIN_FOLDER L"/Conduit.dll", false, false);
    std::string error;
    if (!session->begin(L"Glance", error)) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    return session;
}

const wchar_t* statusData(size_t i) {
    // Alternating states: every payload differs from the one before.
    return i % 2 == 0 ? LR"({"state":"red"})" : LR"({"state":"green"})";
}

// One message at a time: the time from publish to the payload's arrival.
void BM_StatusMessageToPayload(benchmark::State& state) {
    auto session = startedModule(state);
    if (!session) {
        return;
    }
    std::vector<double> micros;
    size_t sent = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        session->publish(L"Core.Protection.State", statusData(sent));
        ++sent;
        if (!session->inbox().waitForPayloads(sent, kTimeout)) {
            state.SkipWithError("a payload did not come");
            break;
        }
        const auto took = session->inbox().lastArrival() - start;
        micros.push_back(std::chrono::duration<double, std::micro>(took).count());
        state.SetIterationTime(std::chrono::duration<double>(took).count());
    }
    std::string error;
    session->end(kTimeout, error);
    if (micros.empty()) {
        return;
    }
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
}
BENCHMARK(BM_StatusMessageToPayload)
    ->UseManualTime()
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);

// A stream of messages with at most about kWindow in flight: the sustained rate,
// nothing lost, and resident memory after a warm-up and at the end.
void BM_SustainedStatusMessages(benchmark::State& state) {
    const auto total = static_cast<size_t>(state.range(0));
    constexpr size_t kWindow = 1024;
    constexpr size_t kStep = 256;
    constexpr size_t kWarmUp = 20000;
    auto session = startedModule(state);
    if (!session) {
        return;
    }
    for (auto _ : state) {
        Vanta::PayloadInbox& inbox = session->inbox();
        long warmResident = 0;
        Clock::time_point warmStart;
        for (size_t i = 0; i < kWarmUp + total; ++i) {
            if (i == kWarmUp) {
                inbox.waitForPayloads(kWarmUp, kTimeout);
                warmResident = residentKiB();
                warmStart = Clock::now();
            }
            // Waiting in steps keeps the publisher from waking for every payload.
            if (i >= kWindow && i % kStep == 0 && !inbox.waitForPayloads(i - kWindow, kTimeout)) {
                state.SkipWithError("payloads stopped coming");
                break;
            }
            session->publish(L"Core.Protection.State", statusData(i));
        }
        const bool all = inbox.waitForPayloads(kWarmUp + total, kTimeout);
        const double seconds = std::chrono::duration<double>(Clock::now() - warmStart).count();
        state.SetIterationTime(seconds);
        state.counters["messages_per_s"] = static_cast<double>(total) / seconds;
        state.counters["lost"] = static_cast<double>(kWarmUp + total - inbox.payloadCount());
        state.counters["rss_warm_MiB"] = static_cast<double>(warmResident) / 1024;
        state.counters["rss_end_MiB"] = static_cast<double>(residentKiB()) / 1024;
        if (!all) {
            state.SkipWithError("payloads were lost");
        }
    }
    std::string error;
    session->end(kTimeout, error);
}
BENCHMARK(BM_SustainedStatusMessages)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// NewModule, InitializeModule with the module loading and checking the bus
// library itself, and StartModule.
void BM_ModuleStart(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = Clock::now();
        Vanta::ModuleSession session(glance(), GLANCE_BIN_FOLDER L"/Conduit.dll", true, false);
        std::string error;
        if (!session.begin(L"Glance", error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        session.end(kTimeout, error);
    }
}
BENCHMARK(BM_ModuleStart)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
