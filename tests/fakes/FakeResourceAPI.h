// A ResourceAPI over an in-memory module and string table, so that
// ResourceDll and the renderers above it run without a library on disk.
#pragma once

#include "platform/ResourceAPI.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testfakes {

class FakeResourceAPI : public Vanta::ResourceAPI {
public:
    static inline Vanta::ModuleHandle const kModule = reinterpret_cast<Vanta::ModuleHandle>(0x1000);
    static inline Vanta::ModuleHandle const kResources =
        reinterpret_cast<Vanta::ModuleHandle>(0x2000);

    // What the system answers; each failure sets `failureError` as last error.
    std::wstring loadedModuleName = L"Glance.dll"; // empty: the module is not loaded
    std::wstring modulePath = L"C:\\Apps\\Glance.dll";
    bool modulePathFails = false;
    bool fileExists = true;
    bool loadFails = false;
    bool freeFails = false;
    uint32_t failureError = 0;
    std::map<uint32_t, std::wstring> strings;

    // What the code under test did.
    std::vector<std::wstring> existenceChecks;
    std::vector<std::wstring> loads;
    int frees = 0;

    bool loadLibrary(const wchar_t* path, Vanta::ModuleHandle& module) override {
        loads.push_back(path);
        if (loadFails) {
            return failed();
        }
        module = kResources;
        return true;
    }
    int32_t loadString(Vanta::ModuleHandle module, uint32_t id, wchar_t* buffer,
                       int32_t bufferSize) override {
        const auto it = strings.find(id);
        if (module != kResources || bufferSize != 0 || it == strings.end()) {
            lastError = 1814;
            return 0;
        }
        *reinterpret_cast<const wchar_t**>(buffer) = it->second.data();
        return static_cast<int32_t>(it->second.size());
    }
    Vanta::ModuleHandle getModuleHandle(const wchar_t* name) override {
        if (loadedModuleName.empty() || loadedModuleName != name) {
            failed();
            return nullptr;
        }
        return kModule;
    }
    uint32_t getModuleFileName(Vanta::ModuleHandle module, wchar_t* buffer,
                               uint32_t size) override {
        if (modulePathFails || module != kModule) {
            return failed();
        }
        const size_t count = std::min<size_t>(modulePath.size(), size - 1);
        modulePath.copy(buffer, count);
        buffer[count] = L'\0';
        return static_cast<uint32_t>(count);
    }
    bool pathFileExists(const wchar_t* path) override {
        existenceChecks.push_back(path);
        return fileExists || failed();
    }
    bool freeLibrary(Vanta::ModuleHandle module) override {
        ++frees;
        return module == kResources && !freeFails ? true : failed();
    }
    bool closeHandle(void*) override { return false; }
    uint32_t getLastError() override { return lastError; }

private:
    bool failed() {
        lastError = failureError;
        return false;
    }
    uint32_t lastError = 0;
};

} // namespace testfakes
