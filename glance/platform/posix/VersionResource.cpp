// POSIX-only code belongs in this file.
#include "platform/VersionResource.h"

#include "kestrel/ResourceTables.h"
#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
#include "platform/HexDigits.h"
#include "platform/LibraryHandle.h"
#include "platform/TextCodec.h"

#include <dlfcn.h>

namespace Strato::internal {
namespace {

// Block layout (all numbers little-endian):
//   u32 translation count, u32 translations...,
//   u32 string count, then per string: u16 language, u16 code page,
//   u32 name units, the name's units (u16), u32 value units, the value's.
void putU32(std::vector<uint8_t>& block, uint32_t value) {
    Vanta::appendLittleEndian(block, value);
}

void putU16(std::vector<uint8_t>& block, uint16_t value) {
    Vanta::appendLittleEndian(block, value);
}

void putUnits(std::vector<uint8_t>& block, const uint16_t* units) {
    uint32_t length = 0;
    while (units != nullptr && units[length] != 0) {
        ++length;
    }
    putU32(block, length);
    for (uint32_t i = 0; i < length; ++i) {
        putU16(block, units[i]);
    }
}

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& block) : block_(block) {}
    bool u32(uint32_t& value) { return read(value); }
    bool u16(uint16_t& value) { return read(value); }
    bool units(std::wstring& text) {
        uint32_t length = 0;
        if (!u32(length) || length > (block_.size() - at_) / 2) {
            return false;
        }
        text.clear();
        for (uint32_t i = 0; i < length; ++i) {
            uint16_t unit = 0;
            u16(unit);
            text.push_back(static_cast<wchar_t>(unit));
        }
        return true;
    }

private:
    template <typename T> bool read(T& value) {
        if (block_.size() - at_ < sizeof(T)) {
            return false;
        }
        value = Vanta::readLittleEndian<T>(block_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return true;
    }

    const std::vector<uint8_t>& block_;
    size_t at_ = 0;
};

bool skipTranslations(Reader& reader, std::vector<uint32_t>* out) {
    uint32_t count = 0;
    if (!reader.u32(count)) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t translation = 0;
        if (!reader.u32(translation)) {
            return false;
        }
        if (out != nullptr) {
            out->push_back(translation);
        }
    }
    return true;
}

} // namespace

bool readVersionResource(const std::wstring& path, std::vector<uint8_t>& block) {
    const std::string file = Vanta::toUtf8(path);
    const Vanta::ScopedLibrary library(::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library) {
        return false;
    }
    bool found = false;
    try {
        auto exported = reinterpret_cast<KestrelGetVersionInfoFn>(
            ::dlsym(library.get(), KESTREL_VERSION_INFO_EXPORT));
        const KestrelVersionInfo* info = exported != nullptr ? exported() : nullptr;
        if (info != nullptr) {
            block.clear();
            putU32(block, info->translationCount);
            for (uint32_t i = 0; i < info->translationCount; ++i) {
                // The table keeps language << 16 | code page; the block keeps
                // the Windows order, language in the low half.
                const uint32_t entry = info->translations[i];
                putU32(block, (entry >> 16) | ((entry & 0xFFFF) << 16));
            }
            putU32(block, info->stringCount);
            for (uint32_t i = 0; i < info->stringCount; ++i) {
                const KestrelVersionString& entry = info->strings[i];
                putU16(block, entry.language);
                putU16(block, entry.codePage);
                putUnits(block, entry.name);
                putUnits(block, entry.value);
            }
            found = true;
        }
    } catch (...) {
        found = false;
    }
    return found;
}

bool queryVersionTranslations(const std::vector<uint8_t>& block,
                              std::vector<uint32_t>& translations) {
    Reader reader(block);
    std::vector<uint32_t> found;
    if (!skipTranslations(reader, &found) || found.empty()) {
        return false;
    }
    translations = std::move(found);
    return true;
}

bool queryVersionString(const std::vector<uint8_t>& block, const std::wstring& subBlock,
                        std::wstring& value) {
    static const std::wstring kPrefix = L"\\StringFileInfo\\";
    if (subBlock.size() < kPrefix.size() + 9 ||
        !Vanta::equalIgnoringAsciiCase(subBlock.substr(0, kPrefix.size()), kPrefix) ||
        subBlock[kPrefix.size() + 8] != L'\\') {
        return false;
    }
    uint32_t pair = 0;
    for (size_t i = 0; i < 8; ++i) {
        const int digit = Vanta::hexDigitValue(subBlock[kPrefix.size() + i]);
        if (digit < 0) {
            return false;
        }
        pair = (pair << 4) | static_cast<uint32_t>(digit);
    }
    const std::wstring name = subBlock.substr(kPrefix.size() + 9);
    Reader reader(block);
    uint32_t count = 0;
    if (!skipTranslations(reader, nullptr) || !reader.u32(count)) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t language = 0;
        uint16_t codePage = 0;
        std::wstring entryName;
        std::wstring entryValue;
        if (!reader.u16(language) || !reader.u16(codePage) || !reader.units(entryName) ||
            !reader.units(entryValue)) {
            return false;
        }
        if (language == (pair >> 16) && codePage == (pair & 0xFFFF) &&
            Vanta::equalIgnoringAsciiCase(entryName, name)) {
            value = std::move(entryValue);
            return true;
        }
    }
    return false;
}

} // namespace Strato::internal
