// POSIX-only code belongs in this file.
#include "platform/Cabinet.h"

#include "platform/AsciiCase.h"
#include "platform/FileSystemPath.h"
#include "platform/TextCodec.h"

#include <mspack.h>

#include <filesystem>
#include <memory>

namespace Strato {
namespace {

constexpr int kReadOnlyAttribute = MSCAB_ATTRIB_RDONLY;

struct DecompressorDeleter {
    void operator()(mscab_decompressor* decompressor) const noexcept {
        mspack_destroy_cab_decompressor(decompressor);
    }
};

// Names of entries are UTF-8 when the cabinet says so, else Latin-1.
std::wstring entryName(const mscabd_file& file) {
    if ((file.attribs & MSCAB_ATTRIB_UTF_NAME) != 0) {
        return Vanta::fromUtf8(file.filename);
    }
    return Vanta::fromLatin1(file.filename);
}

} // namespace

bool CabinetAPI::available() const {
    return true;
}

bool CabinetAPI::extractEntry(const std::wstring& cabinet, const std::wstring& wanted,
                              const std::wstring& destination) const {
    const std::unique_ptr<mscab_decompressor, DecompressorDeleter> decompressor(
        mspack_create_cab_decompressor(nullptr));
    if (!decompressor) {
        return false;
    }
    const std::string cabinetPath = Vanta::toUtf8(cabinet);
    mscabd_cabinet* opened = decompressor->open(decompressor.get(), cabinetPath.c_str());
    if (opened == nullptr) {
        return false;
    }
    bool extracted = false;
    for (mscabd_file* file = opened->files; file != nullptr; file = file->next) {
        if (!Vanta::equalIgnoringAsciiCase(entryName(*file), wanted)) {
            continue;
        }
        const std::string target = Vanta::toUtf8(destination);
        extracted =
            decompressor->extract(decompressor.get(), file, target.c_str()) == MSPACK_ERR_OK;
        if (extracted && (file->attribs & kReadOnlyAttribute) != 0) {
            // Hidden, system and archive bits have no meaning here.
            std::error_code ignored;
            std::filesystem::permissions(target,
                                         std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_write,
                                         std::filesystem::perm_options::remove, ignored);
        }
        break;
    }
    decompressor->close(decompressor.get(), opened);
    return extracted;
}

} // namespace Strato
