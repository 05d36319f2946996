#include "platform/FileVersionInfo.h"

#include "platform/VersionResource.h"
#include "platform/WideFormatter.h"

namespace Strato {

bool FileVersionInfo::load(const std::wstring& path) {
    if (loaded_) {
        return false;
    }
    std::vector<uint8_t> block;
    if (!internal::readVersionResource(path, block) || block.empty()) {
        return false;
    }
    block_ = std::move(block);
    loaded_ = true;
    return true;
}

void FileVersionInfo::getString(std::wstring& out, const std::wstring& name) {
    out.clear();
    std::vector<uint32_t> translations;
    if (!loaded_ || !internal::queryVersionTranslations(block_, translations)) {
        return;
    }
    for (uint32_t translation : translations) {
        const std::wstring subBlock =
            formatWide(L"\\StringFileInfo\\%04X%04X\\%s", translation & 0xFFFF, translation >> 16,
                       name.c_str());
        std::wstring value;
        if (internal::queryVersionString(block_, subBlock, value)) {
            out = std::move(value);
            return;
        }
    }
}

} // namespace Strato
