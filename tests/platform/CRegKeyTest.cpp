// CRegKey against the build's real backend: the Win32 registry (under Wine)
// or the SQLite store on Linux. One table of operations and the result codes
// that the module's callers rely on.
#include "platform/CRegKey.h"
#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
#include "platform/CObfuscatedRegKey.h"
#include "platform/RegistryAPI.h"

#include "fakes/ScratchRegistry.h"
#include "kestrel/ModuleStatus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace Strato;
using testfakes::ScratchKeyTest;

class CRegKeyTest : public ScratchKeyTest {};

// Raw UTF-16LE bytes of `text` without any terminator.
std::vector<uint8_t> utf16Bytes(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    Vanta::appendUtf16Le(bytes, text);
    return bytes;
}

const Guid kGuid{0x1AC14E77, 0x02E7, 0x4E5D, {0xB7, 0x44, 0x2E, 0xB1, 0xAE, 0x51, 0x98, 0xB7}};

TEST_F(CRegKeyTest, OperationsAnswerTheWindowsResultCodes) {
    struct Case {
        const char* what;
        RegResult expected;
        std::function<RegResult(CRegKey&)> run;
    };
    const Case cases[] = {
        {"DWORD round trip", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"d", 0xDEADBEEF));
             uint32_t value = 0;
             const RegResult r = k.QueryDWORDValue(L"d", value);
             EXPECT_EQ(0xDEADBEEFu, value);
             return r;
         }},
        {"QWORD round trip, 8 bytes of type 11", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetQWORDValue(L"q", 0x0123456789ABCDEFull));
             uint32_t type = 0, size = 0;
             EXPECT_EQ(kErrorSuccess, k.QueryValue(L"q", &type, nullptr, &size));
             EXPECT_EQ(kRegQword, type);
             EXPECT_EQ(8u, size);
             uint64_t value = 0;
             const RegResult r = k.QueryQWORDValue(L"q", value);
             EXPECT_EQ(0x0123456789ABCDEFull, value);
             return r;
         }},
        {"string stored with its terminator", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetStringValue(L"s", L"Talmor \u00e9\u20ac"));
             uint32_t type = 0, size = 0;
             EXPECT_EQ(kErrorSuccess, k.QueryValue(L"s", &type, nullptr, &size));
             EXPECT_EQ(kRegSz, type);
             EXPECT_EQ(10u * 2, size);
             std::wstring value;
             const RegResult r = k.QueryStringValue(L"s", value);
             EXPECT_EQ(L"Talmor \u00e9\u20ac", value);
             return r;
         }},
        {"expandable string through a buffer counts its terminator", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetStringValue(L"e", L"%TEMP%\\x", kRegExpandSz));
             wchar_t buffer[32];
             uint32_t chars = 32;
             const RegResult r = k.QueryStringValue(L"e", buffer, &chars);
             EXPECT_EQ(9u, chars);
             EXPECT_EQ(std::wstring(L"%TEMP%\\x"), buffer);
             return r;
         }},
        {"empty string", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetStringValue(L"empty", L""));
             std::wstring value = L"stale";
             const RegResult r = k.QueryStringValue(L"empty", value);
             EXPECT_EQ(L"", value);
             return r;
         }},
        {"string too long for the buffer", kErrorMoreData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetStringValue(L"long", L"abcdef"));
             wchar_t buffer[4];
             uint32_t chars = 4;
             return k.QueryStringValue(L"long", buffer, &chars);
         }},
        {"string stored without its terminator", kErrorInvalidData,
         [](CRegKey& k) {
             // The system adds a terminator that the caller forgot to count
             // when one follows in memory: make sure none does.
             const std::vector<uint8_t> bytes = utf16Bytes(L"abcX");
             EXPECT_EQ(kErrorSuccess, k.SetValue(L"bare", kRegSz, bytes.data(), 6));
             wchar_t buffer[16];
             uint32_t chars = 16;
             return k.QueryStringValue(L"bare", buffer, &chars);
         }},
        {"multi-string counts each terminator and the final empty string", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetMultiStringValue(L"m", L"a\0bc\0"));
             uint32_t size = 0;
             EXPECT_EQ(kErrorSuccess, k.QueryValue(L"m", nullptr, nullptr, &size));
             EXPECT_EQ(6u * 2, size);
             wchar_t buffer[16];
             uint32_t chars = 16;
             const RegResult r = k.QueryMultiStringValue(L"m", buffer, &chars);
             EXPECT_EQ(6u, chars);
             EXPECT_EQ(std::wstring(L"a\0bc\0\0", 6), std::wstring(buffer, chars));
             return r;
         }},
        {"empty multi-string list", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetMultiStringValue(L"none", L""));
             wchar_t buffer[4];
             uint32_t chars = 4;
             const RegResult r = k.QueryMultiStringValue(L"none", buffer, &chars);
             EXPECT_EQ(1u, chars);
             return r;
         }},
        {"multi-string buffer below 2 characters", kErrorInsufficientBuffer,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetMultiStringValue(L"m", L"a\0"));
             wchar_t buffer[1];
             uint32_t chars = 1;
             return k.QueryMultiStringValue(L"m", buffer, &chars);
         }},
        {"multi-string not double-terminated", kErrorInvalidData,
         [](CRegKey& k) {
             const std::vector<uint8_t> bytes = utf16Bytes(std::wstring(L"ab\0", 3));
             EXPECT_EQ(kErrorSuccess, k.SetValue(L"m", kRegMultiSz, bytes.data(), 6));
             wchar_t buffer[16];
             uint32_t chars = 16;
             return k.QueryMultiStringValue(L"m", buffer, &chars);
         }},
        {"multi-string read from a plain string", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetStringValue(L"s", L"x"));
             wchar_t buffer[16];
             uint32_t chars = 16;
             return k.QueryMultiStringValue(L"s", buffer, &chars);
         }},
        {"GUID round trip as braced text", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetGUIDValue(L"g", kGuid));
             std::wstring text;
             EXPECT_EQ(kErrorSuccess, k.QueryStringValue(L"g", text));
             EXPECT_EQ(L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}", text);
             Guid read;
             const RegResult r = k.QueryGUIDValue(L"g", read);
             EXPECT_EQ(kGuid, read);
             return r;
         }},
        {"GUID in lower case", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess,
                       k.SetStringValue(L"g", L"{1ac14e77-02e7-4e5d-b744-2eb1ae5198b7}"));
             Guid read;
             const RegResult r = k.QueryGUIDValue(L"g", read);
             EXPECT_EQ(kGuid, read);
             return r;
         }},
        {"GUID text without braces zeroes the GUID", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess,
                       k.SetStringValue(L"g", L"1AC14E77-02E7-4E5D-B744-2EB1AE5198B7"));
             Guid read = kGuid;
             const RegResult r = k.QueryGUIDValue(L"g", read);
             EXPECT_EQ(Guid{}, read);
             return r;
         }},
        {"braced text that is no GUID", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess,
                       k.SetStringValue(L"g", L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198BX}"));
             Guid read;
             return k.QueryGUIDValue(L"g", read);
         }},
        {"binary round trip", kErrorSuccess,
         [](CRegKey& k) {
             const uint8_t data[] = {0, 1, 0xFE, 0xFF, 0};
             EXPECT_EQ(kErrorSuccess, k.SetBinaryValue(L"b", data, sizeof data));
             uint8_t read[8] = {};
             uint32_t size = sizeof read;
             const RegResult r = k.QueryBinaryValue(L"b", read, &size);
             EXPECT_EQ(sizeof data, size);
             EXPECT_EQ(0, std::memcmp(data, read, sizeof data));
             return r;
         }},
        {"binary too long for the buffer answers its size", kErrorMoreData,
         [](CRegKey& k) {
             const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
             EXPECT_EQ(kErrorSuccess, k.SetBinaryValue(L"b", data, sizeof data));
             uint8_t read[2];
             uint32_t size = sizeof read;
             const RegResult r = k.QueryBinaryValue(L"b", read, &size);
             EXPECT_EQ(6u, size);
             return r;
         }},
        {"missing DWORD leaves the value", kErrorFileNotFound,
         [](CRegKey& k) {
             uint32_t value = 7;
             const RegResult r = k.QueryDWORDValue(L"absent", value);
             EXPECT_EQ(7u, value);
             return r;
         }},
        {"missing string", kErrorFileNotFound,
         [](CRegKey& k) {
             std::wstring value;
             return k.QueryStringValue(L"absent", value);
         }},
        {"DWORD read from a string", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetStringValue(L"s", L"12345678"));
             uint32_t value = 7;
             const RegResult r = k.QueryDWORDValue(L"s", value);
             EXPECT_EQ(7u, value);
             return r;
         }},
        {"DWORD read from a 2-byte binary", kErrorInvalidData,
         [](CRegKey& k) {
             const uint8_t data[2] = {1, 2};
             EXPECT_EQ(kErrorSuccess, k.SetValue(L"short", kRegDword, data, 2));
             uint32_t value = 0;
             return k.QueryDWORDValue(L"short", value);
         }},
        {"QWORD read from a DWORD", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"d", 1));
             uint64_t value = 0;
             return k.QueryQWORDValue(L"d", value);
         }},
        {"binary read from a DWORD", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"d", 1));
             uint8_t read[8];
             uint32_t size = sizeof read;
             return k.QueryBinaryValue(L"d", read, &size);
         }},
        {"string read from a DWORD", kErrorInvalidData,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"d", 1));
             std::wstring value;
             return k.QueryStringValue(L"d", value);
         }},
        {"SetValue without data", kErrorInvalidParameter,
         [](CRegKey& k) {
             return k.SetValue(L"x", kRegBinary, nullptr, 4);
         }},
        {"SetValue of size 0", kErrorInvalidParameter,
         [](CRegKey& k) {
             const uint8_t data[1] = {0};
             return k.SetValue(L"x", kRegBinary, data, 0);
         }},
        {"SetStringValue without text", kErrorInvalidData,
         [](CRegKey& k) {
             return k.SetStringValue(L"x", nullptr);
         }},
        {"value names ignore case", kErrorSuccess,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"MixedCase", 5));
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"MIXEDCASE", 6));
             uint32_t value = 0;
             const RegResult r = k.QueryDWORDValue(L"mixedcase", value);
             EXPECT_EQ(6u, value);
             std::wstring name;
             EXPECT_EQ(kErrorSuccess, k.EnumValue(0, name));
             EXPECT_EQ(L"MixedCase", name);
             EXPECT_EQ(kErrorNoMoreItems, k.EnumValue(1, name));
             return r;
         }},
        {"deleted value is gone", kErrorFileNotFound,
         [](CRegKey& k) {
             EXPECT_EQ(kErrorSuccess, k.SetDWORDValue(L"d", 1));
             EXPECT_EQ(kErrorSuccess, k.DeleteValue(L"D"));
             EXPECT_EQ(kErrorFileNotFound, k.DeleteValue(L"d"));
             uint32_t value = 0;
             return k.QueryDWORDValue(L"d", value);
         }},
        {"key names ignore case", kErrorSuccess,
         [](CRegKey& k) {
             CRegKey child;
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"Sub\\Child"));
             EXPECT_EQ(kErrorSuccess, child.SetDWORDValue(L"v", 3));
             CRegKey again;
             const RegResult r = again.Open(k.handle(), L"SUB\\child", kKeyRead);
             uint32_t value = 0;
             EXPECT_EQ(kErrorSuccess, again.QueryDWORDValue(L"v", value));
             EXPECT_EQ(3u, value);
             return r;
         }},
        {"Create reports a new and an existing key", kErrorSuccess,
         [](CRegKey& k) {
             CRegKey child;
             uint32_t disposition = 0;
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"New", nullptr, 0,
                                                   kKeyRead | kKeyWrite, nullptr, &disposition));
             EXPECT_EQ(kRegCreatedNewKey, disposition);
             return child.Create(k.handle(), L"new", nullptr, 0, kKeyRead | kKeyWrite, nullptr,
                                 &disposition) |
                    static_cast<RegResult>(disposition == kRegOpenedExistingKey ? 0 : 1);
         }},
        {"missing key does not open", kErrorFileNotFound,
         [](CRegKey& k) {
             CRegKey child;
             return child.Open(k.handle(), L"Nowhere", kKeyRead);
         }},
        {"writing through a key opened for reading", kErrorAccessDenied,
         [](CRegKey&) {
             CRegKey readOnly;
             EXPECT_EQ(kErrorSuccess,
                       readOnly.Open(kHKeyCurrentUser, testfakes::scratchPath().c_str(), kKeyRead));
             return readOnly.SetDWORDValue(L"d", 1);
         }},
        {"a key with subkeys is not deleted alone", kErrorAccessDenied,
         [](CRegKey& k) {
             CRegKey child;
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"Parent\\Kid"));
             return k.DeleteSubKey(L"Parent");
         }},
        {"recursive delete removes the tree", kErrorFileNotFound,
         [](CRegKey& k) {
             CRegKey child;
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"Tree\\A\\Deep"));
             EXPECT_EQ(kErrorSuccess, child.SetDWORDValue(L"v", 1));
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"Tree\\B"));
             child.Close();
             EXPECT_EQ(kErrorSuccess, k.RecurseDeleteKey(L"Tree"));
             return child.Open(k.handle(), L"Tree", kKeyRead);
         }},
        {"subkeys enumerate in name order, then 259", kErrorNoMoreItems,
         [](CRegKey& k) {
             CRegKey child;
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"beta"));
             EXPECT_EQ(kErrorSuccess, child.Create(k.handle(), L"Alpha"));
             wchar_t name[64];
             uint32_t chars = 64;
             EXPECT_EQ(kErrorSuccess, k.EnumKey(0, name, &chars));
             EXPECT_EQ(std::wstring(L"Alpha"), name);
             EXPECT_EQ(5u, chars);
             chars = 64;
             EXPECT_EQ(kErrorSuccess, k.EnumKey(1, name, &chars));
             EXPECT_EQ(std::wstring(L"beta"), name);
             chars = 64;
             return k.EnumKey(2, name, &chars);
         }},
        {"a key adopted through detach and attach", kErrorSuccess,
         [](CRegKey& k) {
             CRegKey first;
             EXPECT_EQ(kErrorSuccess, first.Create(k.handle(), L"Adopted"));
             RegKeyHandle handle = first.Detach();
             uint32_t value = 0;
             EXPECT_EQ(kErrorInvalidParameter, first.QueryDWORDValue(L"v", value));
             CRegKey owner;
             owner.Attach(handle);
             EXPECT_EQ(kErrorSuccess, owner.SetDWORDValue(L"v", 9));
             const RegResult r = owner.QueryDWORDValue(L"v", value);
             EXPECT_EQ(9u, value);
             return r;
         }},
        {"a closed key", kErrorInvalidParameter,
         [](CRegKey&) {
             CRegKey closed;
             uint32_t value = 0;
             return closed.QueryDWORDValue(L"d", value);
         }},
    };
    // Each case works in a fresh key of its own.
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRegKey caseKey;
        ASSERT_EQ(kErrorSuccess,
                  caseKey.Create(key.handle(), (L"Case" + std::to_wstring(index++)).c_str()));
        EXPECT_EQ(c.expected, c.run(caseKey));
    }
}

