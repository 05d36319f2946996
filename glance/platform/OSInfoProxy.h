// Facts about the running system: the kernel version (from kernel32.dll's
// "ProductVersion"), its classification into an OS code, platform code and
// service pack, and WOW64. Detection runs once, on the first question; the
// answers are read-only afterwards. On Linux nothing is detected: OS code 0,
// platform code 2, and every version question answers false.
#pragma once

#include "platform/SystemFileVersionInfo.h"
#include "platform/WinOSVersionAPI.h"

#include <memory>

namespace Strato::internal {

class OSInfoProxy {
public:
    // Empty pointers make the default collaborators.
    explicit OSInfoProxy(std::shared_ptr<WinOSVersionAPI> versionApi = nullptr,
                         std::shared_ptr<SystemFileVersionInfo> kernelVersion = nullptr);
    virtual ~OSInfoProxy();

    // 0 when not detected.
    virtual uint32_t getOSCode();
    // 0 win32, 1 x64; 2 when not detected.
    virtual uint32_t getPlatformCode();
    // False when not detected or for OS code 12 (an unknown system).
    virtual bool getVersion(uint32_t& major, uint32_t& minor, uint32_t& servicePack);
    virtual bool getOSCodeAndPlatform(uint32_t& osCode, uint32_t& platformCode);
    virtual bool isWow64Process();
    virtual bool isNTPlatform();
    virtual bool getKernelVersion(uint32_t& major, uint32_t& minor, uint32_t& build,
                                  uint32_t& revision);

private:
    class _Impl;
    std::shared_ptr<_Impl> impl_;
};

} // namespace Strato::internal
