#include "RegFileFormat.h"

#include "platform/AsciiCase.h"
#include "platform/ByteOrder.h"
#include "platform/HexDigits.h"
#include "platform/RegistryTypes.h"
#include "platform/TextCodec.h"

#include <sstream>

namespace Vanta {
namespace {

// Lower-case hex digits of `value`, zero-padded to at least `width`.
std::wstring hexDigits(uint32_t value, size_t width = 1) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789abcdef"[value % 16]);
        value /= 16;
    } while (value != 0 || digits.size() < width);
    return digits;
}

using namespace Strato;

constexpr size_t kLineLimit = 80;

std::wstring trim(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == L' ' || text[begin] == L'\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == L' ' || text[end - 1] == L'\t')) {
        --end;
    }
    return std::wstring(text.substr(begin, end - begin));
}

std::wstring atLine(size_t line, const std::wstring& what) {
    return L"line " + std::to_wstring(line) + L": " + what;
}

// The text lines of a file: CR, LF and CRLF each end a line, as the editor
// reads them.
std::vector<std::wstring_view> splitLines(std::wstring_view text) {
    std::vector<std::wstring_view> lines;
    size_t start = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == L'\r' || text[at] == L'\n') {
            lines.push_back(text.substr(start, at - start));
            if (text[at] == L'\r' && at + 1 < text.size() && text[at + 1] == L'\n') {
                ++at;
            }
            start = at + 1;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

// A quoted text starting at `at` (the quote), with the escapes the editor
// reads: \\ \" \n \r \0. Any other escaped character stands for itself, the
// backslash dropped as the editor drops it, with a note in `notes`.
bool readQuoted(std::wstring_view line, size_t& at, std::wstring& out,
                std::vector<std::wstring>& notes) {
    if (at >= line.size() || line[at] != L'"') {
        return false;
    }
    out.clear();
    for (++at; at < line.size(); ++at) {
        const wchar_t c = line[at];
        if (c == L'"') {
            ++at;
            return true;
        }
        if (c != L'\\') {
            out.push_back(c);
            continue;
        }
        if (++at == line.size()) {
            break;
        }
        switch (const wchar_t escaped = line[at]) {
        case L'n':
            out.push_back(L'\n');
            break;
        case L'r':
            out.push_back(L'\r');
            break;
        case L'0':
            out.push_back(L'\0');
            break;
        case L'\\':
        case L'"':
            out.push_back(escaped);
            break;
        default:
            out.push_back(escaped);
            notes.push_back(L"unknown escape \\" + std::wstring(1, escaped) + L", read as " +
                            std::wstring(1, escaped));
        }
    }
    return false;
}

// Bytes as comma-separated hex pairs; the editor takes one comma after the
// last byte too.
bool parseHexBytes(std::wstring_view text, std::vector<uint8_t>& out) {
    out.clear();
    std::wstring list = trim(text);
    if (list.empty()) {
        return true;
    }
    if (list.back() == L',') {
        list.pop_back();
    }
    std::wstring item;
    auto flush = [&]() {
        const std::wstring byte = trim(item);
        item.clear();
        if (byte.empty() || byte.size() > 2) {
            return false;
        }
        int value = 0;
        for (wchar_t c : byte) {
            const int digit = hexDigitValue(c);
            if (digit < 0) {
                return false;
            }
            value = value * 16 + digit;
        }
        out.push_back(static_cast<uint8_t>(value));
        return true;
    };
    for (wchar_t c : list) {
        if (c == L',') {
            if (!flush()) {
                return false;
            }
        } else {
            item.push_back(c);
        }
    }
    return flush();
}

std::vector<uint8_t> stringBytes(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    appendUtf16Le(bytes, text);
    appendLittleEndian<uint16_t>(bytes, 0);
    return bytes;
}

// Data that holds no quoted text ends where a comment starts.
std::wstring_view beforeComment(std::wstring_view text) {
    return text.substr(0, text.find(L';'));
}

bool blankOrComment(std::wstring_view line) {
    const std::wstring text = trim(line);
    return text.empty() || text[0] == L';';
}

// Value data after the "=": -, "text", dword:, hex:, hex(N):, each perhaps
// followed by a comment; hex data already joined over its continuation
// lines. `narrow`: a REGEDIT4 file, whose hex(1), hex(2) and hex(7) hold
// 8-bit text. False with `why` set when it cannot be read.
bool parseData(std::wstring_view data, bool narrow, RegFileValue& value, std::wstring& why,
               std::vector<std::wstring>& notes) {
    why = L"the value data cannot be read";
    if (trim(beforeComment(data)) == L"-") {
        value.remove = true;
        return true;
    }
    if (data.starts_with(L'"')) {
        size_t at = 0;
        std::wstring text;
        if (!readQuoted(data, at, text, notes)) {
            why = L"the string has no closing quote";
            return false;
        }
        if (!blankOrComment(data.substr(at))) {
            why = L"text follows the closing quote";
            return false;
        }
        value.type = kRegSz;
        value.data = stringBytes(text);
        return true;
    }
    if (data.starts_with(L"dword:")) {
        const std::wstring digits = trim(beforeComment(data.substr(6)));
        if (digits.empty() || digits.size() > 8) {
            return false;
        }
        uint32_t number = 0;
        for (wchar_t c : digits) {
            const int digit = hexDigitValue(c);
            if (digit < 0) {
                return false;
            }
            number = number * 16 + static_cast<uint32_t>(digit);
        }
        value.type = kRegDword;
        value.data.clear();
        appendLittleEndian(value.data, number);
        return true;
    }
    size_t bytesAt = 0;
    if (data.starts_with(L"hex:")) {
        value.type = kRegBinary;
        bytesAt = 4;
    } else if (data.starts_with(L"hex(")) {
        const size_t close = data.find(L"):");
        if (close == std::wstring_view::npos || close == 4 || close > 12) {
            return false;
        }
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            const int digit = hexDigitValue(data[i]);
            if (digit < 0) {
                return false;
            }
            type = type * 16 + static_cast<uint32_t>(digit);
        }
        value.type = type;
        bytesAt = close + 2;
    } else {
        return false;
    }
    if (!parseHexBytes(beforeComment(data.substr(bytesAt)), value.data)) {
        return false;
    }
    if (narrow &&
        (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz)) {
        // 8-bit text, read as UTF-8 like the rest of the file.
        const std::wstring text = fromUtf8(std::string(value.data.begin(), value.data.end()));
        value.data.clear();
        appendUtf16Le(value.data, text);
    }
    return true;
}

