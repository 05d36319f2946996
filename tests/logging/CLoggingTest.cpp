#include "logging/CLogging.h"
#include "fakes/ScratchFolder.h"
#include "logging/Log.h"
#include "logging/LogTestSeam.h"
#include "platform/CObfuscatedIniReader.h"
#include "platform/KnownFolderIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace {

using ETWLogging::CLogging;
using testfakes::ScratchFolder;
using testfakes::widePath;

constexpr wchar_t kSeparator = Vanta::kPathSeparator;

// The program-data folder is a scratch folder, or cannot be found.
class ScratchProgramData final : public Strato::ShlObjAPI {
public:
    explicit ScratchProgramData(std::wstring folder) : folder_(std::move(folder)) {}
    int32_t SHGetKnownFolderPath(const Strato::Guid& id, uint32_t, void*,
                                 std::wstring& path) override {
        if (folder_.empty() || id != Strato::kFolderIdProgramData) {
            return static_cast<int32_t>(0x80070002u);
        }
        path = folder_;
        return 0;
    }

private:
    std::wstring folder_;
};

// Every module is "Suite/Glance.dll".
class GlanceModule final : public Vanta::ResourceAPI {
public:
    uint32_t getModuleFileName(Vanta::ModuleHandle, wchar_t* buffer, uint32_t size) override {
        const std::wstring path = std::wstring(L"Suite") + kSeparator + L"Glance.dll";
        std::copy(path.begin(), path.end(), buffer);
        buffer[path.size()] = L'\0';
        return size > path.size() ? static_cast<uint32_t>(path.size()) : 0;
    }
};

Vanta::ModuleHandle someModule() {
    static int marker;
    return &marker;
}

// UTF-16LE bytes after the byte-order mark, as text.
std::wstring textOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(0u, bytes.find("\xFF\xFE")) << file;
    return Vanta::fromUtf16LeBytes(
        std::string_view(bytes).substr(std::min<size_t>(2, bytes.size())));
}

class CLoggingTest : public ::testing::Test {
protected:
    // Program data in the scratch folder unless given; an empty folder is not found.
    std::unique_ptr<CLogging> sink(std::optional<std::wstring> programData = std::nullopt) {
        return std::make_unique<CLogging>(CLogging::Parts{
            std::make_shared<ScratchProgramData>(programData.value_or(widePath(scratch_.path()))),
            nullptr, nullptr, std::make_shared<GlanceModule>()});
    }
    std::filesystem::path root() const { return scratch_.path() / "Talmor" / "TMLOGS"; }
    // The log folder of group "Group" and module Glance.
    std::filesystem::path folder() const { return root() / "Group" / "Glance"; }
    void writeIni(const std::filesystem::path& path, const std::string& text) const {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    uint32_t storedValue(const std::filesystem::path& ini, const wchar_t* key) const {
        uint32_t value = 0xDEAD;
        Strato::CObfuscatedIniReader(widePath(ini)).ReadDword(L"Config", key, value);
        return value;
    }
    std::vector<std::string> logFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder())) {
            if (entry.path().extension() == ".log") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchFolder scratch_;
};

TEST_F(CLoggingTest, InitializeAnswersItsCodesAndResetsOnFailure) {
    auto logging = sink();
    EXPECT_EQ(87u, logging->Initialize(L"", someModule(), nullptr));
    EXPECT_EQ(87u, logging->Initialize(L"Group", someModule(), L""));
    EXPECT_EQ(20002u, logging->Uninitialize());
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
    EXPECT_EQ(20001u, logging->Initialize(L"Group", someModule(), nullptr));
    EXPECT_EQ(widePath(folder()), logging->logFolder());
    EXPECT_EQ(0u, logging->Uninitialize());
    EXPECT_EQ(L"", logging->logFolder());
    EXPECT_EQ(87u, logging->LogText(L"File", L"F", 1, 3, L"after the end"));

    // No program data: no log root, nothing kept.
    auto rootless = sink(L"");
    rootless->SetSeverity(6);
    EXPECT_EQ(87u, rootless->Initialize(L"Group", someModule(), nullptr));
    EXPECT_EQ(3u, rootless->GetSeverity());
    wchar_t buffer[260];
    EXPECT_EQ(87u, rootless->GetLogRoot(buffer, 260));

    const std::wstring expected = widePath(root()) + kSeparator;
    EXPECT_EQ(0u, logging->GetLogRoot(buffer, 260));
    EXPECT_EQ(expected, buffer);
    EXPECT_EQ(122u, logging->GetLogRoot(buffer, static_cast<uint32_t>(expected.size())));
}

