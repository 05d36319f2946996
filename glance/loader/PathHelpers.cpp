#include "loader/PathHelpers.h"

#include "platform/ExecutablePath.h"
#include "platform/KnownFolderIds.h"
#include "platform/PathSeparator.h"

#include <functional>
#include <regex>
#include <unordered_map>

namespace Vanta {
namespace {

constexpr const wchar_t* kFrameworkKey = L"SOFTWARE\\TALMOR\\PELLIX";
constexpr size_t kMaxDriveChars = 3;
constexpr size_t kMaxPartChars = 256;

// The executable's path as the C runtime's split gives it, read once.
struct ExecutableParts {
    std::wstring drive;
    std::wstring folder;
    std::wstring name;
    std::wstring extension;
};

bool isAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

ExecutableParts splitPath(const std::wstring& path) {
    ExecutableParts parts;
    // Linux paths start with a slash, so they never carry a drive.
    size_t at = 0;
    if (path.size() >= 2 && isAsciiLetter(path[0]) && path[1] == L':') {
        parts.drive = path.substr(0, 2);
        at = 2;
    }
    const size_t lastSeparator = path.rfind(kPathSeparator);
    if (lastSeparator != std::wstring::npos && lastSeparator >= at) {
        parts.folder = path.substr(at, lastSeparator + 1 - at);
        at = lastSeparator + 1;
    }
    const std::wstring file = path.substr(at);
    const size_t dot = file.rfind(L'.');
    parts.name = file.substr(0, dot);
    parts.extension = dot == std::wstring::npos ? std::wstring() : file.substr(dot);
    // The split writes into fixed buffers; a component that does not fit fails the
    // whole split, which leaves all four empty.
    if (parts.drive.size() > kMaxDriveChars || parts.folder.size() > kMaxPartChars ||
        parts.name.size() > kMaxPartChars || parts.extension.size() > kMaxPartChars) {
        return {};
    }
    return parts;
}

const ExecutableParts& executableParts() {
    static const ExecutableParts parts = splitPath(executablePath());
    return parts;
}

// "$(" then one or more characters other than "$", "(" and ")", then ")".
// Breadth-first matching keeps the stack flat however long the text is.
const std::wregex& macroPattern() {
    static const std::wregex pattern(LR"(\$\([^$()]+\))", std::regex_constants::ECMAScript |
                                                              std::regex_constants::optimize |
                                                              std::regex_constants::__polynomial);
    return pattern;
}

} // namespace

class PathHelpers::_Impl {
public:
    _Impl(std::shared_ptr<Strato::ShlObjAPI> shell,
          std::shared_ptr<Strato::internal::OSInfoProxy> osInfo,
          std::shared_ptr<RegistryAPI> registry)
        : shell_(shell ? std::move(shell) : std::make_shared<Strato::ShlObjAPI>()),
          osInfo_(osInfo ? std::move(osInfo) : std::make_shared<Strato::internal::OSInfoProxy>()),
          registry_(registry ? std::move(registry) : std::make_shared<RegistryAPI>()) {}

    // The value of `macro`; empty when it is unknown or has no value here.
    std::wstring valueOf(const std::wstring& macro) {
        const auto& table = macroTable();
        const auto found = table.find(macro);
        return found == table.end() ? std::wstring() : found->second(*this);
    }

private:
    using Source = std::function<std::wstring(_Impl&)>;

