// Little-endian bytes as the registry stores them and registry files write
// them: numbers of fixed width, and UTF-16 text as two bytes per code unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Vanta {

// Appends `value` as sizeof(T) little-endian bytes.
template <typename T> void appendLittleEndian(std::vector<uint8_t>& bytes, T value) {
    static_assert(std::is_unsigned_v<T>);
    for (size_t i = 0; i < sizeof(T); ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// Reads min(size, sizeof(T)) little-endian bytes; missing high bytes are zero.
template <typename T> T readLittleEndian(const uint8_t* data, size_t size) {
    static_assert(std::is_unsigned_v<T>);
    T value = 0;
    for (size_t i = size < sizeof(T) ? size : sizeof(T); i > 0; --i) {
        value = static_cast<T>((value << 8) | data[i - 1]);
    }
    return value;
}

// Appends each UTF-16 code unit as two bytes, unchanged (unpaired surrogates
// included): registry data keeps whatever text it was given.
inline void appendUtf16Le(std::vector<uint8_t>& bytes, std::wstring_view units) {
    for (const wchar_t unit : units) {
        appendLittleEndian(bytes, static_cast<uint16_t>(unit));
    }
}

// The code units of UTF-16LE bytes; an odd last byte is ignored.
inline std::wstring utf16LeUnits(const uint8_t* data, size_t size) {
    std::wstring units;
    units.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<wchar_t>(readLittleEndian<uint16_t>(data + i, 2)));
    }
    return units;
}

} // namespace Vanta
