// POSIX-only code belongs in this file.
#include "platform/FileSystemPath.h"

#include "platform/TextCodec.h"

namespace Vanta {

std::filesystem::path toFileSystemPath(std::wstring_view path) {
    return std::filesystem::path(toUtf8(path));
}

} // namespace Vanta
