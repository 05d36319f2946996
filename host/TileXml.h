// A small reader of tile XML, enough for what a payload carries: elements,
// attributes in either quote, text, the five named entities and numeric
// character references, comments and a prolog. An '&' that starts no known
// reference is kept as text, since tile texts are not always escaped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vanta {

struct XmlNode {
    // A text node has no name and only `text`.
    std::wstring name;
    std::wstring text;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::vector<XmlNode> children;

    bool isText() const { return name.empty(); }
    // Null when the element lacks the attribute.
    const std::wstring* attribute(std::wstring_view key) const;
    // Every text below this node, joined in document order.
    std::wstring innerText() const;
};

class TileXml {
public:
    // Elements may nest this deep; deeper input is refused, not recursed into.
    static constexpr size_t kMaxDepth = 64;

    // The root element; none with the reason in `error`.
    static std::optional<XmlNode> parse(std::wstring_view xml, std::wstring& error);
};

} // namespace Vanta
