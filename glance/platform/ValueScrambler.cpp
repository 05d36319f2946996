#include "platform/ValueScrambler.h"

namespace Vanta {

void scrambleBytes(const uint8_t* in, size_t size, uint8_t* out) noexcept {
    uint8_t key = 0x5C;
    for (size_t i = 0; i < size; ++i) {
        out[i] = static_cast<uint8_t>(in[i] ^ key);
        key = static_cast<uint8_t>(key * 73 + 41);
    }
}

} // namespace Vanta
