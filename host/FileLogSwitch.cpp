#include "FileLogSwitch.h"

#include "platform/CObfuscatedRegKey.h"
#include "platform/KnownFolderIds.h"
#include "platform/PathSeparator.h"
#include "platform/ShlObjAPI.h"

namespace Vanta {
namespace {

constexpr const wchar_t* kLoggingKey = L"SOFTWARE\\Talmor\\Logging";
constexpr const wchar_t* kMechanism = L"Logging Mechanism";
constexpr uint32_t kFileMechanism = 1;

} // namespace

FileLogSwitch::FileLogSwitch() {
    Strato::CObfuscatedRegKey key;
    error_ = key.Create(Strato::kHKeyLocalMachine, kLoggingKey);
    if (error_ != 0) {
        return;
    }
    uint32_t value = 0;
    if (key.QueryDWORDValue(kMechanism, value) == 0) {
        previous_ = value;
    }
    error_ = key.SetDWORDValue(kMechanism, kFileMechanism);
}

FileLogSwitch::~FileLogSwitch() {
    if (error_ != 0) {
        return;
    }
    Strato::CObfuscatedRegKey key;
    if (key.Open(Strato::kHKeyLocalMachine, kLoggingKey) == 0) {
        if (previous_) {
            key.SetDWORDValue(kMechanism, *previous_);
        } else {
            key.DeleteValue(kMechanism);
        }
    }
}

std::wstring FileLogSwitch::logFolder(const std::wstring& group, const std::wstring& moduleName) {
    std::wstring programData;
    if (Strato::ShlObjAPI().SHGetKnownFolderPath(Strato::kFolderIdProgramData, 0, nullptr,
                                                 programData) != 0) {
        return {};
    }
    const std::wstring separator(1, kPathSeparator);
    return programData + separator + L"Talmor" + separator + L"TMLOGS" + separator + group +
           separator + moduleName + separator;
}

} // namespace Vanta
