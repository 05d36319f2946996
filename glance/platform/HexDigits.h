// Hexadecimal digits as the system reads and writes them.
#pragma once

namespace Vanta {

// The value of one hexadecimal digit of either case; -1 for anything else.
constexpr int hexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

inline constexpr wchar_t kUpperHexDigits[] = L"0123456789ABCDEF";

} // namespace Vanta
