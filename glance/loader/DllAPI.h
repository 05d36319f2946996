// The system's library calls, with the signature check in front of every
// load: a library is mapped only when the trust verifier accepts its file.
#pragma once

#include "platform/ModuleHandle.h"

#include <cstdint>
#include <functional>
#include <string>

namespace Vanta {

class DllAPI {
public:
    // The check answers 0 for a trusted file, else the error to report;
    // empty: the process-wide trust verifier.
    using TrustCheck = std::function<uint32_t(const std::wstring& path)>;

    explicit DllAPI(TrustCheck check = {});
    virtual ~DllAPI();

    // Checks the file, then maps it; on a failed check the thread's last
    // error is the check's answer.
    virtual bool loadLibrary(const std::wstring& path, ModuleHandle& module);
    virtual void* getProcAddress(ModuleHandle module, const char* name);
    // True when the path is not empty and passes the signature check.
    virtual bool isTrusted(const std::wstring& path);
    virtual bool freeLibrary(ModuleHandle module);
    // The library when it is already in the process, its count raised
    // (flags 0 is the only form this system uses).
    virtual bool getModuleHandleEx(uint32_t flags, const std::wstring& name, ModuleHandle& module);

private:
    uint32_t check(const std::wstring& path);

    TrustCheck check_;
};

} // namespace Vanta
