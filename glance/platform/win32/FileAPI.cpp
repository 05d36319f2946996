// Windows-only code belongs in this file.
#include "platform/FileAPI.h"

#include "platform/win32/WindowsInclude.h"

namespace Vanta {
namespace {

class WindowsFile final : public WritableFile {
public:
    explicit WindowsFile(HANDLE handle) : handle_(handle) {}
    ~WindowsFile() override { ::CloseHandle(handle_); }
    WindowsFile(const WindowsFile&) = delete;
    WindowsFile& operator=(const WindowsFile&) = delete;

    uint32_t write(const void* data, uint32_t size) override {
        DWORD written = 0;
        if (!::WriteFile(handle_, data, size, &written, nullptr)) {
            return ::GetLastError();
        }
        return written == size ? 0 : ERROR_WRITE_FAULT;
    }

private:
    HANDLE handle_;
};

std::unique_ptr<WritableFile> openFile(const std::wstring& path, DWORD disposition,
                                       uint32_t& error) {
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return nullptr;
    }
    if (disposition == OPEN_EXISTING &&
        ::SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        ::GetLastError() != NO_ERROR) {
        error = ::GetLastError();
        ::CloseHandle(handle);
        return nullptr;
    }
    auto file = std::make_unique<WindowsFile>(handle);
    error = 0;
    return file;
}

} // namespace

bool FileAPI::pathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<uint64_t> FileAPI::fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::unique_ptr<WritableFile> FileAPI::createFile(const std::wstring& path, uint32_t& error) {
    return openFile(path, CREATE_ALWAYS, error);
}

std::unique_ptr<WritableFile> FileAPI::openAtEnd(const std::wstring& path, uint32_t& error) {
    return openFile(path, OPEN_EXISTING, error);
}

} // namespace Vanta
