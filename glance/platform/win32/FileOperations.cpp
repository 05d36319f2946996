// Windows-only code belongs in this file.
#include "platform/FileOperations.h"

#include "platform/win32/WindowsInclude.h"

#include <random>

namespace Strato {

std::wstring FileOperations::temporaryFolder() const {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    while (length > 3 && buffer[length - 1] == L'\\') {
        --length;
    }
    return std::wstring(buffer, length);
}

std::wstring FileOperations::createUniqueFile(const std::wstring& folder,
                                              const std::wstring& prefix,
                                              const std::wstring& extension) const {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = folder + L"\\" + prefix + std::to_wstring(entropy()) + extension;
        HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            return path;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    return {};
}

bool FileOperations::replaceFile(const std::wstring& replaced,
                                 const std::wstring& replacement) const {
    return ::ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
}

bool FileOperations::moveFile(const std::wstring& from, const std::wstring& to) const {
    return ::MoveFileW(from.c_str(), to.c_str()) != 0;
}

bool FileOperations::moveAtRestart(const std::wstring& from, const std::wstring& to) const {
    return ::MoveFileExW(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

std::wstring FileOperations::commonFilesFolder() const {
    // The root of the Windows drive, as "C:\".
    wchar_t windows[MAX_PATH + 1];
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
    if (length < 3 || length > MAX_PATH || windows[1] != L':') {
        return {};
    }
    return std::wstring(windows, 3) + L"Program Files\\Common Files";
}

} // namespace Strato
