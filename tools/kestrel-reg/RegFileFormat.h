// Value data as text: the "Windows Registry Editor Version 5.00" file format
// (parsing a file's text into key blocks, writing values back as lines) and
// the type names and data text of the command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Vanta {

struct RegFileValue {
    std::wstring name; // empty: the key's default value ("@")
    bool remove = false;
    uint32_t type = 0;
    std::vector<uint8_t> data; // as stored: strings as UTF-16LE with terminator
};

struct RegFileKey {
    std::wstring path; // root name and subkey, "HKEY_CURRENT_USER\Software\X"
    bool remove = false;
    std::vector<RegFileValue> values;
    size_t line = 0; // of its [key] line in the file
};

// The header line every file starts with, as export writes it.
inline constexpr std::wstring_view kRegFileHeader = L"Windows Registry Editor Version 5.00";
// The older header, which import reads too.
inline constexpr std::wstring_view kRegEdit4Header = L"REGEDIT4";

// The text of a file's bytes: UTF-16LE with a byte-order mark, else UTF-8
// (with or without its mark). UTF-8 stands in for the 8-bit code page of
// REGEDIT4 files too.
std::wstring decodeRegFileBytes(const std::string& bytes);

// Parses the text of either header into `keys`, data as stored (a REGEDIT4
// file's 8-bit strings in hex(1), hex(2) and hex(7) become UTF-16LE). False
// with `error` set ("line N: ...") when the header is missing or a line
// cannot be read; `warnings` gets what was read but looks amiss (an unknown
// escape), one "line N: ..." each.
bool parseRegFile(std::wstring_view text, std::vector<RegFileKey>& keys, std::wstring& error,
                  std::vector<std::wstring>* warnings = nullptr);

// One value line, CRLF-terminated: strings quoted (with \\ \" \n \r escaped)
// when they are plain terminated text, DWORDs as dword:, everything else as
// hex(N): with long lines continued as the editor does.
std::wstring formatRegValue(const RegFileValue& value);

// REG_SZ, REG_DWORD, ... as `query` shows them and `add /t` takes them.
std::wstring regTypeName(uint32_t type);
// Any letter case; false for a name regTypeName does not give.
bool regTypeFromName(std::wstring_view name, uint32_t& type);

// The data as `query` shows it: strings as text, REG_MULTI_SZ with \0
// between its strings, DWORD and QWORD as 0x hex, anything else as hex digits.
std::wstring displayRegData(const RegFileValue& value);

// The stored bytes of `add /t TYPE /d TEXT`: REG_MULTI_SZ strings separated by
// \0, numbers decimal or 0x hex, REG_BINARY as hex digit pairs. False when
// the text does not fit the type.
bool regDataFromText(uint32_t type, const std::wstring& text, std::vector<uint8_t>& data);

} // namespace Vanta
