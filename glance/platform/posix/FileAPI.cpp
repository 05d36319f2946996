// POSIX-only code belongs in this file.
#include "platform/FileAPI.h"

#include "platform/FileSystemPath.h"
#include "platform/posix/SystemError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vanta {
namespace {

class PosixFile final : public WritableFile {
public:
    explicit PosixFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixFile() override { ::close(descriptor_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    uint32_t write(const void* data, uint32_t size) override {
        const auto* bytes = static_cast<const char*>(data);
        size_t left = size;
        // One record is one call on Windows; here a short write only goes on.
        while (left != 0) {
            const ssize_t written = ::write(descriptor_, bytes, left);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return internal::errorFromErrno(errno);
            }
            bytes += written;
            left -= static_cast<size_t>(written);
        }
        return 0;
    }

private:
    int descriptor_;
};

// Opened as a new empty file (`create`), or as an existing one positioned at its end.
std::unique_ptr<WritableFile> openFile(const std::wstring& path, bool create, uint32_t& error) {
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
    const int descriptor = ::open(toFileSystemPath(path).c_str(), flags, 0644);
    if (descriptor < 0 || (!create && ::lseek(descriptor, 0, SEEK_END) < 0)) {
        error = internal::errorFromErrno(errno);
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        return nullptr;
    }
    error = 0;
    return std::make_unique<PosixFile>(descriptor);
}

} // namespace

bool FileAPI::pathExists(const std::wstring& path) {
    struct stat status {};
    return ::stat(toFileSystemPath(path).c_str(), &status) == 0;
}

std::optional<uint64_t> FileAPI::fileSize(const std::wstring& path) {
    struct stat status {};
    if (::stat(toFileSystemPath(path).c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(status.st_size);
}

std::unique_ptr<WritableFile> FileAPI::createFile(const std::wstring& path, uint32_t& error) {
    return openFile(path, true, error);
}

std::unique_ptr<WritableFile> FileAPI::openAtEnd(const std::wstring& path, uint32_t& error) {
    return openFile(path, false, error);
}

} // namespace Vanta
