// Classification of the running system from kernel32's "ProductVersion" and
// the version test, with both collaborators faked.
#include "platform/OSInfoProxy.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace Strato;
using Strato::internal::OSInfoProxy;

// A system of one platform, with a 9x minor version or a service pack.
class FakeVersionApi : public WinOSVersionAPI {
public:
    FakeVersionApi(uint32_t platformId, uint32_t minor, uint16_t servicePack)
        : platformId_(platformId), minor_(minor), servicePack_(servicePack) {}
    bool VerifyVersionInfoW(const OsVersionQuery& query, uint32_t typeMask) override {
        ++calls;
        switch (typeMask) {
        case kVerPlatformId:
            return query.platformId == platformId_;
        case kVerMinorVersion:
            return query.minorVersion == minor_;
        case kVerServicePackMajor:
            return query.servicePackMajor == servicePack_;
        default:
            return false;
        }
    }
    std::atomic<int> calls{0};

private:
    uint32_t platformId_;
    uint32_t minor_;
    uint16_t servicePack_;
};

class FakeKernelVersion : public SystemFileVersionInfo {
public:
    explicit FakeKernelVersion(std::wstring version) : version_(std::move(version)) {}
    bool load(const std::wstring& fileName) override {
        return fileName == L"kernel32.dll" && !version_.empty();
    }
    void getString(std::wstring& out, const std::wstring& name) override {
        out = name == L"ProductVersion" ? version_ : L"";
    }

private:
    std::wstring version_;
};

TEST(OSInfoProxy, ClassifiesTheSystem) {
    struct Case {
        const wchar_t* productVersion;
        uint32_t platformId;
        uint32_t minor9x;
        uint16_t servicePack;
        uint32_t osCode;
        uint32_t platformCode;
        uint32_t reportedServicePack;
        bool versionAnswered;
    };
    const Case cases[] = {
        {L"10.0.19041.1", 2, 0, 0, 11, 1, 0, true},
        {L"6.3.9600.17415", 2, 0, 0, 10, 1, 0, true},
        {L"6.4.1.1", 2, 0, 0, 10, 1, 0, true},
        {L"6.2.9200.16384", 2, 0, 1, 9, 1, 0, true},
        {L"6.1.7601.17514", 2, 0, 1, 8, 1, 1, true},
        {L"6.0.6002.18005", 2, 0, 2, 7, 1, 2, true},
        {L"6.0.6000.0", 2, 0, 3, 7, 1, 0, true},
        {L"5.1.2600.5512", 2, 0, 3, 6, 1, 3, true},
        {L"5.2.3790.0", 2, 0, 0, 6, 1, 0, true},
        {L"5.0.2195.6717", 2, 0, 4, 4, 0, 4, true},
        {L"4.0.1381.0", 2, 0, 6, 3, 0, 0, true},
        {L"11.0.1.1", 2, 0, 0, 12, 1, 0, false},
        {L"4.10.2222", 1, 10, 0, 2, 0, 0, true},
        {L"4.0.950", 1, 0, 0, 1, 0, 0, true},
        {L"4.90.3000", 1, 90, 0, 5, 0, 0, true},
        {L"4.90.3000", 1, 100, 0, 0, 2, 0, false},  // no minor found
        {L"10.0.19041.1", 3, 0, 0, 0, 2, 0, false}, // neither platform
        {L"", 2, 0, 0, 0, 2, 0, false},             // no kernel version
        {L"ten", 2, 0, 0, 0, 2, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "version " << c.productVersion << " platform " << c.platformId);
        OSInfoProxy proxy(std::make_shared<FakeVersionApi>(c.platformId, c.minor9x, c.servicePack),
                          std::make_shared<FakeKernelVersion>(c.productVersion));
        EXPECT_EQ(c.osCode, proxy.getOSCode());
        EXPECT_EQ(c.platformCode, proxy.getPlatformCode());
        uint32_t major = 99, minor = 99, servicePack = 99;
        EXPECT_EQ(c.versionAnswered, proxy.getVersion(major, minor, servicePack));
        if (c.versionAnswered) {
            EXPECT_EQ(c.reportedServicePack, servicePack);
        }
        uint32_t osCode = 99, platformCode = 99;
        EXPECT_EQ(c.osCode != 0, proxy.getOSCodeAndPlatform(osCode, platformCode));
        EXPECT_EQ(c.platformId == 2, proxy.isNTPlatform());
    }
}

TEST(OSInfoProxy, KernelVersionHasUpToFourNumbers) {
    OSInfoProxy proxy(std::make_shared<FakeVersionApi>(2, 0, 0),
                      std::make_shared<FakeKernelVersion>(L"10.0.19041.3636"));
    uint32_t major = 0, minor = 0, build = 0, revision = 0;
    ASSERT_TRUE(proxy.getKernelVersion(major, minor, build, revision));
    EXPECT_EQ(10u, major);
    EXPECT_EQ(0u, minor);
    EXPECT_EQ(19041u, build);
    EXPECT_EQ(3636u, revision);
    uint32_t servicePack = 0;
    ASSERT_TRUE(proxy.getVersion(major, minor, servicePack));
    EXPECT_EQ(10u, major);
}

TEST(OSInfoProxy, DetectsOnceWhenManyThreadsAskAtOnce) {
    auto api = std::make_shared<FakeVersionApi>(2, 0, 1);
    OSInfoProxy proxy(api, std::make_shared<FakeKernelVersion>(L"6.1.7601.1"));
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            if (proxy.getOSCode() != 8 || proxy.getPlatformCode() != 1) {
                ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, wrong.load());
    // One platform test for 9x, one for NT, one service pack probe.
    EXPECT_EQ(3, api->calls.load());
}

} // namespace
