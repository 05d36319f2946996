// A GUID with the Windows layout, and its registry text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Strato {

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    friend bool operator==(const Guid&, const Guid&) = default;
};

// The braced upper-case text, 38 characters.
std::wstring formatGuid(const Guid& guid);

// Parses the braced text (hex digits in either case). On failure answers
// false and leaves `out` unchanged.
bool parseGuid(std::wstring_view text, Guid& out);

} // namespace Strato
