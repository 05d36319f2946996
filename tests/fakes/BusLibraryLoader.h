// A host's bus library, loaded once for the program from `path` as a host
// keeps it loaded, and its table for the one interface version there is.
#pragma once

#include "platform/LibraryHandle.h"

#include <kestrel/MessageBusLibrary.h>

#include <stdexcept>

namespace testfakes {

inline const KestrelMessageBusFunctions& loadBusTable(const wchar_t* path) {
    static const Vanta::ScopedLibrary library = Vanta::loadLibraryFile(path);
    static const KestrelMessageBusFunctions* table = [] {
        auto create = reinterpret_cast<KestrelBusCreateObjectFn>(
            Vanta::libraryExport(library.get(), KESTREL_BUS_EXPORT_CREATE_OBJECT));
        return create != nullptr ? create(KESTREL_MESSAGE_BUS_INTERFACE_VERSION) : nullptr;
    }();
    if (table == nullptr) {
        throw std::runtime_error("the bus library did not load");
    }
    return *table;
}

} // namespace testfakes
