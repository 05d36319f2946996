#include "platform/FileSystemPath.h"

#include <fstream>
#include <iterator>

namespace Vanta {

std::optional<std::vector<uint8_t>> readWholeFile(const std::wstring& path,
                                                  std::uintmax_t largest) {
    const std::filesystem::path file = toFileSystemPath(path);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > largest) {
        return std::nullopt;
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)),
                               std::istreambuf_iterator<char>());
    if (stream.bad()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace Vanta
