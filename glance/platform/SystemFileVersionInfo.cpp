#include "platform/SystemFileVersionInfo.h"

#include "platform/KnownFolderIds.h"
#include "platform/PathSeparator.h"

namespace Strato {

SystemFileVersionInfo::SystemFileVersionInfo(std::shared_ptr<ShlObjAPI> shell)
    : shell_(shell ? std::move(shell) : std::make_shared<ShlObjAPI>()) {}

const std::wstring& SystemFileVersionInfo::systemFolder() {
    if (systemFolder_.empty()) {
        std::wstring folder;
        if (shell_->SHGetKnownFolderPath(kFolderIdSystem, 0, nullptr, folder) != 0) {
            folder.clear();
        }
        systemFolder_ = folder + Vanta::kPathSeparator;
    }
    return systemFolder_;
}

bool SystemFileVersionInfo::load(const std::wstring& fileName) {
    return FileVersionInfo::load(systemFolder() + fileName);
}

} // namespace Strato
