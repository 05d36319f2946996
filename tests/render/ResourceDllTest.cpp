#include "render/ResourceDll.h"

#include "fakes/FakeResourceAPI.h"
#include "fakes/RecordingLogger.h"
#include "fakes/ThisModule.h"
#include "platform/RtMuiImpl.h"
#include "status/ModuleException.h"

#include <OrloResourcesTables.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using testfakes::FakeResourceAPI;
using Vanta::ResourceDll;

namespace {

std::wstring fromUnits(const uint16_t* units, size_t length) {
    return std::wstring(units, units + length);
}

} // namespace

TEST(ResourceDll, FindsTheLibraryInTheModulesFolderOrFailsConstruction) {
    struct Case {
        const char* name;
        std::wstring moduleName;
        std::function<void(FakeResourceAPI&)> setUp;
        std::wstring loadedPath;        // empty: construction throws
        std::string exceptionText;      // when it throws
        std::vector<std::wstring> logs; // exact texts, in order
    };
    const std::vector<Case> cases = {
        {"module folder with its separator",
         L"Glance.dll",
         [](FakeResourceAPI&) {},
         L"C:\\Apps\\OrloResources.dll",
         "",
         {}},
        {"folder name containing the module name is cut at the first occurrence",
         L"Glance.dll",
         [](FakeResourceAPI& api) { api.modulePath = L"C:\\Glance.dll.d\\Glance.dll"; },
         L"C:\\OrloResources.dll",
         "",
         {}},
        {"letter case differs from the loaded path",
         L"Glance.dll",
         [](FakeResourceAPI& api) { api.modulePath = L"C:\\Apps\\GLANCE.DLL"; },
         L"",
         "Failed to get resourcePath for Module.",
         {L"File path C:\\Apps\\GLANCE.DLL found is not correct for module Glance.dll"}},
        {"empty module name",
         L"",
         [](FakeResourceAPI&) {},
         L"",
         "Failed to get resourcePath for Module.",
         {}},
        {"module not loaded",
         L"Glance.dll",
         [](FakeResourceAPI& api) {
             api.loadedModuleName.clear();
             api.failureError = 126;
         },
         L"",
         "Failed to get resourcePath for Module.",
         {L"Failed to get Module handle 126 for Glance.dll"}},
        {"module path unreadable",
         L"Glance.dll",
         [](FakeResourceAPI& api) {
             api.modulePathFails = true;
             api.failureError = 6;
         },
         L"",
         "Failed to get resourcePath for Module.",
         {L"Failed to get ModulePath 6 for Module: Glance.dll"}},
        {"library missing",
         L"Glance.dll",
         [](FakeResourceAPI& api) {
             api.fileExists = false;
             api.failureError = 2;
         },
         L"",
         "Failed to load Resources.",
         {L"C:\\Apps\\OrloResources.dll doesn't exist. Error 2"}},
        {"library does not load",
         L"Glance.dll",
         [](FakeResourceAPI& api) {
             api.loadFails = true;
             api.failureError = 193;
         },
         L"",
         "Failed to load Resources.",
         {L"Failed to load Resource C:\\Apps\\OrloResources.dll. Error 193"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testfakes::ScopedRecordingLogger log;
        auto api = std::make_shared<FakeResourceAPI>();
        c.setUp(*api);
        if (c.loadedPath.empty()) {
            try {
                ResourceDll dll(c.moduleName, L"OrloResources.dll", api);
                ADD_FAILURE() << "constructed";
            } catch (const Vanta::ModuleException& e) {
                EXPECT_EQ(c.exceptionText, e.what());
            }
            EXPECT_EQ(0, api->frees);
        } else {
            {
                ResourceDll dll(c.moduleName, L"OrloResources.dll", api);
                EXPECT_EQ(std::vector<std::wstring>{c.loadedPath}, api->loads);
            }
            EXPECT_EQ(1, api->frees);
        }
        EXPECT_EQ(c.logs, log->texts());
        for (const testfakes::LogRecord& r : log->records()) {
            EXPECT_EQ(2u, r.level);
            EXPECT_EQ(L"ResourceDll", r.file);
        }
    }
}

TEST(ResourceDll, ReadsStringsWithTheirStoredLengthAndLogsMissingIds) {
    testfakes::ScopedRecordingLogger log;
    auto api = std::make_shared<FakeResourceAPI>();
    const std::wstring stored(L"<a>\0\"b\\\r\n</a>", 14);
    api->strings[101] = stored;
    ResourceDll dll(L"Glance.dll", L"OrloResources.dll", api);

    std::wstring text = L"old";
    ASSERT_TRUE(dll.getResourceString(101, text));
    EXPECT_EQ(stored, text);
    EXPECT_TRUE(log->records().empty());

    api->failureError = 1814;
    EXPECT_FALSE(dll.getResourceString(7, text));
    EXPECT_TRUE(text.empty());
    const auto records = log->records();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(2u, records[0].level);
    EXPECT_EQ(L"Vanta::ResourceDll::getResourceString", records[0].function);
    EXPECT_EQ(L"Failed to load xml resource Id:7. Error: 1814", records[0].text);
}

TEST(ResourceDll, UnloadsOnceAndLogsAFailedUnload) {
    testfakes::ScopedRecordingLogger log;
    auto api = std::make_shared<FakeResourceAPI>();
    {
        ResourceDll dll(L"Glance.dll", L"OrloResources.dll", api);
        api->freeFails = true;
        api->failureError = 6;
        dll.unloadResourcesDll();
        dll.unloadResourcesDll(); // nothing left to free
    }
    EXPECT_EQ(1, api->frees);
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to unload resource. Error: 6"}, log->texts());
}

// The library the build placed beside this program, read through the real
// system calls: every string must come back exactly as the .rc source has it.
TEST(ResourceDllOnDisk, ReadsEveryStringOfTheLibraryExactly) {
    testfakes::ScopedRecordingLogger log;
    // No multilingual loader is installed here: the plain calls serve.
    EXPECT_NE(0u, Vanta::RtMuiImpl::instance().availability());
    ResourceDll dll(testrender::thisModuleName(), L"OrloResources.dll", nullptr);
    ASSERT_GE(kestrel_string_table.count, 77u);
    for (uint32_t i = 0; i < kestrel_string_table.count; ++i) {
        const KestrelStringResource& expected = kestrel_string_table.entries[i];
        SCOPED_TRACE(expected.id);
        std::wstring text;
        ASSERT_TRUE(dll.getResourceString(expected.id, text));
        EXPECT_EQ(fromUnits(expected.units, expected.length), text);
    }
    std::wstring xml;
    ASSERT_TRUE(dll.getResourceString(101, xml));
    EXPECT_TRUE(xml.starts_with(L"<tile>") && xml.ends_with(L"</tile>")) << xml;
    EXPECT_TRUE(log->records().empty());

    std::wstring missing = L"old";
    EXPECT_FALSE(dll.getResourceString(4000, missing));
    EXPECT_TRUE(missing.empty());
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to load xml resource Id:4000. Error: 1814"},
              log->texts());
}

TEST(ResourceDllOnDisk, SharedByThreads) {
    auto dll =
        std::make_shared<ResourceDll>(testrender::thisModuleName(), L"OrloResources.dll", nullptr);
    std::wstring expected;
    ASSERT_TRUE(dll->getResourceString(101, expected));
    std::vector<std::thread> threads;
    std::vector<int> matches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                std::wstring text;
                matches[t] += dll->getResourceString(101, text) && text == expected;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<int>(4, 200), matches);
}
