#include "logging/ModuleFileIdentity.h"

#include "platform/CurrentModule.h"
#include "platform/PathSeparator.h"
#include "platform/ResourceAPI.h"
#include "platform/VersionResource.h"
#include "platform/WideFormatter.h"

#include <cstdint>
#include <vector>

namespace ETWLogging {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

// One "%u": blanks, then digits that fit in 32 bits.
bool readNumber(const std::wstring& text, size_t& i, uint32_t& value) {
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    uint64_t number = 0;
    const size_t start = i;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        number = number * 10 + static_cast<uint64_t>(text[i] - L'0');
        if (number > 0xFFFFFFFFu) {
            return false;
        }
        ++i;
    }
    value = static_cast<uint32_t>(number);
    return i > start;
}

std::wstring fileNameOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(Vanta::kPathSeparator);
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

} // namespace

std::wstring dottedFileVersion(const std::wstring& version) {
    uint32_t parts[4] = {};
    size_t i = 0;
    for (size_t part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= version.size() || version[i] != L',') {
                return version;
            }
            ++i;
        }
        if (!readNumber(version, i, parts[part])) {
            return version;
        }
    }
    return Strato::formatWide(L"%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
}

ModuleFileIdentity readModuleFileIdentity(const std::wstring& path) {
    ModuleFileIdentity identity;
    identity.fileName = fileNameOf(path);
    std::vector<uint8_t> block;
    std::vector<uint32_t> translations;
    if (path.empty() || !Strato::internal::readVersionResource(path, block) ||
        !Strato::internal::queryVersionTranslations(block, translations) || translations.empty()) {
        return identity;
    }
    const uint32_t first = translations.front();
    std::wstring version;
    if (Strato::internal::queryVersionString(
            block,
            Strato::formatWide(L"\\StringFileInfo\\%04x%04x\\FileVersion", first & 0xFFFF,
                               first >> 16),
            version)) {
        identity.version = dottedFileVersion(version);
    }
    return identity;
}

const ModuleFileIdentity& thisModuleFileIdentity() {
    static const ModuleFileIdentity identity = [] {
        std::vector<wchar_t> path(32768);
        Vanta::ResourceAPI resources;
        const uint32_t length = resources.getModuleFileName(
            Vanta::currentModuleHandle(), path.data(), static_cast<uint32_t>(path.size()));
        return readModuleFileIdentity(length != 0 ? std::wstring(path.data(), length)
                                                  : std::wstring());
    }();
    return identity;
}

} // namespace ETWLogging
