// The byte scrambling of stored configuration values: byte i is XOR'ed with
// k(i), where k(0) = 0x5C and k(i+1) = (k(i) * 73 + 41) mod 256. Applying it
// twice gives the bytes back. It hides values from casual reading; it is not
// encryption.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vanta {

void scrambleBytes(const uint8_t* in, size_t size, uint8_t* out) noexcept;

} // namespace Vanta
