// POSIX-only code belongs in this file.
#include "platform/FileOperations.h"

#include "platform/TextCodec.h"
#include "platform/posix/DataFolders.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace Strato {

std::wstring FileOperations::temporaryFolder() const {
    const char* configured = std::getenv("TMPDIR");
    std::string folder = configured != nullptr && *configured != '\0' ? configured : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return Vanta::fromUtf8(folder);
}

std::wstring FileOperations::createUniqueFile(const std::wstring& folder,
                                              const std::wstring& prefix,
                                              const std::wstring& extension) const {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = folder + L"/" + prefix + std::to_wstring(entropy()) + extension;
        const int descriptor =
            ::open(Vanta::toUtf8(path).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (descriptor >= 0) {
            ::close(descriptor);
            return path;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

bool FileOperations::replaceFile(const std::wstring& replaced,
                                 const std::wstring& replacement) const {
    return std::rename(Vanta::toUtf8(replacement).c_str(), Vanta::toUtf8(replaced).c_str()) == 0;
}

bool FileOperations::moveFile(const std::wstring& from, const std::wstring& to) const {
    // link then unlink: never over a file that appeared meanwhile.
    const std::string source = Vanta::toUtf8(from);
    if (::link(source.c_str(), Vanta::toUtf8(to).c_str()) != 0) {
        return false;
    }
    ::unlink(source.c_str());
    return true;
}

bool FileOperations::moveAtRestart(const std::wstring&, const std::wstring&) const {
    return false;
}

std::wstring FileOperations::commonFilesFolder() const {
    return Vanta::fromUtf8(
        Vanta::internal::dataFolderFromEnvironment("KESTREL_COMMONFILES", "CommonFiles"));
}

} // namespace Strato
