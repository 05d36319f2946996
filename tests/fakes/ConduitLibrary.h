// Conduit.dll, loaded once for the test program from where the build ships it,
// as a host keeps its bus library loaded.
#pragma once

#include "platform/LibraryHandle.h"

#include "TestPaths.h"

#include <kestrel/MessageBusLibrary.h>

#include <stdexcept>

namespace testfakes {

inline const KestrelMessageBusFunctions& conduit() {
    static const Vanta::ScopedLibrary library = Vanta::loadLibraryFile(GLANCE_CONDUIT_LIBRARY);
    static const KestrelMessageBusFunctions* table = [] {
        auto create = reinterpret_cast<KestrelBusCreateObjectFn>(
            Vanta::libraryExport(library.get(), KESTREL_BUS_EXPORT_CREATE_OBJECT));
        return create != nullptr ? create(KESTREL_MESSAGE_BUS_INTERFACE_VERSION) : nullptr;
    }();
    if (table == nullptr) {
        throw std::runtime_error("Conduit.dll did not load");
    }
    return *table;
}

} // namespace testfakes
