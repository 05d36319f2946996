#include "platform/TextCodec.h"

#include "platform/ByteOrder.h"

#include <cstdint>
#include <vector>

namespace Vanta {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Reads one code point from UTF-16 units at `i`, advancing past it. A unit
// that is not a valid UTF-16 unit (above 0xFFFF on a 32-bit wchar_t) or an
// unpaired surrogate yields U+FFFD.
char32_t nextCodePoint(std::wstring_view text, size_t& i) {
    const char32_t unit =
        static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i++]));
    if (unit > 0xFFFF || isLowSurrogate(unit)) {
        return kReplacement;
    }
    if (!isHighSurrogate(unit)) {
        return unit;
    }
    if (i < text.size()) {
        const char32_t low =
            static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if (isLowSurrogate(low)) {
            ++i;
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return kReplacement;
}

void appendUtf16(std::wstring& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<wchar_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Calls `put` with each UTF-8 byte of `utf16`.
template <typename Put> void encodeUtf8(std::wstring_view utf16, Put put) {
    for (size_t i = 0; i < utf16.size();) {
        const char32_t cp = nextCodePoint(utf16, i);
        if (cp < 0x80) {
            put(static_cast<char>(cp));
        } else if (cp < 0x800) {
            put(static_cast<char>(0xC0 | (cp >> 6)));
            put(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            put(static_cast<char>(0xE0 | (cp >> 12)));
            put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            put(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            put(static_cast<char>(0xF0 | (cp >> 18)));
            put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            put(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

} // namespace

std::string toUtf8(std::wstring_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    encodeUtf8(utf16, [&out](char byte) { out.push_back(byte); });
    return out;
}

size_t toUtf8Into(std::wstring_view utf16, char* out, size_t capacity) {
    size_t length = 0;
    encodeUtf8(utf16, [&](char byte) {
        if (length < capacity) {
            out[length] = byte;
        }
        ++length;
    });
    return length;
}

std::wstring fromUtf8(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i++]);
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            continue;
        }
        // Continuation count and the allowed range of the first continuation
        // byte, which excludes overlong forms, surrogates and values above
        // U+10FFFF.
        int needed = 0;
        uint8_t low = 0x80;
        uint8_t high = 0xBF;
        char32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            cp = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            cp = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            continue;
        }
        bool valid = true;
        for (int k = 0; k < needed; ++k) {
            const auto next = i < utf8.size() ? static_cast<uint8_t>(utf8[i]) : 0;
            if (i >= utf8.size() || next < low || next > high) {
                valid = false; // the offending byte starts the next sequence
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
            ++i;
            low = 0x80;
            high = 0xBF;
        }
        appendUtf16(out, valid ? cp : kReplacement);
    }
    return out;
}

std::string toUtf16LeBytes(std::wstring_view utf16) {
    std::wstring wellFormed;
    wellFormed.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size();) {
        appendUtf16(wellFormed, nextCodePoint(utf16, i));
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(wellFormed.size() * 2);
    appendUtf16Le(bytes, wellFormed);
    return std::string(bytes.begin(), bytes.end());
}

std::wstring fromUtf16LeBytes(std::string_view bytes) {
    std::wstring units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return units;
}

std::wstring fromLatin1(std::string_view latin1) {
    std::wstring units;
    units.reserve(latin1.size());
    for (const char byte : latin1) {
        units += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    }
    return units;
}

} // namespace Vanta
