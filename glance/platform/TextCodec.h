// Conversions between the system's text (UTF-16 code units held in wchar_t on
// every build) and byte encodings. Never routes text through the C library's
// locale conversions, which read wchar_t as UTF-32 on Linux.
#pragma once

#include <string>
#include <string_view>

namespace Vanta {

// UTF-16 code units to UTF-8. Surrogate pairs become one 4-byte sequence;
// unpaired surrogates and units above 0xFFFF become U+FFFD.
std::string toUtf8(std::wstring_view utf16);
// The same bytes written into `out` without allocating; answers the length of
// the whole UTF-8 text. When that exceeds `capacity` the buffer holds only its
// first `capacity` bytes and the caller must convert elsewhere.
size_t toUtf8Into(std::wstring_view utf16, char* out, size_t capacity);

// UTF-8 to UTF-16 code units. Invalid, overlong or truncated sequences and
// encoded surrogates become U+FFFD (one per maximal invalid subpart).
std::wstring fromUtf8(std::string_view utf8);
// UTF-16LE bytes, two per unit; an odd last byte is dropped.
std::wstring fromUtf16LeBytes(std::string_view bytes);
// Latin-1 bytes, each one code unit of the same value.
std::wstring fromLatin1(std::string_view latin1);

// UTF-16 code units to UTF-16LE bytes, two per unit, unpaired surrogates
// replaced by U+FFFD so that the bytes are always well-formed.
std::string toUtf16LeBytes(std::wstring_view utf16);

} // namespace Vanta