TEST_F(CLoggingTest, WritesUtf16RecordsIntoFilesNamedByModuleAndHost) {
    auto logging = sink();
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), L"x"));
    EXPECT_EQ(0u, logging->LogText(L"src\\Glance", L"Vanta::GlanceImpl::start", 12, 4,
                                   L"Failed to start"));
    EXPECT_EQ(0u, logging->LogText(L"Glance", L"F", 13, 3, L"ends in a line feed\n"));
    EXPECT_EQ(87u, logging->LogText(L"Glance", L"F", 14, 7, L"no such level"));
    EXPECT_EQ(87u, logging->LogText(L"Glance", L"F", 15, 3, L""));
    ASSERT_EQ(std::vector<std::string>{"Glance_x000.log"}, logFiles());
    const std::wstring text = textOf(folder() / "Glance_x000.log");
    // With a module there is no process name: its piece is empty, its blank stays.
    EXPECT_NE(std::wstring::npos, text.find(L"$ -- (Error)$  Failed to start\r\n"))
        << Vanta::toUtf8(text);
    EXPECT_TRUE(text.ends_with(L"$ -- (Information)$  ends in a line feed\n"));

    // Without a group the log folder lies in the root; without a host the name has no suffix.
    auto plain = sink();
    ASSERT_EQ(0u, plain->Initialize(nullptr, someModule(), nullptr));
    EXPECT_EQ(0u, plain->LogText(L"Glance", L"F", 1, 1, L"plain"));
    EXPECT_TRUE(std::filesystem::exists(root() / "Glance" / "Glance000.log"));
}

TEST_F(CLoggingTest, RotatesThroughTheRingAfterAFileReachesMaxSize) {
    writeIni(folder() / "log.ini", "[Config]\r\nMaxEntries=3\r\nMaxSize=262144\r\n");
    auto logging = sink();
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
    ASSERT_EQ(3u, logging->GetMaxEntries());
    const std::wstring message(4000, L'm');
    const auto sizeOf = [&](const char* name) {
        std::error_code missing;
        const auto size = std::filesystem::file_size(folder() / name, missing);
        return missing ? 0 : size;
    };
    // Fills the current file up to MaxSize; the next record goes to `next`.
    const auto fillThenSwitch = [&](const char* current, const char* next) {
        for (int records = 0; sizeOf(current) < 262144; ++records) {
            ASSERT_LT(records, 100) << current;
            ASSERT_EQ(0u, logging->LogText(L"Glance", L"F", 1, 3, message.c_str()));
        }
        const auto full = sizeOf(current);
        ASSERT_EQ(0u, logging->LogText(L"Glance", L"F", 1, 3, L"first of the next file"));
        EXPECT_EQ(full, sizeOf(current)) << current;
        const std::wstring nextText = textOf(folder() / next);
        EXPECT_EQ(1, std::count(nextText.begin(), nextText.end(), L'\n')) << next;
        EXPECT_TRUE(nextText.ends_with(L"first of the next file\r\n")) << next;
    };
    fillThenSwitch("Glance000.log", "Glance001.log");
    EXPECT_EQ(1u, storedValue(folder() / "log.ini", L"LastLogIdx"));
    fillThenSwitch("Glance001.log", "Glance002.log");
    fillThenSwitch("Glance002.log", "Glance000.log"); // emptied, and written again
    EXPECT_EQ(0u, storedValue(folder() / "log.ini", L"LastLogIdx"));
    EXPECT_EQ((std::vector<std::string>{"Glance000.log", "Glance001.log", "Glance002.log"}),
              logFiles());
}

TEST_F(CLoggingTest, AnIndexBeyondTheRingStartsOverAtTheFirstFile) {
    writeIni(folder() / "log.ini", "[Config]\r\nMaxEntries=3\r\nLastLogIdx=5\r\n");
    std::ofstream(folder() / "Glance000.log", std::ios::binary) << "old records";
    auto logging = sink();
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
    ASSERT_EQ(0u, logging->LogText(L"Glance", L"F", 1, 3, L"new"));
    EXPECT_TRUE(textOf(folder() / "Glance000.log").ends_with(L"new\r\n"));
    EXPECT_EQ(std::wstring::npos, textOf(folder() / "Glance000.log").find(L"old"));
    EXPECT_EQ(0u, storedValue(folder() / "log.ini", L"LastLogIdx"));
}

TEST_F(CLoggingTest, ConfigurationTakesEachKeyFromTheLogFileThenTheGlobalOne) {
    struct Case {
        const char* local;  // the log configuration, or null for none
        const char* global; // the global configuration, or null for none
        uint32_t maxSize, maxEntries, severity;
    };
    const Case cases[] = {
        {nullptr, nullptr, 262144, 3, 3},
        // Invalid values in the log configuration: the defaults, also written back there.
        {"[Config]\nMaxSize=1000\nMaxEntries=1\nSeverity=7\n", nullptr, 262144, 3, 3},
        {"[Config]\nMaxSize=1000\n", "[Config]\nMaxSize=300000\nSeverity=5\n", 300000, 3, 5},
        {"[Config]\nMaxSize=524288\nMaxEntries=100\nSeverity=0\n", "[Config]\nSeverity=5\n", 524288,
         100, 1},
        {nullptr, "[Config]\nMaxEntries=101\nSeverity=6\n", 262144, 3, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.local ? c.local : "-") + " | " + (c.global ? c.global : "-"));
        std::filesystem::remove_all(root());
        if (c.local != nullptr) {
            writeIni(folder() / "log.ini", c.local);
        }
        if (c.global != nullptr) {
            writeIni(root() / "log.ini", c.global);
        }
        auto logging = sink();
        ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
        EXPECT_EQ(c.maxSize, logging->GetMaxSize());
        EXPECT_EQ(c.maxEntries, logging->GetMaxEntries());
        EXPECT_EQ(c.severity, logging->GetSeverity());
    }
    // The second case left its defaults in the log configuration.
    std::filesystem::remove_all(root());
    writeIni(folder() / "log.ini", "[Config]\nMaxSize=1000\nMaxEntries=1\nSeverity=7\n");
    writeIni(root() / "log.ini", "[Config]\nMaxEntries=1\n");
    ASSERT_EQ(0u, sink()->Initialize(L"Group", someModule(), nullptr));
    EXPECT_EQ(262144u, storedValue(folder() / "log.ini", L"MaxSize"));
    EXPECT_EQ(3u, storedValue(folder() / "log.ini", L"MaxEntries"));
    EXPECT_EQ(3u, storedValue(folder() / "log.ini", L"Severity"));
    EXPECT_EQ(3u, storedValue(root() / "log.ini", L"MaxEntries"));
}

