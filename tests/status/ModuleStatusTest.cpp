#include "status/ExceptionBoundary.h"
#include "status/ModuleException.h"
#include "status/ModuleStatusName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Vanta::moduleStatusName;

TEST(ModuleStatusName, EveryCodeHasItsName) {
    struct Case {
        MODULE_STATUS code;
        const wchar_t* name;
    };
    const Case cases[] = {
        {0x00000000, L"MODULE_STATUS_SUCCESS"},
        {0x80000001, L"MODULE_STATUS_NOT_SUPPORTED"},
        {0x80000002, L"MODULE_STATUS_UNSUCCESSFUL"},
        {0x80000003, L"MODULE_STATUS_BUFFER_TOO_SMALL"},
        {0x80000004, L"MODULE_STATUS_NOT_IMPLEMENTED"},
        {0x80000005, L"MODULE_STATUS_INVALID_BUFFER_SIZE"},
        {0x80000006, L"MODULE_STATUS_DATA_ERROR"},
        {0x80000007, L"MODULE_STATUS_INVALID_HANDLE"},
        {0x80000008, L"MODULE_STATUS_INVALID_PARAMETER"},
        {0x80000009, L"MODULE_STATUS_NO_MEMORY"},
        {0x8000000A, L"MODULE_STATUS_NOT_FOUND"},
        {0x8000000B, L"MODULE_STATUS_ON_DEMAND_ENABLED"},
        {0x8000000C, L"MODULE_STATUS_PROPERTY_NOT_FOUND"},
        {0x8000000D, L"MODULE_STATUS_TIMEOUT"},
        {0x8000000E, L"MODULE_STATUS_NO_SUBSCRIBERS"},
        {0x8000000F, L"MODULE_STATUS_UNKNOWN_EXCEPTION"},
        {0x80000010, L"MODULE_STATUS_DUPLICATE_MODULE"},
        {0x80000011, L"MODULE_STATUS_PARTIAL_SUCCESS"},
        {0x80000012, L"MODULE_STATUS_UWP_APP_NOT_INSTALLED"},
        {0x80000013, L"MODULE_STATUS_APP_SERVICE_UNAVAILABLE"},
        {0x80000014, L"MODULE_STATUS_APP_SERVICE_UNAUTHORIZED"},
        {0x80000015, L"MODULE_STATUS_SESSION_INVALID"},
        {0x800000FF, L"MODULE_STATUS_INVALID_STATE"},
        // Outside the set: the gap after the contiguous range, values
        // without the top bit, and the neighbours of the codes.
        {0x80000016, L"MODULE_STATUS_UNKNOWN"},
        {0x80000000, L"MODULE_STATUS_UNKNOWN"},
        {0x800000FE, L"MODULE_STATUS_UNKNOWN"},
        {0x80000100, L"MODULE_STATUS_UNKNOWN"},
        {0x00000001, L"MODULE_STATUS_UNKNOWN"},
        {0x00000008, L"MODULE_STATUS_UNKNOWN"},
        {0xFFFFFFFF, L"MODULE_STATUS_UNKNOWN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << c.code);
        EXPECT_EQ(std::wstring(c.name), moduleStatusName(c.code));
    }
}

TEST(ModuleException, OwnsItsText) {
    std::string text = "Invalid message bus handle";
    const Vanta::ModuleException thrown(text.c_str());
    text.assign("overwritten");
    const Vanta::ModuleException copy = thrown;
    EXPECT_STREQ("Invalid message bus handle", thrown.what());
    EXPECT_STREQ("Invalid message bus handle", copy.what());
    EXPECT_STREQ("Unknown exception", Vanta::ModuleException().what());
    EXPECT_STREQ("Unknown exception", Vanta::ModuleException(nullptr).what());
}

TEST(ExceptionBoundary, PassesStatusAndTurnsAnyExceptionIntoUnknownException) {
    EXPECT_EQ(MODULE_STATUS_SUCCESS, Vanta::runInExceptionBoundary([] { return 0u; }));
    EXPECT_EQ(MODULE_STATUS_NOT_FOUND,
              Vanta::runInExceptionBoundary([] { return MODULE_STATUS_NOT_FOUND; }));
    EXPECT_EQ(MODULE_STATUS_UNKNOWN_EXCEPTION, Vanta::runInExceptionBoundary([]() -> MODULE_STATUS {
                  throw Vanta::ModuleException("Failed to load library");
              }));
    EXPECT_EQ(MODULE_STATUS_UNKNOWN_EXCEPTION,
              Vanta::runInExceptionBoundary([]() -> MODULE_STATUS { throw 42; }));
    EXPECT_EQ(MODULE_STATUS_UNKNOWN_EXCEPTION,
              Vanta::runInExceptionBoundary([]() -> MODULE_STATUS { throw std::bad_alloc(); }));
}

} // namespace
