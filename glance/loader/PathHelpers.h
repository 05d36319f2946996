// Expands path macros such as "$(App.Folder)" or "$(Kestrel.InstallDir)" in
// the folder expressions that say where run-time libraries lie.
#pragma once

#include "platform/OSInfoProxy.h"
#include "platform/RegistryAPI.h"
#include "platform/ShlObjAPI.h"

#include <memory>
#include <string>

namespace Vanta {

class PathHelpers {
public:
    // Empty pointers make the default collaborators.
    explicit PathHelpers(std::shared_ptr<Strato::ShlObjAPI> shell = nullptr,
                         std::shared_ptr<Strato::internal::OSInfoProxy> osInfo = nullptr,
                         std::shared_ptr<RegistryAPI> registry = nullptr);
    virtual ~PathHelpers();

    // Replaces every known macro by its value, left to right; values are not
    // scanned again. A macro that is unknown or has no value on this system
    // stays as written, so the folder simply fails the file test later.
    // Always answers true.
    virtual bool expandMacros(std::wstring& text);

private:
    class _Impl;
    std::shared_ptr<_Impl> impl_;
};

} // namespace Vanta