// The editor's escapes; other characters, tabs and controls included, as
// they are.
std::wstring quote(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            out.push_back(L'\\');
            out.push_back(c);
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else {
            out.push_back(c);
        }
    }
    out.push_back(L'"');
    return out;
}

// Plain text: whole UTF-16 units, one terminator at the end and no other, and
// no unpaired surrogate, which the file's UTF-16 could not carry.
bool plainText(const std::vector<uint8_t>& data, std::wstring& text) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 ||
        data[data.size() - 2] != 0) {
        return false;
    }
    text = utf16LeUnits(data.data(), data.size() - 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
        if (text[i] == L'\0' || low ||
            (high && (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF))) {
            return false;
        }
        i += high ? 1 : 0;
    }
    return true;
}

bool parseNumber(const std::wstring& text, uint64_t limit, uint64_t& number) {
    if (text.empty()) {
        return false;
    }
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const uint64_t base = hex ? 16 : 10;
    number = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        uint64_t digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<uint64_t>(c - L'0');
        } else if (hex && c >= L'a' && c <= L'f') {
            digit = static_cast<uint64_t>(c - L'a' + 10);
        } else if (hex && c >= L'A' && c <= L'F') {
            digit = static_cast<uint64_t>(c - L'A' + 10);
        } else {
            return false;
        }
        if (number > (limit - digit) / base) {
            return false;
        }
        number = number * base + digit;
    }
    return true;
}

} // namespace

std::wstring decodeRegFileBytes(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE) {
        return utf16LeUnits(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
    }
    std::string_view utf8(bytes);
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        utf8.remove_prefix(3);
    }
    return fromUtf8(utf8);
}

