#include "platform/ResourceAPI.h"

#include "fakes/ThisModule.h"
#include "platform/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>

using Vanta::ModuleHandle;
using Vanta::ResourceAPI;

// The calls keep the Windows contract on every build, so that ResourceDll
// behaves the same over the real system on both.
TEST(ResourceAPIOnDisk, KeepsTheSystemsContract) {
    ResourceAPI api;
    const std::wstring folder = testrender::thisModuleFolder();

    ModuleHandle library = nullptr;
    ASSERT_TRUE(api.loadLibrary((folder + L"OrloResources.dll").c_str(), library));
    ASSERT_NE(nullptr, library);

    const wchar_t* stored = nullptr;
    const int32_t length = api.loadString(library, 142, reinterpret_cast<wchar_t*>(&stored), 0);
    ASSERT_GT(length, 4);
    wchar_t copy[5] = {L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(4, api.loadString(library, 142, copy, 5));
    EXPECT_EQ(std::wstring(stored, 4), std::wstring(copy));

    EXPECT_EQ(0, api.loadString(library, 4000, copy, 5));
    EXPECT_EQ(1814u, api.getLastError());

    const std::wstring upper = Vanta::asciiUppered<wchar_t>(testrender::thisModuleName());
    EXPECT_NE(nullptr, api.getModuleHandle(upper.c_str()));
    EXPECT_EQ(nullptr, api.getModuleHandle(L"NoSuchModule.dll"));
    EXPECT_EQ(126u, api.getLastError());

    EXPECT_TRUE(api.pathFileExists((folder + L"secure.png").c_str()));
    EXPECT_FALSE(api.pathFileExists((folder + L"missing.dll").c_str()));
    EXPECT_EQ(2u, api.getLastError());

    EXPECT_TRUE(api.freeLibrary(library));
}
