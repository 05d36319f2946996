// Points the registry at a scratch store for the test process (Linux reads
// KESTREL_REGISTRY; Windows ignores it and uses the prefix's registry), and
// gives each test a scratch key that is deleted with its whole tree after.
#pragma once

#include "platform/CRegKey.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace testfakes {

// The store lives for the process and is removed when it ends.
inline void useScratchRegistry() {
    struct Store {
        std::string path;
        std::string assignment;
        Store() {
            std::random_device random;
            const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            path = (std::filesystem::temp_directory_path() /
                    ("glance-registry-" + std::to_string(random()) + "-" + std::to_string(stamp) +
                     ".db"))
                       .string();
            assignment = "KESTREL_REGISTRY=" + path;
            putenv(assignment.data());
        }
        ~Store() {
            std::error_code ignored;
            for (const char* suffix : {"", "-wal", "-shm"}) {
                std::filesystem::remove(path + suffix, ignored);
            }
        }
    };
    static Store store;
}

inline constexpr const wchar_t* kScratchParent = L"Software";
inline constexpr const wchar_t* kScratchName = L"GlanceTest";
inline constexpr const wchar_t* kScratchPath = L"Software\\GlanceTest";

// A fixture whose `key` is HKEY_CURRENT_USER\Software\GlanceTest, created
// empty for each test.
class ScratchKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        useScratchRegistry();
        removeScratchKey();
        ASSERT_EQ(Strato::kErrorSuccess, key.Create(Strato::kHKeyCurrentUser, kScratchPath));
    }
    void TearDown() override {
        key.Close();
        removeScratchKey();
    }
    static void removeScratchKey() {
        Strato::CRegKey parent;
        if (parent.Open(Strato::kHKeyCurrentUser, kScratchParent) == Strato::kErrorSuccess) {
            parent.RecurseDeleteKey(kScratchName);
        }
    }

    Strato::CRegKey key;
};

} // namespace testfakes
