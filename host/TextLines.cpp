#include "TextLines.h"

#include "platform/TextCodec.h"

namespace Vanta {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

TextLines::TextLines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines_.emplace_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
}

std::string_view TextLines::trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TextLines::firstWord(std::string_view text, std::string_view& rest) {
    text = trimmed(text);
    size_t end = 0;
    while (end < text.size() && !isBlank(text[end])) {
        ++end;
    }
    rest = trimmed(text.substr(end));
    return text.substr(0, end);
}

bool TextLines::isUtf8(std::string_view text) {
    // The codec replaces every ill-formed sequence, so a round trip changes it.
    return toUtf8(fromUtf8(text)) == text;
}

bool TextLines::isBlankOrComment(std::string_view line) {
    line = trimmed(line);
    return line.empty() || line.front() == '#';
}

} // namespace Vanta
