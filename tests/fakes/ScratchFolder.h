// A new empty folder under the temporary folder for one test, removed with
// everything in it when the test ends.
#pragma once

#include "platform/PathSeparator.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace testfakes {

// The system's text of a path (UTF-16 units) on both builds.
inline std::wstring widePath(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return Vanta::fromUtf8(
        std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("glance-scratch-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        // Files made read-only must become writable before Windows removes them.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        }
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `name` inside the folder, as the system's text.
    std::wstring file(std::wstring_view name) const {
        return widePath(path_) + Vanta::kPathSeparator + std::wstring(name);
    }
    std::wstring write(std::wstring_view name, std::string_view bytes) const {
        const std::wstring path = file(name);
        std::ofstream(path_ / std::filesystem::path(Vanta::toUtf8(name)), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

private:
    std::filesystem::path path_;
};

} // namespace testfakes
