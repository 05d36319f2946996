// 32-bit values in an ini file, by section and key, stored scrambled.
//
// The file is text: UTF-8 (a byte-order mark is allowed), or UTF-16LE after
// the mark FF FE; a rewrite keeps its encoding, and a new file is UTF-8.
//   [Section]
//   Key=Value
// Lines starting with ';' or '#' are comments. Section and key names compare
// ignoring ASCII case; blanks around names and values do not count. The first
// occurrence of a section or key is the one used.
//
// A value this reader writes is "~" and eight hex digits: the value's four
// little-endian bytes, scrambled (platform/ValueScrambler.h). A value without
// the "~" reads as a person wrote it: decimal digits, or "0x" and hex digits,
// so that "Severity=1" configures by hand.
#pragma once

#include <cstdint>
#include <string>

namespace Strato {

class CObfuscatedIniReader {
public:
    explicit CObfuscatedIniReader(std::wstring path) : path_(std::move(path)) {}

    // False when the file, the section or the key is missing, or the value is
    // not a 32-bit number in either form.
    bool ReadDword(const std::wstring& section, const std::wstring& key, uint32_t& value) const;
    // Sets the key, adding the section and the key where they are missing.
    // The file is rewritten whole through a new file beside it, so that a
    // reader sees the old text or the new one; false when that fails.
    bool WriteDword(const std::wstring& section, const std::wstring& key, uint32_t value) const;

    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

} // namespace Strato