TEST_F(CRegKeyTest, ScrambledKeyReadsBackWhatItWritesAndHidesIt) {
    CObfuscatedRegKey scrambled;
    ASSERT_EQ(kErrorSuccess, scrambled.Open(kHKeyCurrentUser, testfakes::scratchPath().c_str()));
    EXPECT_EQ(kErrorSuccess, scrambled.SetDWORDValue(L"Logging Mechanism", 1));
    EXPECT_EQ(kErrorSuccess, scrambled.SetStringValue(L"text", L"secret"));
    EXPECT_EQ(kErrorSuccess, scrambled.SetMultiStringValue(L"list", L"a\0b\0"));

    uint32_t mechanism = 0;
    EXPECT_EQ(kErrorSuccess, scrambled.QueryDWORDValue(L"Logging Mechanism", mechanism));
    EXPECT_EQ(1u, mechanism);
    std::wstring text;
    EXPECT_EQ(kErrorSuccess, scrambled.QueryStringValue(L"text", text));
    EXPECT_EQ(L"secret", text);
    wchar_t list[8];
    uint32_t chars = 8;
    EXPECT_EQ(kErrorSuccess, scrambled.QueryMultiStringValue(L"list", list, &chars));
    EXPECT_EQ(std::wstring(L"a\0b\0\0", 5), std::wstring(list, chars));
    wchar_t small[2];
    chars = 2;
    EXPECT_EQ(kErrorMoreData, scrambled.QueryStringValue(L"text", small, &chars));

    // A plain reader sees neither the type nor the text.
    uint32_t type = 0;
    uint8_t stored[64];
    uint32_t size = sizeof stored;
    ASSERT_EQ(kErrorSuccess, key.QueryValue(L"text", &type, stored, &size));
    EXPECT_EQ(kRegBinary, type);
    EXPECT_EQ(std::wstring::npos,
              std::string(reinterpret_cast<char*>(stored), size).find("s\0e\0c", 0, 5));
    EXPECT_EQ(kErrorInvalidData, key.QueryDWORDValue(L"Logging Mechanism", mechanism));

    // A value written in the clear is not accepted as scrambled data.
    EXPECT_EQ(kErrorSuccess, key.SetDWORDValue(L"plain", 1));
    EXPECT_EQ(kErrorInvalidData, scrambled.QueryDWORDValue(L"plain", mechanism));
    EXPECT_EQ(kErrorFileNotFound, scrambled.QueryDWORDValue(L"absent", mechanism));
}

