// The module library as the host loads it: its four exports and the module
// function table that CreateObject answers. Stays loaded while this lives.
#pragma once

#include <kestrel/ModuleFunctions.h>

#include "platform/LibraryHandle.h"

#include <string>

namespace Vanta {

class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;
    ~ModuleLibrary() { unload(); }

    // False with the reason (UTF-8) when the library, an export or the table
    // is missing; nothing stays loaded then.
    bool load(const std::wstring& path, std::string& error);

    const KestrelModuleFunctions& functions() const { return *functions_; }
    // The version text and number, as the module exports them.
    std::string version() const;

private:
    void unload();

    ScopedLibrary library_;
    const KestrelModuleFunctions* functions_ = nullptr;
    KestrelModuleReleaseObjectFn release_ = nullptr;
    KestrelModuleGetVersionStrFn versionText_ = nullptr;
    KestrelModuleGetVersionNumFn versionNumber_ = nullptr;
};

} // namespace Vanta
