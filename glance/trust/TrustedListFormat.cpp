#include "trust/TrustedListFormat.h"

#include "platform/TextCodec.h"

#include <limits>

namespace Strato {
namespace {

constexpr std::string_view kBlockPrefix = "// SIG // ";
constexpr std::string_view kBlockBegin = "// SIG // Begin signature block";
constexpr std::string_view kBlockEnd = "// SIG // End signature block";

std::string_view trimmed(std::string_view line) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t';
    };
    while (!line.empty() && blank(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && blank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

// Calls `visit(line, offset)` for each line without its end (LF or CRLF).
template <typename Visit> void forEachLine(std::string_view text, Visit&& visit) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!visit(line, start)) {
            return;
        }
        start = next;
    }
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    return c == '/' ? 63 : -1;
}

std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool pad = i >= text.size() - padding;
        const int value = pad ? 0 : base64Value(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        group = group << 6 | static_cast<uint32_t>(value);
        if (i % 4 == 3) {
            bytes.push_back(static_cast<uint8_t>(group >> 16));
            bytes.push_back(static_cast<uint8_t>(group >> 8));
            bytes.push_back(static_cast<uint8_t>(group));
            group = 0;
        }
    }
    bytes.resize(bytes.size() - padding);
    return bytes;
}

std::optional<uint32_t> decimal(std::wstring_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > std::numeric_limits<uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<uint32_t>(value);
}

const std::vector<std::wstring>* section(const ListSections& sections, const wchar_t* name) {
    const auto found = sections.find(name);
    return found == sections.end() ? nullptr : &found->second;
}

} // namespace

std::optional<ListSections> parseTrustedList(std::string_view text) {
    if (startsWith(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    ListSections sections;
    std::vector<std::wstring>* current = nullptr;
    bool valid = true;
    forEachLine(text, [&](std::string_view raw, size_t) {
        const std::string_view line = trimmed(raw);
        if (line.empty() || startsWith(line, "/*") || startsWith(line, "//") ||
            startsWith(line, "*/")) {
            return true;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string_view name = trimmed(line.substr(1, line.size() - 2));
            if (name.empty()) {
                valid = false;
                return false;
            }
            current = &sections[Vanta::fromUtf8(name)];
            return true;
        }
        if (current != nullptr) {
            current->push_back(Vanta::fromUtf8(line));
        }
        return true;
    });
    return valid ? std::optional<ListSections>(std::move(sections)) : std::nullopt;
}

std::optional<TrustRules> rulesFromSections(const ListSections& sections) {
    const std::vector<std::wstring>* version = section(sections, L"VER");
    if (version == nullptr || version->size() != 1) {
        return std::nullopt;
    }
    const std::optional<uint32_t> number = decimal(version->front());
    if (!number) {
        return std::nullopt;
    }
    TrustRules rules;
    rules.version = *number;
    if (const auto* names = section(sections, L"ORG")) {
        rules.names = *names;
    }
    if (const auto* serials = section(sections, L"SER")) {
        rules.serials = *serials;
    }
    if (const auto* thumbprints = section(sections, L"SHA")) {
        for (const std::wstring& line : *thumbprints) {
            if (const auto thumbprint = thumbprintFromHex(line)) {
                rules.thumbprints.push_back(*thumbprint);
            }
        }
    }
    return rules;
}

std::optional<SignedListParts> splitSignedList(const std::vector<uint8_t>& file) {
    const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
    enum class State { Content, Block, Done, Bad } state = State::Content;
    size_t blockStart = 0;
    std::string base64;
    forEachLine(text, [&](std::string_view raw, size_t offset) {
        const std::string_view line = trimmed(raw);
        switch (state) {
        case State::Content:
            if (line == kBlockBegin) {
                state = State::Block;
                blockStart = offset;
            }
            return true;
        case State::Block:
            if (line == kBlockEnd) {
                state = State::Done;
            } else if (startsWith(line, kBlockPrefix)) {
                base64 += trimmed(line.substr(kBlockPrefix.size()));
            } else {
                state = State::Bad;
                return false;
            }
            return true;
        case State::Done:
            if (!line.empty()) {
                state = State::Bad;
                return false;
            }
            return true;
        case State::Bad:
            return false;
        }
        return false;
    });
    if (state != State::Done) {
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> signature = decodeBase64(base64);
    if (!signature) {
        return std::nullopt;
    }
    return SignedListParts{std::vector<uint8_t>(file.begin(), file.begin() + blockStart),
                           std::move(*signature)};
}

} // namespace Strato
