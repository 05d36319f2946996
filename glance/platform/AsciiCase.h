// ASCII letter case, as Windows compares module, key and resource names: only
// A-Z and a-z change, every other code unit stays as it is.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace Vanta {

template <typename Char> constexpr Char asciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <typename Char> constexpr Char asciiUpper(Char c) {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <typename Char> std::basic_string<Char> asciiLowered(std::basic_string_view<Char> text) {
    std::basic_string<Char> out(text);
    std::transform(out.begin(), out.end(), out.begin(), asciiLower<Char>);
    return out;
}

template <typename Char> std::basic_string<Char> asciiUppered(std::basic_string_view<Char> text) {
    std::basic_string<Char> out(text);
    std::transform(out.begin(), out.end(), out.begin(), asciiUpper<Char>);
    return out;
}

inline bool equalIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return asciiLower(x) == asciiLower(y); });
}

} // namespace Vanta