TEST_F(CLoggingTest, SettersClampAndLogHonoursEnableAndSeverity) {
    auto logging = sink();
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
    logging->SetMaxSize(1);
    logging->SetMaxEntries(1000);
    logging->SetSeverity(0);
    EXPECT_EQ(262144u, logging->GetMaxSize());
    EXPECT_EQ(100u, logging->GetMaxEntries());
    EXPECT_EQ(1u, logging->GetSeverity());
    logging->SetSeverity(9);
    EXPECT_EQ(6u, logging->GetSeverity());
    EXPECT_FALSE(logging->IsLevelEnabled(5));

    logging->SetSeverity(3);
    EXPECT_EQ(0u, logging->Log(2, L"Glance", L"F", 1, L"below %d", 3));
    logging->SetEnabled(false);
    EXPECT_EQ(0u, logging->Log(4, L"Glance", L"F", 1, L"disabled"));
    logging->SetEnabled(true);
    EXPECT_EQ(0u, logging->Log(4, L"Glance", L"F", 1, L"%s %u", L"passes", 4u));
    // The level slots write whatever the severity.
    EXPECT_EQ(0u, logging->LogNormal(L"Glance", L"F", 1, L"normal"));
    const std::wstring text = textOf(folder() / "Glance000.log");
    EXPECT_EQ(std::wstring::npos, text.find(L"below"));
    EXPECT_EQ(std::wstring::npos, text.find(L"disabled"));
    EXPECT_NE(std::wstring::npos, text.find(L"(Error)$  passes 4\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"(Normal)$  normal\r\n"));
}

TEST_F(CLoggingTest, ALogFolderThatCannotBeMadeSilencesTheSink) {
    // Program data is a file, so no folder can be made under it.
    const std::wstring file = scratch_.write(L"not-a-folder", "x");
    auto logging = sink(file);
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
    EXPECT_EQ(87u, logging->LogText(L"Glance", L"F", 1, 3, L"first"));
    EXPECT_EQ(87u, logging->LogText(L"Glance", L"F", 1, 3, L"second"));
    EXPECT_FALSE(logging->IsEnabled());
    EXPECT_FALSE(logging->IsLevelEnabled(6));
    EXPECT_EQ(0u, logging->Log(6, L"Glance", L"F", 1, L"dropped"));
}

TEST_F(CLoggingTest, EightThreadsThroughWriteLogLoseNoRecordAcrossRotations) {
    writeIni(folder() / "log.ini", "[Config]\r\nMaxEntries=100\r\nSeverity=1\r\n");
    auto logging = sink();
    ASSERT_EQ(0u, logging->Initialize(L"Group", someModule(), nullptr));
    ETWLogging::installLoggerForTesting(std::move(logging));
    constexpr int kThreads = 8;
    constexpr int kRecords = 150;
    const std::wstring padding(600, L'p');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int r = 0; r < kRecords; ++r) {
                ETWLogging::logIfEnabled(3, L"Glance", L"F", 1, L"thread %d record %d %s end", t, r,
                                         padding.c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ETWLogging::resetLogFrontEndForTesting();

    ASSERT_GT(logFiles().size(), 2u); // the records filled several files
    std::set<std::pair<int, int>> seen;
    for (const std::string& name : logFiles()) {
        const std::wstring text = textOf(folder() / name);
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = text.find(L"\r\n", start);
            ASSERT_NE(std::wstring::npos, end) << name;
            const std::wstring line = text.substr(start, end - start);
            int t = -1;
            int r = -1;
            const size_t at = line.find(L"thread ");
            ASSERT_NE(std::wstring::npos, at) << Vanta::toUtf8(line);
            ASSERT_EQ(2, swscanf(line.c_str() + at, L"thread %d record %d", &t, &r));
            EXPECT_TRUE(line.ends_with(L" " + padding + L" end")) << Vanta::toUtf8(line);
            EXPECT_TRUE(seen.insert({t, r}).second) << t << " " << r;
            start = end + 2;
        }
    }
    EXPECT_EQ(static_cast<size_t>(kThreads * kRecords), seen.size());
}

} // namespace
