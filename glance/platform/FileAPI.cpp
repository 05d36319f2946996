#include "platform/FileAPI.h"

#include "platform/FileSystemPath.h"

#include <filesystem>

namespace Vanta {

bool FileAPI::createFolders(const std::wstring& path) {
    std::error_code error;
    std::filesystem::create_directories(toFileSystemPath(path), error);
    return std::filesystem::is_directory(toFileSystemPath(path), error);
}

} // namespace Vanta
