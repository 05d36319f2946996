#include "platform/CObfuscatedIniReader.h"

#include "platform/AsciiCase.h"
#include "platform/FileOperations.h"
#include "platform/FileSystemPath.h"
#include "platform/HexDigits.h"
#include "platform/PathAPI.h"
#include "platform/PathSeparator.h"
#include "platform/TextCodec.h"
#include "platform/ValueScrambler.h"

#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

namespace Strato {
namespace {

constexpr std::uintmax_t kLargestFile = 1024 * 1024;
constexpr wchar_t kScrambledMark = L'~';
constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

struct IniText {
    std::vector<std::wstring> lines;
    bool utf16 = false;
};

std::optional<IniText> load(const std::wstring& path) {
    const auto bytes = Vanta::readWholeFile(path, kLargestFile);
    if (!bytes) {
        return std::nullopt;
    }
    std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    IniText ini;
    std::wstring text;
    if (raw.starts_with(kUtf16Mark)) {
        ini.utf16 = true;
        text = Vanta::fromUtf16LeBytes(raw.substr(kUtf16Mark.size()));
    } else {
        if (raw.starts_with(kUtf8Mark)) {
            raw.remove_prefix(kUtf8Mark.size());
        }
        text = Vanta::fromUtf8(raw);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        ini.lines.push_back(std::move(line));
        start = end + 1;
    }
    return ini;
}

std::wstring_view trimmed(std::wstring_view text) {
    const auto blank = [](wchar_t c) {
        return c == L' ' || c == L'\t';
    };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Where a key lies: the line of its section (npos: no such section), the
// line after the section's last line, and the key's line (npos: none).
struct Place {
    size_t section = std::wstring::npos;
    size_t sectionEnd = 0;
    size_t key = std::wstring::npos;
};

Place find(const IniText& ini, const std::wstring& section, const std::wstring& key) {
    Place place;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const std::wstring_view line = trimmed(ini.lines[i]);
        if (line.starts_with(L'[') && line.ends_with(L']') && line.size() >= 2) {
            if (place.section != std::wstring::npos) {
                break; // the end of the first section of that name
            }
            if (Vanta::equalIgnoringAsciiCase(trimmed(line.substr(1, line.size() - 2)), section)) {
                place.section = i;
            }
            continue;
        }
        if (place.section == std::wstring::npos) {
            continue;
        }
        if (!line.empty()) {
            place.sectionEnd = i + 1;
        }
        const size_t equals = line.find(L'=');
        if (place.key == std::wstring::npos && equals != std::wstring_view::npos &&
            !line.starts_with(L';') && !line.starts_with(L'#') &&
            Vanta::equalIgnoringAsciiCase(trimmed(line.substr(0, equals)), key)) {
            place.key = i;
        }
    }
    if (place.section != std::wstring::npos && place.sectionEnd == 0) {
        place.sectionEnd = place.section + 1;
    }
    return place;
}

// Digits in base 16 or 10, at most 32 bits.
std::optional<uint32_t> number(std::wstring_view digits, uint32_t base) {
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const wchar_t c : digits) {
        const int digit = Vanta::hexDigitValue(c);
        if (digit < 0 || static_cast<uint32_t>(digit) >= base) {
            return std::nullopt;
        }
        value = value * base + static_cast<uint32_t>(digit);
        if (value > UINT32_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint32_t> parseValue(std::wstring_view text) {
    text = trimmed(text);
    if (text.starts_with(kScrambledMark)) {
        const std::optional<uint32_t> stored =
            text.size() == 9 ? number(text.substr(1), 16) : std::nullopt;
        if (!stored) {
            return std::nullopt;
        }
        // The hex digits spell the scrambled bytes in file order.
        uint8_t bytes[4];
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<uint8_t>(*stored >> (8 * (3 - i)));
        }
        uint8_t plain[4];
        Vanta::scrambleBytes(bytes, 4, plain);
        return static_cast<uint32_t>(plain[0] | plain[1] << 8 | plain[2] << 16 |
                                     static_cast<uint32_t>(plain[3]) << 24);
    }
    if (text.starts_with(L"0x") || text.starts_with(L"0X")) {
        return number(text.substr(2), 16);
    }
    return number(text, 10);
}

std::wstring scrambledText(uint32_t value) {
    const uint8_t plain[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    uint8_t bytes[4];
    Vanta::scrambleBytes(plain, 4, bytes);
    std::wstring text(1, kScrambledMark);
    for (const uint8_t byte : bytes) {
        text += Vanta::kUpperHexDigits[byte >> 4];
        text += Vanta::kUpperHexDigits[byte & 0xF];
    }
    return text;
}

std::wstring folderOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(std::wstring(L"/") + Vanta::kPathSeparator);
    return separator == std::wstring::npos ? std::wstring(L".") : path.substr(0, separator);
}

bool store(const std::wstring& path, const IniText& ini, bool exists) {
    std::wstring text;
    for (const std::wstring& line : ini.lines) {
        text += line;
        text += L"\r\n";
    }
    const std::string bytes =
        ini.utf16 ? std::string(kUtf16Mark) + Vanta::toUtf16LeBytes(text) : Vanta::toUtf8(text);
    const FileOperations files;
    const std::wstring replacement = files.createUniqueFile(folderOf(path), L"ini", L".tmp");
    if (replacement.empty()) {
        return false;
    }
    bool written = false;
    {
        std::ofstream file(Vanta::toFileSystemPath(replacement),
                           std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        written = static_cast<bool>(file);
    }
    if (written &&
        (exists ? files.replaceFile(path, replacement) : files.moveFile(replacement, path))) {
        return true;
    }
    std::error_code ignored;
    std::filesystem::remove(Vanta::toFileSystemPath(replacement), ignored);
    return false;
}

} // namespace

bool CObfuscatedIniReader::ReadDword(const std::wstring& section, const std::wstring& key,
                                     uint32_t& value) const {
    try {
        const std::optional<IniText> ini = load(path_);
        if (!ini) {
            return false;
        }
        const Place place = find(*ini, section, key);
        if (place.key == std::wstring::npos) {
            return false;
        }
        const std::wstring& line = ini->lines[place.key];
        const std::optional<uint32_t> parsed =
            parseValue(std::wstring_view(line).substr(line.find(L'=') + 1));
        if (!parsed) {
            return false;
        }
        value = *parsed;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CObfuscatedIniReader::WriteDword(const std::wstring& section, const std::wstring& key,
                                      uint32_t value) const {
    try {
        std::optional<IniText> ini = load(path_);
        const bool exists = ini.has_value();
        if (!exists) {
            if (Vanta::PathAPI().fileExists(path_)) {
                return false; // there but unreadable: never overwrite it blindly
            }
            ini.emplace();
        }
        const Place place = find(*ini, section, key);
        const std::wstring line = key + L"=" + scrambledText(value);
        if (place.key != std::wstring::npos) {
            ini->lines[place.key] = line;
        } else if (place.section != std::wstring::npos) {
            ini->lines.insert(ini->lines.begin() + static_cast<std::ptrdiff_t>(place.sectionEnd),
                              line);
        } else {
            ini->lines.push_back(L"[" + section + L"]");
            ini->lines.push_back(line);
        }
        return store(path_, *ini, exists);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace Strato