    // Keys match exactly and case-sensitively, "$(" and ")" included.
    static const std::unordered_map<std::wstring, Source>& macroTable() {
        static const std::unordered_map<std::wstring, Source> table = [] {
            const auto folder = [](const Strato::Guid& id) -> Source {
                return [&id](_Impl& impl) {
                    return impl.knownFolder(id);
                };
            };
            return std::unordered_map<std::wstring, Source>{
                {L"$(OS.Platform)", &_Impl::platform},
                {L"$(App.Binary)", &_Impl::appBinary},
                {L"$(App.Name)", &_Impl::appName},
                {L"$(App.Folder)", &_Impl::appFolder},
                {L"$(App.Path)", &_Impl::appPath},
                {L"$(Kestrel.InstallDir)", &_Impl::installFolder},
                {L"$(FOLDERID_Profile)", folder(Strato::kFolderIdProfile)},
                {L"$(FOLDERID_Desktop)", folder(Strato::kFolderIdDesktop)},
                {L"$(FOLDERID_Documents)", folder(Strato::kFolderIdDocuments)},
                {L"$(FOLDERID_LocalAppDataLow)", folder(Strato::kFolderIdLocalAppDataLow)},
                {L"$(FOLDERID_LocalAppData)", folder(Strato::kFolderIdLocalAppData)},
                {L"$(FOLDERID_RoamingAppData)", folder(Strato::kFolderIdRoamingAppData)},
                {L"$(FOLDERID_ProgramData)", folder(Strato::kFolderIdProgramData)},
                {L"$(FOLDERID_ProgramFiles)", folder(Strato::kFolderIdProgramFiles)},
                {L"$(FOLDERID_ProgramFilesX64)", folder(Strato::kFolderIdProgramFilesX64)},
                {L"$(FOLDERID_ProgramFilesX86)", folder(Strato::kFolderIdProgramFilesX86)},
                {L"$(FOLDERID_ProgramFilesCommon)", folder(Strato::kFolderIdProgramFilesCommon)},
                {L"$(FOLDERID_ProgramFilesCommonX64)",
                 folder(Strato::kFolderIdProgramFilesCommonX64)},
                {L"$(FOLDERID_ProgramFilesCommonX86)",
                 folder(Strato::kFolderIdProgramFilesCommonX86)},
            };
        }();
        return table;
    }

    std::wstring platform() {
        switch (osInfo_->getPlatformCode()) {
        case 0:
            return L"win32";
        case 1:
            return L"x64";
        case 2:
            return L"PlatformUnknown";
        default:
            return {};
        }
    }

    std::wstring appBinary() {
        const ExecutableParts& parts = executableParts();
        return parts.name + parts.extension;
    }
    std::wstring appName() { return executableParts().name; }
    std::wstring appFolder() {
        const ExecutableParts& parts = executableParts();
        return parts.drive + parts.folder;
    }
    std::wstring appPath() {
        const ExecutableParts& parts = executableParts();
        return parts.drive + parts.folder + parts.name + parts.extension;
    }

    // A 32-bit process on 64-bit Windows reads the framework's 32-bit folder.
    std::wstring installFolder() {
        const wchar_t* valueName = osInfo_->isWow64Process() ? L"Install Dir32" : L"Install Dir";
        std::wstring value;
        // A missing key or value leaves `value` empty, which is no value.
        registry_->getStringValue(kFrameworkKey, valueName, value);
        return value;
    }

    std::wstring knownFolder(const Strato::Guid& id) {
        std::wstring path;
        if (shell_->SHGetKnownFolderPath(id, 0, nullptr, path) < 0) {
            return {};
        }
        return path;
    }

    std::shared_ptr<Strato::ShlObjAPI> shell_;
    std::shared_ptr<Strato::internal::OSInfoProxy> osInfo_;
    std::shared_ptr<RegistryAPI> registry_;
};

PathHelpers::PathHelpers(std::shared_ptr<Strato::ShlObjAPI> shell,
                         std::shared_ptr<Strato::internal::OSInfoProxy> osInfo,
                         std::shared_ptr<RegistryAPI> registry)
    : impl_(std::make_shared<_Impl>(std::move(shell), std::move(osInfo), std::move(registry))) {}

PathHelpers::~PathHelpers() = default;

bool PathHelpers::expandMacros(std::wstring& text) {
    std::wstring rest = std::move(text);
    std::wstring out;
    std::wsmatch match;
    while (std::regex_search(rest, match, macroPattern())) {
        const std::wstring macro = match.str(0);
        std::wstring value = impl_->valueOf(macro);
        out.append(match.prefix().first, match.prefix().second);
        out.append(value.empty() ? macro : value);
        rest = match.suffix().str();
    }
    out.append(rest);
    text = std::move(out);
    return true;
}

} // namespace Vanta
