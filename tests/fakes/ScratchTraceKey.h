// A trace configuration key of its own for a test: HKEY_LOCAL_MACHINE
// "SOFTWARE\Talmor.logging\<scratch name>" with its three subkeys and every
// value, a provider GUID no other run uses, removed with its tree after.
#pragma once

#include "fakes/ScratchRegistry.h"
#include "platform/CRegKey.h"
#include "platform/Guid.h"

#include <random>
#include <string>

namespace testfakes {

class ScratchTraceKey {
public:
    ScratchTraceKey() {
        useScratchRegistry();
        std::random_device random;
        provider = {static_cast<uint32_t>(random()),
                    static_cast<uint16_t>(random()),
                    static_cast<uint16_t>(random()),
                    {1, 2, 3, 4, 5, 6, 7, 8}};
        Strato::CRegKey key;
        key.Create(Strato::kHKeyLocalMachine, path().c_str());
        key.SetStringValue(L"Log Path", L"/logs");
        Strato::CRegKey session;
        session.Create(key.handle(), L"Session");
        session.SetGUIDValue(L"Session ID Guid", kSessionId);
        session.SetStringValue(L"Session Name", L"Test session");
        Strato::CRegKey controller;
        controller.Create(key.handle(), L"Controller");
        controller.SetStringValue(L"Controller Path", L"controller.exe");
        controller.SetStringValue(L"Owner Mutex Name", L"Test mutex");
        Strato::CRegKey providerKey;
        providerKey.Create(key.handle(), L"Provider");
        providerKey.SetGUIDValue(L"Provider Guid", provider);
    }
    ~ScratchTraceKey() {
        Strato::CRegKey parent;
        if (parent.Open(Strato::kHKeyLocalMachine, L"SOFTWARE\\Talmor.logging") ==
            Strato::kErrorSuccess) {
            parent.RecurseDeleteKey(name().c_str());
        }
    }
    ScratchTraceKey(const ScratchTraceKey&) = delete;
    ScratchTraceKey& operator=(const ScratchTraceKey&) = delete;

    static std::wstring name() { return scratchName() + L"-trace"; }
    static std::wstring path(const std::wstring& below = {}) {
        std::wstring out = L"SOFTWARE\\Talmor.logging\\" + name();
        return below.empty() ? out : out + L"\\" + below;
    }
    // Sets a 32-bit value in a key below the application key, creating it.
    static void setDword(const std::wstring& below, const wchar_t* value, uint32_t data) {
        Strato::CRegKey key;
        key.Create(Strato::kHKeyLocalMachine, path(below).c_str());
        key.SetDWORDValue(value, data);
    }
    static void removeKey(const std::wstring& below, const wchar_t* child) {
        Strato::CRegKey key;
        if (key.Open(Strato::kHKeyLocalMachine, path(below).c_str()) == Strato::kErrorSuccess) {
            key.RecurseDeleteKey(child);
        }
    }

    static constexpr Strato::Guid kSessionId{
        0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
    Strato::Guid provider;
};

} // namespace testfakes
