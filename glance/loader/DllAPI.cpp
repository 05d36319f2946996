#include "loader/DllAPI.h"

#include "logging/Log.h"
#include "platform/LastError.h"
#include "platform/LibraryHandle.h"
#include "trust/CTrustVerifier.h"

namespace Vanta {
namespace {

constexpr uint32_t kInvalidParameter = 87;
constexpr const wchar_t* kFile = L"wrappers\\DllAPI";

} // namespace

DllAPI::DllAPI(TrustCheck check) : check_(std::move(check)) {}

DllAPI::~DllAPI() = default;

uint32_t DllAPI::check(const std::wstring& path) {
    if (path.empty()) {
        return kInvalidParameter;
    }
    return check_ ? check_(path) : Strato::CTrustVerifier::instance().verifyFile(path);
}

bool DllAPI::loadLibrary(const std::wstring& path, ModuleHandle& module) {
    const uint32_t verdict = check(path);
    if (verdict != 0) {
        setLastError(verdict);
        return false;
    }
    module = mapLibrary(path);
    if (module == nullptr) {
        ETWLogging::logIfEnabled(ETWLogging::kLevelError, kFile, L"Vanta::DllAPI::loadLibrary", 41,
                                 L"LoadLibrary Failed. GLE: %lu", lastError());
        return false;
    }
    return true;
}

void* DllAPI::getProcAddress(ModuleHandle module, const char* name) {
    return libraryExport(module, name);
}

bool DllAPI::isTrusted(const std::wstring& path) {
    return check(path) == 0;
}

bool DllAPI::freeLibrary(ModuleHandle module) {
    return unmapLibrary(module);
}

bool DllAPI::getModuleHandleEx(uint32_t, const std::wstring& name, ModuleHandle& module) {
    ModuleHandle found = loadedLibrary(name);
    if (found == nullptr) {
        return false;
    }
    module = found;
    return true;
}

} // namespace Vanta
