// Loading and looking up libraries with module statuses and log lines, over
// the system's calls.
#pragma once

#include "loader/DllAPI.h"

#include <memory>
#include <string>

namespace Vanta {

class DllLoader {
public:
    // Empty: a new DllAPI.
    explicit DllLoader(std::shared_ptr<DllAPI> api = nullptr);
    virtual ~DllLoader();

    // A library already in the process is taken as it is (its count raised,
    // no second check); any other is checked and mapped.
    virtual bool loadDLL(const std::wstring& path, ModuleHandle* module);
    virtual void* getProcAddress(ModuleHandle module, const char* name);
    virtual bool freeLibrary(ModuleHandle module);

private:
    std::shared_ptr<DllAPI> api_;
};

} // namespace Vanta
