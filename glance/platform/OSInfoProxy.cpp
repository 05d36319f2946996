#include "platform/OSInfoProxy.h"

#include "platform/Wow64Process.h"

#include <atomic>
#include <thread>

namespace Strato::internal {
namespace {

constexpr uint32_t kPlatform9x = 1;
constexpr uint32_t kPlatformNT = 2;
constexpr uint32_t kUnknownSystemCode = 12;
constexpr uint32_t kNotDetectedPlatform = 2;

// "10.0.19041.1" into up to four decimal numbers; false when the text does
// not start with a number.
bool splitVersion(const std::wstring& text, uint32_t (&parts)[4]) {
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (at >= text.size() || text[at] < L'0' || text[at] > L'9') {
            return part > 0;
        }
        uint32_t value = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
            value = value * 10 + static_cast<uint32_t>(text[at] - L'0');
            ++at;
        }
        parts[part] = value;
        if (at >= text.size() || text[at] != L'.') {
            return true;
        }
        ++at;
    }
    return true;
}

} // namespace

class OSInfoProxy::_Impl {
public:
    _Impl(std::shared_ptr<WinOSVersionAPI> versionApi,
          std::shared_ptr<SystemFileVersionInfo> kernelVersion)
        : versionApi_(std::move(versionApi)), kernelVersion_(std::move(kernelVersion)) {}

    // 0 not done, 1 running, 2 done; other threads wait for the runner.
    void ensureDetected() {
        int expected = 0;
        if (state_.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
            try {
                detected_ = detect();
            } catch (...) {
                detected_ = false;
            }
            state_.store(2, std::memory_order_release);
            return;
        }
        while (state_.load(std::memory_order_acquire) != 2) {
            std::this_thread::yield();
        }
    }

    bool platformIs(uint32_t platformId) {
        OsVersionQuery query;
        query.platformId = platformId;
        return versionApi_->VerifyVersionInfoW(query, kVerPlatformId);
    }

    bool detect() {
        std::wstring productVersion;
        if (!kernelVersion_->load(L"kernel32.dll")) {
            return false;
        }
        kernelVersion_->getString(productVersion, L"ProductVersion");
        if (!splitVersion(productVersion, kernel_)) {
            return false;
        }
        major_ = kernel_[0];
        minor_ = kernel_[1];
        if (platformIs(kPlatform9x)) {
            for (uint32_t minor = 0; minor <= 99; ++minor) {
                OsVersionQuery query;
                query.minorVersion = minor;
                if (versionApi_->VerifyVersionInfoW(query, kVerMinorVersion)) {
                    minor_ = minor;
                    osCode_ = minor == 0 ? 1 : (minor < 90 ? 2 : 5);
                    platformCode_ = 0;
                    return true;
                }
            }
            return false;
        }
        if (!platformIs(kPlatformNT)) {
            return false;
        }
        uint16_t highestServicePack = 0;
        if (major_ <= 4) {
            osCode_ = 3;
            platformCode_ = 0;
        } else if (major_ == 5 && minor_ == 0) {
            osCode_ = 4;
            platformCode_ = 0;
            highestServicePack = 4;
        } else if (major_ == 5) {
            osCode_ = 6;
            platformCode_ = 1;
            highestServicePack = 3;
        } else if (major_ == 6 && minor_ == 0) {
            osCode_ = 7;
            platformCode_ = 1;
            highestServicePack = 2;
        } else if (major_ == 6 && minor_ == 1) {
            osCode_ = 8;
            platformCode_ = 1;
            highestServicePack = 1;
        } else if (major_ == 6 && minor_ == 2) {
            osCode_ = 9;
            platformCode_ = 1;
        } else if (major_ == 6) {
            osCode_ = 10;
            platformCode_ = 1;
        } else if (major_ == 10) {
            osCode_ = 11;
            platformCode_ = 1;
        } else {
            osCode_ = kUnknownSystemCode;
            platformCode_ = 1;
        }
        for (uint16_t pack = highestServicePack; pack >= 1; --pack) {
            OsVersionQuery query;
            query.servicePackMajor = pack;
            if (versionApi_->VerifyVersionInfoW(query, kVerServicePackMajor)) {
                servicePack_ = pack;
                break;
            }
        }
        return true;
    }

    std::shared_ptr<WinOSVersionAPI> versionApi_;
    std::shared_ptr<SystemFileVersionInfo> kernelVersion_;
    std::atomic<int> state_{0};
    bool detected_ = false;
    uint32_t kernel_[4] = {};
    uint32_t major_ = 0;
    uint32_t minor_ = 0;
    uint32_t servicePack_ = 0;
    uint32_t osCode_ = 0;
    uint32_t platformCode_ = kNotDetectedPlatform;
};

OSInfoProxy::OSInfoProxy(std::shared_ptr<WinOSVersionAPI> versionApi,
                         std::shared_ptr<SystemFileVersionInfo> kernelVersion)
    : impl_(std::make_shared<_Impl>(
          versionApi ? std::move(versionApi) : std::make_shared<WinOSVersionAPI>(),
          kernelVersion ? std::move(kernelVersion) : std::make_shared<SystemFileVersionInfo>())) {}

OSInfoProxy::~OSInfoProxy() = default;

uint32_t OSInfoProxy::getOSCode() {
    impl_->ensureDetected();
    return impl_->detected_ ? impl_->osCode_ : 0;
}

uint32_t OSInfoProxy::getPlatformCode() {
    impl_->ensureDetected();
    return impl_->detected_ ? impl_->platformCode_ : kNotDetectedPlatform;
}

bool OSInfoProxy::getVersion(uint32_t& major, uint32_t& minor, uint32_t& servicePack) {
    impl_->ensureDetected();
    if (!impl_->detected_ || impl_->osCode_ == kUnknownSystemCode) {
        return false;
    }
    major = impl_->major_;
    minor = impl_->minor_;
    servicePack = impl_->servicePack_;
    return true;
}

bool OSInfoProxy::getOSCodeAndPlatform(uint32_t& osCode, uint32_t& platformCode) {
    impl_->ensureDetected();
    if (!impl_->detected_) {
        return false;
    }
    osCode = impl_->osCode_;
    platformCode = impl_->platformCode_;
    return true;
}

bool OSInfoProxy::isWow64Process() {
    return currentProcessIsWow64();
}

bool OSInfoProxy::isNTPlatform() {
    return impl_->platformIs(kPlatformNT);
}

bool OSInfoProxy::getKernelVersion(uint32_t& major, uint32_t& minor, uint32_t& build,
                                   uint32_t& revision) {
    impl_->ensureDetected();
    if (!impl_->detected_) {
        return false;
    }
    major = impl_->kernel_[0];
    minor = impl_->kernel_[1];
    build = impl_->kernel_[2];
    revision = impl_->kernel_[3];
    return true;
}

} // namespace Strato::internal
