// The bus library Conduit.dll as the host loads it: its table for interface
// version 2001000. Stays loaded while this lives. Loading the file that the
// module has already loaded joins the module's bus.
#pragma once

#include <kestrel/MessageBusLibrary.h>

#include "platform/LibraryHandle.h"

#include <string>

namespace Vanta {

class BusLibrary {
public:
    BusLibrary() = default;
    BusLibrary(const BusLibrary&) = delete;
    BusLibrary& operator=(const BusLibrary&) = delete;
    ~BusLibrary() { unload(); }

    // False with the reason (UTF-8); nothing stays loaded then.
    bool load(const std::wstring& path, std::string& error);
    // Null until loaded.
    const KestrelMessageBusFunctions* functions() const { return functions_; }
    void unload();

private:
    ScopedLibrary library_;
    const KestrelMessageBusFunctions* functions_ = nullptr;
    KestrelBusReleaseObjectFn release_ = nullptr;
};

} // namespace Vanta
