// The module's twelve activity counters in the registry, by the names that
// scenarios use: each is the DWORD value "SDSValue" of its own key under
// HKEY_LOCAL_MACHINE "SOFTWARE\Talmor\Zalvo\Settings\Stats\", where the
// module reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vanta {

class StatisticsRegistry {
public:
    // The twelve names, in the module's reading order: five resolved, five
    // detected, "TotalItemScanned", "TotalInboundConnectionBlocked".
    static const std::vector<std::wstring>& names();
    static bool isKnown(const std::wstring& name);
    // The key below HKEY_LOCAL_MACHINE; empty for an unknown name.
    static std::wstring keyPath(const std::wstring& name);

    // Writes the counter, or removes its value when `value` is none (a
    // missing value is no failure). Answers the registry's result code.
    int32_t set(const std::wstring& name, std::optional<uint32_t> value) const;
    // Removes all twelve values; the first failure's code, else 0.
    int32_t clear() const;
};

} // namespace Vanta
