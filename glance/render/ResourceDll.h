// The resource library that holds the tile template and texts
// ("OrloResources.dll"), loaded once from the folder of the module's own file
// and read by string id. Every system call goes through ResourceAPI.
#pragma once

#include "platform/ModuleHandle.h"
#include "platform/ResourceAPI.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace Vanta {

class ResourceDll {
public:
    static constexpr const wchar_t* kDefaultModuleName = L"Glance.dll";
    static constexpr const wchar_t* kDefaultResourceFileName = L"OrloResources.dll";
    static constexpr uint32_t kModulePathSize = 261;

    // Finds the folder of the loaded module `moduleName` and loads
    // `resourceFileName` from it. An empty `api` makes a new ResourceAPI.
    // Throws ModuleException "Failed to get resourcePath for Module." or
    // "Failed to load Resources." after logging the failing step.
    ResourceDll(std::wstring moduleName, std::wstring resourceFileName,
                std::shared_ptr<ResourceAPI> api);
    ResourceDll(const ResourceDll&) = delete;
    ResourceDll& operator=(const ResourceDll&) = delete;
    // Frees the library through unloadResourcesDll.
    virtual ~ResourceDll();

    // Loads the library at `path`; false (logged) when it is missing or fails.
    virtual bool loadResourceDll(const std::wstring& path);
    // The text of string `id`, exactly its stored length. `text` is emptied
    // first and stays empty on failure (logged). Safe from several threads.
    virtual bool getResourceString(uint32_t id, std::wstring& text);
    // The folder of the loaded module `moduleName`, ending with its separator;
    // on failure `folder` is left unchanged.
    virtual bool getCurrentResourcePath(std::wstring& folder);
    // Frees the library if one is loaded and forgets it; a failure is logged.
    virtual void unloadResourcesDll();

private:
    std::shared_ptr<ResourceAPI> api_;
    ModuleHandle resourceModule_ = nullptr;
    std::wstring moduleName_;
    std::wstring resourceFileName_;
    std::mutex stringLock_;
};

} // namespace Vanta