bool parseRegFile(std::wstring_view text, std::vector<RegFileKey>& keys, std::wstring& error,
                  std::vector<std::wstring>* warnings) {
    const std::vector<std::wstring_view> lines = splitLines(text);
    std::vector<RegFileKey> parsed;
    std::vector<std::wstring> notes;
    bool headerSeen = false;
    bool narrow = false;
    for (size_t index = 0; index < lines.size(); ++index) {
        const size_t lineNumber = index + 1;
        const std::wstring line = trim(lines[index]);
        if (line.empty() || line[0] == L';') {
            continue;
        }
        if (!headerSeen) {
            if (line != kRegFileHeader && line != kRegEdit4Header) {
                error = atLine(lineNumber, L"the file does not start with \"" +
                                               std::wstring(kRegFileHeader) + L"\" or \"" +
                                               std::wstring(kRegEdit4Header) + L"\"");
                return false;
            }
            headerSeen = true;
            narrow = line == kRegEdit4Header;
            continue;
        }
        if (line[0] == L'[') {
            // As the editor reads it, the name runs to the last ] of the line
            // and anything after it (a comment) is ignored.
            const size_t close = line.rfind(L']');
            if (close == std::wstring::npos) {
                error = atLine(lineNumber, L"a key line needs a closing ]");
                return false;
            }
            RegFileKey key;
            key.line = lineNumber;
            key.remove = line[1] == L'-';
            const size_t start = key.remove ? 2 : 1;
            if (close <= start) {
                error = atLine(lineNumber, L"the key line names no key");
                return false;
            }
            key.path = line.substr(start, close - start);
            parsed.push_back(std::move(key));
            continue;
        }
        if (parsed.empty()) {
            error = atLine(lineNumber, L"a value comes before any key");
            return false;
        }
        RegFileValue value;
        size_t at = 0;
        std::vector<std::wstring> lineNotes;
        if (line[0] == L'@') {
            at = 1;
        } else if (!readQuoted(line, at, value.name, lineNotes)) {
            error = atLine(lineNumber, L"a value name must be @ or a quoted text");
            return false;
        }
        while (at < line.size() && (line[at] == L' ' || line[at] == L'\t')) {
            ++at;
        }
        if (at >= line.size() || line[at] != L'=') {
            error = atLine(lineNumber, L"= expected after the value name");
            return false;
        }
        std::wstring data = trim(std::wstring_view(line).substr(at + 1));
        if (data.starts_with(L"hex")) {
            // Hex data continues over lines that end with a backslash; the
            // editor skips blank and comment lines in between.
            data = trim(beforeComment(data));
            while (!data.empty() && data.back() == L'\\') {
                data.pop_back();
                do {
                    ++index;
                } while (index < lines.size() && blankOrComment(lines[index]));
                if (index == lines.size()) {
                    error = atLine(lineNumber, L"the hex data continues past the end of the file");
                    return false;
                }
                data += trim(beforeComment(lines[index]));
            }
        }
        std::wstring why;
        if (!parseData(data, narrow, value, why, lineNotes)) {
            error = atLine(lineNumber, why);
            return false;
        }
        for (const std::wstring& note : lineNotes) {
            notes.push_back(atLine(lineNumber, note));
        }
        parsed.back().values.push_back(std::move(value));
    }
    if (!headerSeen) {
        error = atLine(1, L"the file does not start with \"" + std::wstring(kRegFileHeader) +
                              L"\" or \"" + std::wstring(kRegEdit4Header) + L"\"");
        return false;
    }
    keys = std::move(parsed);
    if (warnings != nullptr) {
        *warnings = std::move(notes);
    }
    return true;
}

std::wstring formatRegValue(const RegFileValue& value) {
    std::wstring line = value.name.empty() ? std::wstring(L"@") : quote(value.name);
    line += L"=";
    std::wstring text;
    if (value.type == Strato::kRegSz && plainText(value.data, text)) {
        return line + quote(text) + L"\r\n";
    }
    if (value.type == Strato::kRegDword && value.data.size() == 4) {
        const auto number = readLittleEndian<uint32_t>(value.data.data(), value.data.size());
        return line + L"dword:" + hexDigits(number, 8) + L"\r\n";
    }
    if (value.type == Strato::kRegBinary) {
        line += L"hex:";
    } else {
        line += L"hex(" + hexDigits(value.type) + L"):";
    }
    // The editor keeps lines within 80 characters: after a comma that ends
    // past column 76 the data continues on the next line, indented by two.
    std::wstring out;
    for (size_t i = 0; i < value.data.size(); ++i) {
        line.push_back(L"0123456789abcdef"[value.data[i] >> 4]);
        line.push_back(L"0123456789abcdef"[value.data[i] & 0xF]);
        if (i + 1 < value.data.size()) {
            line.push_back(L',');
            if (line.size() > kLineLimit - 4) {
                out += line + L"\\\r\n";
                line = L"  ";
            }
        }
    }
    return out + line + L"\r\n";
}

