// Windows-only code belongs in this file.
#include "platform/FileSystemPath.h"

namespace Vanta {

std::filesystem::path toFileSystemPath(std::wstring_view path) {
    return std::filesystem::path(path);
}

} // namespace Vanta
