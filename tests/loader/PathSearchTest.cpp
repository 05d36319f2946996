// The search over real scratch folders, its log lines, and the file test it
// stands on.
#include "loader/PathSearch.h"

#include "fakes/RecordingLogger.h"
#include "fakes/ScratchFolder.h"
#include "platform/PathSeparator.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testfakes::ScratchFolder;
using Vanta::kPathSeparator;
using Vanta::PathSearch;

constexpr const wchar_t* kLib = L"Lib.dll";

std::wstring folderOf(const ScratchFolder& scratch) {
    return testfakes::widePath(scratch.path());
}

TEST(PathAPI, FileExistsOnlyForFiles) {
    ScratchFolder scratch;
    const std::wstring file = scratch.write(kLib, "x");
    std::filesystem::create_directory(scratch.path() / "Sub");
    const struct {
        std::wstring path;
        bool exists;
    } cases[] = {
        {file, true},
        {scratch.file(L"Sub"), false},
        {folderOf(scratch), false},
        {scratch.file(L"Missing.dll"), false},
        {L"", false},
    };
    Vanta::PathAPI api;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Vanta::toUtf8(c.path));
        EXPECT_EQ(c.exists, api.fileExists(c.path));
    }
}

enum class Holds { nothing, file, folder };

TEST(PathSearch, FirstFolderInListOrderThatHoldsTheFile) {
    const struct {
        const char* name;
        Holds a;
        Holds b;
        bool aFirst;
        const wchar_t* found; // L"A", L"B" or nullptr
    } cases[] = {
        {"both, A first", Holds::file, Holds::file, true, L"A"},
        {"both, B first", Holds::file, Holds::file, false, L"B"},
        {"only the second", Holds::nothing, Holds::file, true, L"B"},
        {"a folder of that name before the file", Holds::folder, Holds::file, true, L"B"},
        {"only a folder of that name", Holds::folder, Holds::nothing, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder a;
        ScratchFolder b;
        for (const auto& [scratch, holds] : {std::pair{&a, c.a}, std::pair{&b, c.b}}) {
            if (holds == Holds::file) {
                scratch->write(kLib, "x");
            } else if (holds == Holds::folder) {
                std::filesystem::create_directory(scratch->path() / "Lib.dll");
            }
        }
        // A's folder ends with a separator, B's does not.
        const std::wstring aFolder = folderOf(a) + kPathSeparator;
        const std::wstring bFolder = folderOf(b);
        PathSearch search;
        search.addSearchPaths(c.aFirst ? std::vector{aFolder, bFolder}
                                       : std::vector{bFolder, aFolder});
        std::wstring out = L"unchanged";
        const bool found = search.findFilePath(kLib, out);
        EXPECT_EQ(c.found != nullptr, found);
        if (c.found == nullptr) {
            EXPECT_EQ(L"unchanged", out);
        } else {
            EXPECT_EQ(std::wstring(c.found) == L"A" ? folderOf(a) : folderOf(b), out);
        }
    }
}

TEST(PathSearch, LogsEachCandidateAndTheOutcome) {
    ScratchFolder a;
    ScratchFolder b;
    b.write(kLib, "x");
    PathSearch search;
    search.addSearchPath(folderOf(a));
    search.addSearchPath(folderOf(b).c_str());
    testfakes::ScopedRecordingLogger log;
    std::wstring out;
    ASSERT_TRUE(search.findFilePath(kLib, out));

    const std::wstring find = L"Vanta::PathSearch::findFilePath";
    const std::wstring check = L"Vanta::PathSearch::checkIfExists";
    const struct {
        uint32_t level;
        std::wstring function;
        std::wstring text;
    } expected[] = {
        {1, find, L"Entering findFilePath for file Lib.dll"},
        {1, check, L"Entering checkIfExists for " + a.file(kLib)},
        {2, check, L"File does not exist."},
        {1, check, L"Entering checkIfExists for " + b.file(kLib)},
        {1, check, L"File exists"},
        {1, find, L"File found at path " + folderOf(b) + L". Returning success."},
    };
    const auto records = log->records();
    ASSERT_EQ(std::size(expected), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].level, records[i].level);
        EXPECT_EQ(L"PathSearch", records[i].file);
        EXPECT_EQ(expected[i].function, records[i].function);
        EXPECT_EQ(expected[i].text, records[i].text);
    }
}

TEST(PathSearch, EmptyListFindsNothing) {
    testfakes::ScopedRecordingLogger log;
    std::wstring out = L"unchanged";
    EXPECT_FALSE(PathSearch().findFilePath(kLib, out));
    EXPECT_EQ(L"unchanged", out);
    const auto records = log->records();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(1u, records[0].level);
    EXPECT_EQ(L"Entering findFilePath for file Lib.dll", records[0].text);
    EXPECT_EQ(2u, records[1].level);
    EXPECT_EQ(L"Vanta::PathSearch::findFilePath", records[1].function);
    EXPECT_EQ(L"File not found.", records[1].text);
}

// A derived test decides, and sees each candidate exactly as joined.
class ScriptedSearch : public PathSearch {
public:
    bool checkIfExists(const std::wstring& path) override {
        candidates.push_back(path);
        return path == answerTrueFor;
    }
    std::wstring answerTrueFor;
    std::vector<std::wstring> candidates;
};

TEST(PathSearch, CandidatesGoThroughTheOverriddenTest) {
    const std::wstring sep(1, kPathSeparator);
    ScriptedSearch search;
    search.addSearchPaths({L"one", L"two" + sep + sep, L"three"});
    search.answerTrueFor = L"two" + sep + sep + sep + L"F";
    std::wstring out;
    ASSERT_TRUE(search.findFilePath(L"F", out));
    // Only one trailing separator goes.
    EXPECT_EQ(L"two" + sep, out);
    EXPECT_EQ((std::vector<std::wstring>{L"one" + sep + L"F", search.answerTrueFor}),
              search.candidates);
}

TEST(PathSearch, FoldersAreKeptAsAddedInOrder) {
    PathSearch search;
    search.addSearchPath(L"a");
    search.addSearchPath(static_cast<const wchar_t*>(nullptr));
    search.addSearchPath(std::wstring(L"b\\/"));
    search.addSearchPaths({L"a", L""});
    const std::vector<std::wstring> expected{L"a", L"b\\/", L"a", L""};
    EXPECT_EQ(expected, search.getSearchPaths());
    search.getSearchPaths().clear();
    EXPECT_EQ(expected, search.getSearchPaths());
}

} // namespace