std::wstring regTypeName(uint32_t type) {
    switch (type) {
    case kRegSz:
        return L"REG_SZ";
    case kRegExpandSz:
        return L"REG_EXPAND_SZ";
    case kRegBinary:
        return L"REG_BINARY";
    case kRegDword:
        return L"REG_DWORD";
    case kRegMultiSz:
        return L"REG_MULTI_SZ";
    case kRegQword:
        return L"REG_QWORD";
    case kRegNone:
        return L"REG_NONE";
    default:
        return L"REG_0x" + hexDigits(type);
    }
}

bool regTypeFromName(std::wstring_view name, uint32_t& type) {
    const std::wstring wanted = asciiUppered<wchar_t>(name);
    for (uint32_t candidate :
         {kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegMultiSz, kRegQword, kRegNone}) {
        if (regTypeName(candidate) == wanted) {
            type = candidate;
            return true;
        }
    }
    return false;
}

std::wstring displayRegData(const RegFileValue& value) {
    std::wostringstream shown;
    const auto& d = value.data;
    if ((value.type == kRegSz || value.type == kRegExpandSz)) {
        std::wstring text = utf16LeUnits(d.data(), d.size());
        return text.substr(0, text.find(L'\0'));
    }
    if (value.type == kRegMultiSz) {
        std::wstring text = utf16LeUnits(d.data(), d.size());
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        std::wstring joined;
        for (wchar_t c : text) {
            joined += c == L'\0' ? std::wstring(L"\\0") : std::wstring(1, c);
        }
        return joined;
    }
    if ((value.type == kRegDword && d.size() == 4) || (value.type == kRegQword && d.size() == 8)) {
        shown << L"0x" << std::hex << readLittleEndian<uint64_t>(d.data(), d.size());
        return shown.str();
    }
    std::wstring hex;
    for (uint8_t byte : d) {
        hex.push_back(L"0123456789ABCDEF"[byte >> 4]);
        hex.push_back(L"0123456789ABCDEF"[byte & 0xF]);
    }
    return hex;
}

bool regDataFromText(uint32_t type, const std::wstring& text, std::vector<uint8_t>& data) {
    data.clear();
    switch (type) {
    case kRegSz:
    case kRegExpandSz:
        appendUtf16Le(data, text);
        appendLittleEndian<uint16_t>(data, 0);
        return true;
    case kRegMultiSz: {
        // Strings separated by the two characters \0.
        std::wstring list;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'0') {
                list.push_back(L'\0');
                ++i;
            } else {
                list.push_back(text[i]);
            }
        }
        if (!list.empty()) {
            list.push_back(L'\0');
        }
        list.push_back(L'\0');
        appendUtf16Le(data, list);
        return true;
    }
    case kRegDword:
    case kRegQword: {
        uint64_t number = 0;
        if (!parseNumber(text, type == kRegDword ? 0xFFFFFFFFull : ~0ull, number)) {
            return false;
        }
        if (type == kRegDword) {
            appendLittleEndian(data, static_cast<uint32_t>(number));
        } else {
            appendLittleEndian(data, number);
        }
        return true;
    }
    case kRegBinary: {
        if (text.size() % 2 != 0) {
            return false;
        }
        for (size_t i = 0; i < text.size(); i += 2) {
            std::wstring pair = L"0x" + text.substr(i, 2);
            uint64_t byte = 0;
            if (!parseNumber(pair, 0xFF, byte)) {
                return false;
            }
            data.push_back(static_cast<uint8_t>(byte));
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace Vanta
