#include "ModuleLibrary.h"

#include "platform/TextCodec.h"

namespace Vanta {

void ModuleLibrary::unload() {
    if (release_ != nullptr) {
        release_();
    }
    release_ = nullptr;
    versionText_ = nullptr;
    versionNumber_ = nullptr;
    // A module that ran keeps process-wide state (its logger, its tables)
    // that lives as long as it is mapped: the host keeps it mapped until the
    // process ends rather than unmap what still owns memory.
    if (functions_ != nullptr) {
        static_cast<void>(library_.release());
    }
    functions_ = nullptr;
    library_.reset();
}

bool ModuleLibrary::load(const std::wstring& path, std::string& error) {
    unload();
    library_ = loadLibraryFile(path);
    if (!library_) {
        error = "cannot load the module library " + toUtf8(path);
        return false;
    }
    const auto create = reinterpret_cast<KestrelModuleCreateObjectFn>(
        libraryExport(library_.get(), KESTREL_MODULE_EXPORT_CREATE_OBJECT));
    release_ = reinterpret_cast<KestrelModuleReleaseObjectFn>(
        libraryExport(library_.get(), KESTREL_MODULE_EXPORT_RELEASE_OBJECT));
    versionText_ = reinterpret_cast<KestrelModuleGetVersionStrFn>(
        libraryExport(library_.get(), KESTREL_MODULE_EXPORT_GET_VERSION_STR));
    versionNumber_ = reinterpret_cast<KestrelModuleGetVersionNumFn>(
        libraryExport(library_.get(), KESTREL_MODULE_EXPORT_GET_VERSION_NUM));
    if (create == nullptr || release_ == nullptr || versionText_ == nullptr ||
        versionNumber_ == nullptr) {
        release_ = nullptr;
        unload();
        error = toUtf8(path) + " lacks the module's four exports";
        return false;
    }
    functions_ = create();
    if (functions_ == nullptr) {
        unload();
        error = toUtf8(path) + " answers no module function table";
        return false;
    }
    return true;
}

std::string ModuleLibrary::version() const {
    if (versionText_ == nullptr || versionNumber_ == nullptr) {
        return {};
    }
    const char* text = versionText_();
    return std::string(text != nullptr ? text : "") + " (" + std::to_string(versionNumber_()) + ")";
}

} // namespace Vanta
