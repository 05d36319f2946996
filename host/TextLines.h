// The lines of a UTF-8 text file as kestrel-host reads its own files
// (scenarios, the tile table): a leading byte order mark is skipped, line
// ends may be LF or CR LF, and every line must be well-formed UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Vanta {

class TextLines {
public:
    // Splits `text`; `lines()[i]` is line i + 1 of the file.
    explicit TextLines(std::string_view text);

    const std::vector<std::string>& lines() const { return lines_; }

    // Without leading and trailing blanks (spaces and tabs).
    static std::string_view trimmed(std::string_view text);
    // The first word (up to a blank) and the rest, trimmed.
    static std::string_view firstWord(std::string_view text, std::string_view& rest);
    // UTF-8 without invalid, overlong or surrogate sequences.
    static bool isUtf8(std::string_view text);
    // A blank line or one whose first non-blank character is '#'.
    static bool isBlankOrComment(std::string_view line);

private:
    std::vector<std::string> lines_;
};

} // namespace Vanta
