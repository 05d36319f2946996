// Extracting one entry of a cabinet file: the FDI functions of Cabinet.dll
// on Windows (loaded by name), libmspack on Linux.
#pragma once

#include <cstdint>
#include <string>

namespace Strato {

// The attribute bits an extracted file keeps from the cabinet.
inline constexpr uint32_t kCabinetKeptAttributes =
    0x01 | 0x02 | 0x04 | 0x20; // read-only, hidden, system, archive

class CabinetAPI {
public:
    virtual ~CabinetAPI() = default;
    // Whether cabinets can be read at all (Cabinet.dll and its functions).
    virtual bool available() const;
    // Extracts the first entry named `entryName` (ASCII case ignored) into the
    // existing file `destination`, overwriting it, and gives it the entry's
    // kept attributes. False when there is no such entry or extraction fails.
    virtual bool extractEntry(const std::wstring& cabinet, const std::wstring& entryName,
                              const std::wstring& destination) const;
};

} // namespace Strato
