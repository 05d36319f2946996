// Cost of the twelve statistics reads of one handled status message, through
// RegistryAPI on the Linux registry store, beside the floor of the same
// lookups: one kept SQLite connection with one kept statement on a flat table.
#include "platform/CRegKey.h"
#include "platform/RegistryAPI.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> statisticsKeys() {
    const std::wstring stats = L"SOFTWARE\\Talmor\\Zalvo\\Settings\\Stats\\";
    const std::wstring report = stats + L"avmod\\Activity\\ScanReport\\";
    std::vector<std::wstring> keys;
    for (const wchar_t* suffix : {L"Resolved", L"Detected"}) {
        for (const wchar_t* kind :
             {L"RootKits", L"TrackingCookies", L"Trojans", L"UnwantedProgram", L"Virus"}) {
            keys.push_back(report + kind + suffix);
        }
    }
    keys.push_back(report + L"TotalItemScanned");
    keys.push_back(stats + L"fwmod\\Activity\\TotalInboundConnectionBlocked");
    return keys;
}

// A store of the benchmark's own, holding the twelve values.
class ScratchStore {
public:
    ScratchStore() {
        folder_ = std::filesystem::temp_directory_path() / "glance-bench-registry";
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        assignment_ = "KESTREL_REGISTRY=" + (folder_ / "registry.db").string();
        putenv(assignment_.data());
        uint32_t value = 1;
        for (const std::wstring& path : statisticsKeys()) {
            Strato::CRegKey key;
            key.Create(Strato::kHKeyLocalMachine, path.c_str());
            key.SetDWORDValue(L"SDSValue", value++);
        }
    }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::string assignment_;
};

const ScratchStore& store() {
    static const ScratchStore scratch;
    return scratch;
}

void BM_TwelveStatisticsReads(benchmark::State& state) {
    store();
    const std::vector<std::wstring> keys = statisticsKeys();
    Vanta::RegistryAPI registry;
    for (auto _ : state) {
        for (const std::wstring& key : keys) {
            uint32_t value = 0;
            if (registry.getDwordValue(key, L"SDSValue", value) != 0) {
                state.SkipWithError("a statistics value could not be read");
                return;
            }
            benchmark::DoNotOptimize(value);
        }
    }
}
BENCHMARK(BM_TwelveStatisticsReads);

// The floor: the same twelve lookups by full path on one kept connection and statement.
void BM_TwelveReadsKeptStatement(benchmark::State& state) {
    const std::string path = (store().folder() / "floor.db").string();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; DROP TABLE IF EXISTS vals;"
                 " CREATE TABLE vals(path TEXT PRIMARY KEY, data INTEGER NOT NULL)",
                 nullptr, nullptr, nullptr);
    std::vector<std::string> paths;
    for (const std::wstring& key : statisticsKeys()) {
        paths.emplace_back(key.begin(), key.end()); // ASCII
        sqlite3_exec(db, ("INSERT INTO vals VALUES('" + paths.back() + "', 1)").c_str(), nullptr,
                     nullptr, nullptr);
    }
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "SELECT data FROM vals WHERE path = ?", -1, &select, nullptr);
    for (auto _ : state) {
        for (const std::string& key : paths) {
            sqlite3_bind_text(select, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
            if (sqlite3_step(select) != SQLITE_ROW) {
                state.SkipWithError("a value could not be read");
                break;
            }
            benchmark::DoNotOptimize(sqlite3_column_int64(select, 0));
            sqlite3_reset(select);
        }
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
}
BENCHMARK(BM_TwelveReadsKeptStatement);

} // namespace
