// Windows-only code belongs in this file.
#include "platform/VersionResource.h"

#include "platform/win32/WindowsInclude.h"

namespace Strato::internal {

bool readVersionResource(const std::wstring& path, std::vector<uint8_t>& block) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return false;
    }
    block.assign(size, 0);
    return ::GetFileVersionInfoW(path.c_str(), 0, size, block.data()) != FALSE;
}

bool queryVersionTranslations(const std::vector<uint8_t>& block,
                              std::vector<uint32_t>& translations) {
    void* data = nullptr;
    UINT size = 0;
    // VerQueryValueW takes a non-const block but does not write to it.
    void* source = const_cast<uint8_t*>(block.data());
    if (!::VerQueryValueW(source, L"\\VarFileInfo\\Translation", &data, &size) || data == nullptr ||
        size < 4) {
        return false;
    }
    const auto* pairs = static_cast<const WORD*>(data);
    translations.clear();
    for (UINT i = 0; i + 1 < size / sizeof(WORD); i += 2) {
        translations.push_back(pairs[i] | (static_cast<uint32_t>(pairs[i + 1]) << 16));
    }
    return true;
}

bool queryVersionString(const std::vector<uint8_t>& block, const std::wstring& subBlock,
                        std::wstring& value) {
    void* data = nullptr;
    UINT chars = 0;
    void* source = const_cast<uint8_t*>(block.data());
    if (!::VerQueryValueW(source, subBlock.c_str(), &data, &chars) || data == nullptr) {
        return false;
    }
    // The count may include the terminator.
    const auto* text = static_cast<const wchar_t*>(data);
    size_t length = 0;
    while (length < chars && text[length] != L'\0') {
        ++length;
    }
    value.assign(text, length);
    return true;
}

} // namespace Strato::internal
