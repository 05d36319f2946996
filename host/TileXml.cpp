#include "TileXml.h"

#include <algorithm>
#include <cstdint>

namespace Vanta {
namespace {

bool isSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool isNameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'_' || c == L':' || c == L'.' || c > 0x7F;
}

// Appends a code point as UTF-16 units; none for what is no character.
void appendCodePoint(std::wstring& out, uint32_t point) {
    if (point == 0 || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        out.push_back(static_cast<wchar_t>(0xFFFD));
    } else if (point < 0x10000) {
        out.push_back(static_cast<wchar_t>(point));
    } else {
        point -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
    }
}

// A reference at text[0] ('&'); answers its length, 0 when it is none.
size_t decodeReference(std::wstring_view text, std::wstring& out) {
    const size_t end = text.find(L';');
    if (end == std::wstring_view::npos || end > 10) {
        return 0;
    }
    const std::wstring_view body = text.substr(1, end - 1);
    static const std::pair<std::wstring_view, wchar_t> kNamed[] = {
        {L"lt", L'<'}, {L"gt", L'>'}, {L"amp", L'&'}, {L"quot", L'"'}, {L"apos", L'\''}};
    for (const auto& [name, c] : kNamed) {
        if (body == name) {
            out.push_back(c);
            return end + 1;
        }
    }
    if (body.size() < 2 || body[0] != L'#') {
        return 0;
    }
    const bool hex = body[1] == L'x';
    const std::wstring_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) {
        return 0;
    }
    uint32_t point = 0;
    for (const wchar_t c : digits) {
        uint32_t digit = 0;
        if (c >= L'0' && c <= L'9') {
            digit = static_cast<uint32_t>(c - L'0');
        } else if (hex && c >= L'a' && c <= L'f') {
            digit = static_cast<uint32_t>(c - L'a' + 10);
        } else if (hex && c >= L'A' && c <= L'F') {
            digit = static_cast<uint32_t>(c - L'A' + 10);
        } else {
            return 0;
        }
        point = point * (hex ? 16 : 10) + digit;
        if (point > 0x10FFFF) {
            point = 0x110000; // stays out of range, never overflows
        }
    }
    appendCodePoint(out, point);
    return end + 1;
}

std::wstring decoded(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (const size_t length = decodeReference(text.substr(i), out)) {
                i += length - 1;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

class Reader {
public:
    explicit Reader(std::wstring_view xml) : xml_(xml) {}

    std::optional<XmlNode> document(std::wstring& error) {
        skipMisc();
        if (!startsWith(L"<") || startsWith(L"</")) {
            error = L"no root element";
            return std::nullopt;
        }
        XmlNode root;
        if (!element(root, 1)) {
            error = error_;
            return std::nullopt;
        }
        skipMisc();
        if (at_ != xml_.size()) {
            error = L"text after the root element at offset " + std::to_wstring(at_);
            return std::nullopt;
        }
        return root;
    }

private:
    bool startsWith(std::wstring_view prefix) const { return xml_.substr(at_).starts_with(prefix); }

    bool fail(const std::wstring& what) {
        error_ = what + L" at offset " + std::to_wstring(at_);
        return false;
    }

    void skipSpace() {
        while (at_ < xml_.size() && isSpace(xml_[at_])) {
            ++at_;
        }
    }

    // Blanks, comments and processing instructions around the root.
    void skipMisc() {
        for (;;) {
            skipSpace();
            if (startsWith(L"<!--") || startsWith(L"<?")) {
                const std::wstring_view close = startsWith(L"<?") ? L"?>" : L"-->";
                const size_t end = xml_.find(close, at_);
                at_ = end == std::wstring_view::npos ? xml_.size() : end + close.size();
                continue;
            }
            return;
        }
    }

    std::wstring name() {
        const size_t start = at_;
        while (at_ < xml_.size() && isNameChar(xml_[at_])) {
            ++at_;
        }
        return std::wstring(xml_.substr(start, at_ - start));
    }

    bool attributes(XmlNode& node) {
        for (;;) {
            skipSpace();
            if (at_ >= xml_.size()) {
                return fail(L"unterminated tag <" + node.name + L">");
            }
            if (xml_[at_] == L'>' || startsWith(L"/>")) {
                return true;
            }
            std::wstring key = name();
            if (key.empty()) {
                return fail(L"bad attribute in <" + node.name + L">");
            }
            skipSpace();
            if (at_ >= xml_.size() || xml_[at_] != L'=') {
                return fail(L"attribute " + key + L" without a value");
            }
            ++at_;
            skipSpace();
            if (at_ >= xml_.size() || (xml_[at_] != L'"' && xml_[at_] != L'\'')) {
                return fail(L"attribute " + key + L" without a quoted value");
            }
            const wchar_t quote = xml_[at_++];
            const size_t end = xml_.find(quote, at_);
            if (end == std::wstring_view::npos) {
                return fail(L"unterminated value of attribute " + key);
            }
            node.attributes.emplace_back(std::move(key), decoded(xml_.substr(at_, end - at_)));
            at_ = end + 1;
        }
    }

    // At '<' of a start tag.
    bool element(XmlNode& node, size_t depth) {
        if (depth > TileXml::kMaxDepth) {
            return fail(L"elements nested too deep");
        }
        ++at_;
        node.name = name();
        if (node.name.empty()) {
            return fail(L"a tag without a name");
        }
        if (!attributes(node)) {
            return false;
        }
        if (startsWith(L"/>")) {
            at_ += 2;
            return true;
        }
        ++at_; // '>'
        for (;;) {
            if (at_ >= xml_.size()) {
                return fail(L"<" + node.name + L"> is never closed");
            }
            if (startsWith(L"<!--")) {
                const size_t end = xml_.find(L"-->", at_);
                if (end == std::wstring_view::npos) {
                    return fail(L"unterminated comment");
                }
                at_ = end + 3;
            } else if (startsWith(L"</")) {
                at_ += 2;
                const std::wstring closing = name();
                skipSpace();
                if (closing != node.name || at_ >= xml_.size() || xml_[at_] != L'>') {
                    return fail(L"</" + closing + L"> closes <" + node.name + L">");
                }
                ++at_;
                return true;
            } else if (xml_[at_] == L'<') {
                XmlNode child;
                if (!element(child, depth + 1)) {
                    return false;
                }
                node.children.push_back(std::move(child));
            } else {
                const size_t end = std::min(xml_.find(L'<', at_), xml_.size());
                XmlNode text;
                text.text = decoded(xml_.substr(at_, end - at_));
                node.children.push_back(std::move(text));
                at_ = end;
            }
        }
    }

    std::wstring_view xml_;
    size_t at_ = 0;
    std::wstring error_;
};

} // namespace

const std::wstring* XmlNode::attribute(std::wstring_view key) const {
    for (const auto& [attributeName, value] : attributes) {
        if (attributeName == key) {
            return &value;
        }
    }
    return nullptr;
}

std::wstring XmlNode::innerText() const {
    if (isText()) {
        return text;
    }
    std::wstring joined;
    for (const XmlNode& child : children) {
        joined += child.innerText();
    }
    return joined;
}

std::optional<XmlNode> TileXml::parse(std::wstring_view xml, std::wstring& error) {
    return Reader(xml).document(error);
}

} // namespace Vanta
