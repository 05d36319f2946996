// Wide text from fuzz input. Each byte is one code unit (so that seeds and dictionaries stay
// readable ASCII), except that 0xFF takes the next two bytes, little-endian, as one code unit:
// lone surrogates, NULs and every other unit still occur.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzzing {

inline std::wstring wideText(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte == 0xFF && i + 2 < bytes.size()) {
            const auto low = static_cast<uint8_t>(bytes[i + 1]);
            const auto high = static_cast<uint8_t>(bytes[i + 2]);
            text.push_back(static_cast<wchar_t>(low | (high << 8)));
            i += 2;
        } else {
            text.push_back(static_cast<wchar_t>(byte));
        }
    }
    return text;
}

// A piece of the input of random length (a backslash ends it, two stand for one).
inline std::wstring nextText(FuzzedDataProvider& input, size_t maxBytes = 512) {
    return wideText(input.ConsumeRandomLengthString(maxBytes));
}

} // namespace fuzzing
