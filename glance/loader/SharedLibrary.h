// One module-style library of the host framework (it exports CreateObject,
// ReleaseObject, GetVersionStr and GetVersionNum): found along candidate
// folders, refused when its version is on the block list, checked, loaded
// and imported by the constructor, unloaded by the destructor.
#pragma once

#include "loader/DllLoader.h"
#include "loader/PathHelpers.h"
#include "loader/PathSearch.h"
#include "platform/CRegKey.h"
#include "platform/FileVersionInfo.h"

#include <kestrel/ModuleStatus.h>

#include <memory>
#include <string>
#include <vector>

namespace Vanta {

struct LibraryDescriptor {
    std::wstring name;
    // Folder expressions that may hold path macros.
    std::vector<std::wstring> folders;
};

// The four entry points, in import order.
struct ImportedFunctions {
    void* createObject = nullptr;
    void* releaseObject = nullptr;
    void* getVersionStr = nullptr;
    void* getVersionNum = nullptr;
};

class SharedLibrary {
public:
    // Throws ModuleException "Failed to load library" or "Failed to import
    // functions from library". Empty collaborators make defaults; without a
    // registry reader the block list is read through the scrambled key, and
    // without a version reader a fresh one reads the file.
    SharedLibrary(LibraryDescriptor descriptor, std::shared_ptr<DllLoader> loader = nullptr,
                  std::shared_ptr<PathHelpers> expander = nullptr,
                  std::shared_ptr<PathSearch> search = nullptr,
                  std::shared_ptr<Strato::FileVersionInfo> versionReader = nullptr,
                  std::shared_ptr<Strato::CRegKey> registryReader = nullptr);
    virtual ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    virtual const ImportedFunctions* functions() const;

    MODULE_STATUS loadLibrary();
    MODULE_STATUS importFunctions();
    MODULE_STATUS unloadLibrary();

private:
    bool isBlocked(const std::wstring& folder) const;

    std::wstring name_;
    std::vector<std::wstring> folders_;
    std::shared_ptr<DllLoader> loader_;
    std::shared_ptr<PathHelpers> expander_;
    std::shared_ptr<PathSearch> search_;
    std::shared_ptr<Strato::CRegKey> registryReader_;
    std::shared_ptr<Strato::FileVersionInfo> versionReader_;
    ModuleHandle module_ = nullptr;
    ImportedFunctions functions_;
};

} // namespace Vanta
