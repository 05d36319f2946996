#include "BusLibrary.h"

#include "platform/TextCodec.h"

namespace Vanta {

void BusLibrary::unload() {
    if (release_ != nullptr) {
        release_();
    }
    release_ = nullptr;
    functions_ = nullptr;
    library_.reset();
}

bool BusLibrary::load(const std::wstring& path, std::string& error) {
    unload();
    library_ = loadLibraryFile(path);
    if (!library_) {
        error = "cannot load the bus library " + toUtf8(path);
        return false;
    }
    const auto create = reinterpret_cast<KestrelBusCreateObjectFn>(
        libraryExport(library_.get(), KESTREL_BUS_EXPORT_CREATE_OBJECT));
    const auto release = reinterpret_cast<KestrelBusReleaseObjectFn>(
        libraryExport(library_.get(), KESTREL_BUS_EXPORT_RELEASE_OBJECT));
    functions_ = create != nullptr && release != nullptr
                     ? create(KESTREL_MESSAGE_BUS_INTERFACE_VERSION)
                     : nullptr;
    if (functions_ == nullptr) {
        unload();
        error = toUtf8(path) + " answers no bus table for interface version " +
                std::to_string(KESTREL_MESSAGE_BUS_INTERFACE_VERSION);
        return false;
    }
    release_ = release;
    return true;
}

} // namespace Vanta
