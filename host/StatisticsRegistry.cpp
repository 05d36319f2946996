#include "StatisticsRegistry.h"

#include "platform/CRegKey.h"

#include <algorithm>

namespace Vanta {
namespace {

constexpr const wchar_t* kValueName = L"SDSValue";
constexpr const wchar_t* kStatsKey = L"SOFTWARE\\Talmor\\Zalvo\\Settings\\Stats\\";
constexpr const wchar_t* kConnectionsBlocked = L"TotalInboundConnectionBlocked";

} // namespace

const std::vector<std::wstring>& StatisticsRegistry::names() {
    static const std::vector<std::wstring> kNames = [] {
        std::vector<std::wstring> built;
        const wchar_t* const kinds[] = {L"RootKits", L"TrackingCookies", L"Trojans",
                                        L"UnwantedProgram", L"Virus"};
        for (const wchar_t* suffix : {L"Resolved", L"Detected"}) {
            for (const wchar_t* kind : kinds) {
                built.push_back(std::wstring(kind) + suffix);
            }
        }
        built.push_back(L"TotalItemScanned");
        built.push_back(kConnectionsBlocked);
        return built;
    }();
    return kNames;
}

bool StatisticsRegistry::isKnown(const std::wstring& name) {
    const auto& all = names();
    return std::find(all.begin(), all.end(), name) != all.end();
}

std::wstring StatisticsRegistry::keyPath(const std::wstring& name) {
    if (!isKnown(name)) {
        return {};
    }
    if (name == kConnectionsBlocked) {
        return std::wstring(kStatsKey) + L"fwmod\\Activity\\" + name;
    }
    return std::wstring(kStatsKey) + L"avmod\\Activity\\ScanReport\\" + name;
}

int32_t StatisticsRegistry::set(const std::wstring& name, std::optional<uint32_t> value) const {
    const std::wstring path = keyPath(name);
    if (path.empty()) {
        return Strato::kErrorInvalidParameter;
    }
    Strato::CRegKey key;
    if (!value) {
        const Strato::RegResult opened = key.Open(Strato::kHKeyLocalMachine, path.c_str());
        if (opened == Strato::kErrorFileNotFound) {
            return Strato::kErrorSuccess;
        }
        if (opened != Strato::kErrorSuccess) {
            return opened;
        }
        const Strato::RegResult removed = key.DeleteValue(kValueName);
        return removed == Strato::kErrorFileNotFound ? Strato::kErrorSuccess : removed;
    }
    const Strato::RegResult created = key.Create(Strato::kHKeyLocalMachine, path.c_str());
    if (created != Strato::kErrorSuccess) {
        return created;
    }
    return key.SetDWORDValue(kValueName, *value);
}

int32_t StatisticsRegistry::clear() const {
    int32_t first = Strato::kErrorSuccess;
    for (const std::wstring& name : names()) {
        const int32_t result = set(name, std::nullopt);
        if (first == Strato::kErrorSuccess) {
            first = result;
        }
    }
    return first;
}

} // namespace Vanta