TEST_F(CRegKeyTest, RegistryApiReadsUnderLocalMachineAndFoldsFailures) {
    const std::wstring path = testfakes::scratchPath();
    CRegKey machine;
    ASSERT_EQ(kErrorSuccess, machine.Create(kHKeyLocalMachine, path.c_str()));
    ASSERT_EQ(kErrorSuccess, machine.SetDWORDValue(L"SDSValue", 42));
    ASSERT_EQ(kErrorSuccess, machine.SetStringValue(L"Install Dir", L"C:\\Kestrel"));
    ASSERT_EQ(kErrorSuccess, machine.SetStringValue(L"Long", std::wstring(300, L'x').c_str()));

    Vanta::RegistryAPI registry;
    uint32_t number = 0;
    EXPECT_EQ(MODULE_STATUS_SUCCESS, registry.getDwordValue(path, L"SDSValue", number));
    EXPECT_EQ(42u, number);
    std::wstring text;
    EXPECT_EQ(MODULE_STATUS_SUCCESS,
              registry.getStringValue(Vanta::asciiLowered<wchar_t>(path), L"Install Dir", text));
    EXPECT_EQ(L"C:\\Kestrel", text);

    number = 5;
    text = L"kept";
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, registry.getDwordValue(path, L"Install Dir", number));
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL,
              registry.getDwordValue(path + L"\\Missing", L"SDSValue", number));
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, registry.getStringValue(path, L"Long", text));
    EXPECT_EQ(MODULE_STATUS_UNSUCCESSFUL, registry.getStringValue(path, L"Absent", text));
    EXPECT_EQ(5u, number);
    EXPECT_EQ(L"kept", text);
}

} // namespace
