// POSIX-only code belongs in this file.
#include "platform/ShlObjAPI.h"

#include "platform/KnownFolderIds.h"
#include "platform/TextCodec.h"
#include "platform/posix/DataFolders.h"

#include <filesystem>

namespace Strato {
namespace {

// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and E_OUTOFMEMORY.
constexpr int32_t kFolderNotFound = static_cast<int32_t>(0x80070002u);
constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);

struct FolderSource {
    const Guid* id;
    const char* variable;
    const char* defaultLeaf;
};

const FolderSource kFolders[] = {
    {&kFolderIdProgramData, "KESTREL_PROGRAMDATA", "ProgramData"},
    {&kFolderIdProgramFilesCommon, "KESTREL_COMMONFILES", "CommonFiles"},
    {&kFolderIdSystem, "KESTREL_SYSTEM", "System"},
    {&kFolderIdProfile, "KESTREL_PROFILE", "Profile"},
    {&kFolderIdDesktop, "KESTREL_DESKTOP", "Desktop"},
    {&kFolderIdDocuments, "KESTREL_DOCUMENTS", "Documents"},
    {&kFolderIdLocalAppDataLow, "KESTREL_LOCALAPPDATALOW", "LocalAppDataLow"},
    {&kFolderIdLocalAppData, "KESTREL_LOCALAPPDATA", "LocalAppData"},
    {&kFolderIdRoamingAppData, "KESTREL_ROAMINGAPPDATA", "RoamingAppData"},
    {&kFolderIdProgramFiles, "KESTREL_PROGRAMFILES", "ProgramFiles"},
    {&kFolderIdProgramFilesX64, "KESTREL_PROGRAMFILESX64", "ProgramFilesX64"},
    {&kFolderIdProgramFilesX86, "KESTREL_PROGRAMFILESX86", "ProgramFilesX86"},
    {&kFolderIdProgramFilesCommonX64, "KESTREL_COMMONFILESX64", "CommonFilesX64"},
    {&kFolderIdProgramFilesCommonX86, "KESTREL_COMMONFILESX86", "CommonFilesX86"},
};

} // namespace

int32_t ShlObjAPI::SHGetKnownFolderPath(const Guid& folderId, uint32_t flags, void*,
                                        std::wstring& path) {
    try {
        for (const FolderSource& folder : kFolders) {
            if (*folder.id != folderId) {
                continue;
            }
            const std::string found =
                Vanta::internal::dataFolderFromEnvironment(folder.variable, folder.defaultLeaf);
            if (found.empty()) {
                return kFolderNotFound;
            }
            std::error_code error;
            if ((flags & kKnownFolderCreate) != 0) {
                std::filesystem::create_directories(found, error);
            }
            if (!std::filesystem::is_directory(found, error)) {
                return kFolderNotFound;
            }
            path = Vanta::fromUtf8(found);
            return 0;
        }
        return kFolderNotFound;
    } catch (...) {
        return kOutOfMemory;
    }
}

} // namespace Strato
