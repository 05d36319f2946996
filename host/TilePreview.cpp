#include "TilePreview.h"

#include "platform/TextCodec.h"

namespace Vanta {
namespace {

constexpr const char* kStyle = R"(
body { font-family: "Segoe UI", sans-serif; background: #1f1f1f; color: #eee; margin: 24px; }
h1 { font-size: 20px; font-weight: 600; }
h2 { font-size: 14px; font-weight: 600; margin: 16px 0 6px; }
.summary { margin-bottom: 12px; }
.summary li, .flag { color: #ffd24d; }
.bindings { display: flex; gap: 12px; align-items: flex-start; }
.binding { position: relative; overflow: hidden; background: #2b579a; color: #fff;
           box-sizing: border-box; padding: 8px; display: flex; flex-direction: column;
           justify-content: center; }
.medium { width: 150px; height: 150px; text-align: center; }
.wide { width: 310px; height: 150px; }
.size { position: absolute; bottom: 2px; right: 6px; font-size: 10px; opacity: 0.6; }
.group { display: flex; gap: 8px; align-items: center; }
.subgroup { display: flex; flex-direction: column; justify-content: center; min-width: 0; }
.binding img { max-width: 100%; max-height: 64px; object-fit: contain; }
.medium img { margin: 0 auto 6px; }
.text { overflow-wrap: anywhere; }
.base { font-size: 15px; font-weight: 600; }
.subtitle { font-size: 17px; }
.captionSubtle, .bodySubtle { font-size: 12px; opacity: 0.8; }
.flagged { outline: 3px dashed #ffd24d; outline-offset: -3px; }
.flag { font-size: 11px; background: #000a; padding: 1px 3px; display: block; }
mark.flag { display: inline; color: #000; background: #ffd24d; }
.missing { width: 64px; height: 48px; margin: 0 auto 6px; border: 2px dashed #ff6b6b;
           color: #ff6b6b; font-size: 10px; display: flex; align-items: center;
           justify-content: center; text-align: center; }
pre { white-space: pre-wrap; overflow-wrap: anywhere; font-size: 11px; color: #ccc; }
)";

std::string escaped(std::wstring_view text) {
    std::string out;
    for (const char c : toUtf8(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

class Drawing {
public:
    Drawing(const TilePreview::ImageCheck& imageExists, std::vector<std::string>& flags)
        : imageExists_(imageExists), flags_(flags) {}

    // The tile's bindings side by side; anything else inside it is drawn too, flagged.
    std::string tile(size_t number, const PayloadTile& tile) {
        tile_ = "tile " + std::to_string(number);
        std::string html = "<section class=\"tile\"><h2>Tile " + std::to_string(number) + "</h2>";
        if (!tile.root) {
            html += flag("unreadable XML: " + toUtf8(tile.problem)) + "<pre>" + escaped(tile.xml) +
                    "</pre>";
        } else {
            html += "<div class=\"bindings\">" + element(*tile.root) + "</div>";
        }
        return html + "</section>\n";
    }

private:
    std::string flag(const std::string& what) {
        flags_.push_back(tile_ + ": " + what);
        return "<span class=\"flag\">" + escaped(fromUtf8(what)) + "</span>";
    }

    // Attribute values that still hold a placeholder.
    std::string attributeFlags(const XmlNode& node) {
        std::string html;
        for (const auto& [key, value] : node.attributes) {
            const std::wstring_view placeholder = TilePreview::firstPlaceholder(value);
            if (!placeholder.empty()) {
                html += flag("placeholder " + toUtf8(placeholder) + " in " + toUtf8(node.name) +
                             " " + toUtf8(key));
            }
        }
        return html;
    }

    std::string children(const XmlNode& node) {
        std::string html;
        for (const XmlNode& child : node.children) {
            if (!child.isText()) {
                html += element(child);
            }
        }
        return html;
    }

    std::string element(const XmlNode& node) {
        if (node.name == L"tile" || node.name == L"visual") {
            // They only hold the bindings.
            return attributeFlags(node) + children(node);
        }
        if (node.name == L"binding") {
            return binding(node);
        }
        if (node.name == L"group") {
            return "<div class=\"group\">" + attributeFlags(node) + children(node) + "</div>";
        }
        if (node.name == L"subgroup") {
            const std::wstring* weight = node.attribute(L"hint-weight");
            const std::string flex =
                weight && !weight->empty() &&
                        weight->find_first_not_of(L"0123456789") == std::wstring::npos
                    ? "flex: 0 0 " + toUtf8(*weight) + "%"
                    : "flex: 1 1 0";
            return "<div class=\"subgroup\" style=\"" + flex + "\">" + attributeFlags(node) +
                   children(node) + "</div>";
        }
        if (node.name == L"image") {
            return image(node);
        }
        if (node.name == L"text") {
            return text(node);
        }
        return "<div class=\"flagged\">" + flag("unknown element <" + toUtf8(node.name) + ">") +
               children(node) + "</div>";
    }

    std::string binding(const XmlNode& node) {
        const std::wstring* name = node.attribute(L"template");
        std::string kind = "medium";
        std::string size = "150 x 150";
        std::string flagged;
        if (name && *name == L"TileWide") {
            kind = "wide";
            size = "310 x 150";
        } else if (!name || *name != L"TileMedium") {
            flagged = " flagged";
            size =
                flag("unknown binding template \"" + (name ? toUtf8(*name) : std::string()) + "\"");
        }
        return "<div class=\"binding " + kind + flagged + "\">" + attributeFlags(node) +
               children(node) + "<span class=\"size\">" + size + "</span></div>";
    }

    std::string image(const XmlNode& node) {
        const std::wstring* source = node.attribute(L"src");
        const std::string flags = attributeFlags(node);
        if (!source || source->empty()) {
            return "<div class=\"missing\">" + flags + flag("image without a source") + "</div>";
        }
        if (!flags.empty() || !imageExists_(*source)) {
            return "<div class=\"missing\">" + flags +
                   (flags.empty() ? flag("missing image " + toUtf8(*source)) : "") + "</div>";
        }
        return "<img src=\"" + escaped(*source) + "\" alt=\"\">";
    }

    // Placeholders stay visible as they are, marked.
    std::string text(const XmlNode& node) {
        const std::wstring* style = node.attribute(L"hint-style");
        std::string html = "<div class=\"text";
        if (style != nullptr) {
            html += ' ' + escaped(*style);
        }
        html += "\">" + attributeFlags(node);
        const std::wstring content = node.innerText();
        std::wstring_view rest = content;
        std::string flagsHere;
        while (!rest.empty()) {
            const std::wstring_view placeholder = TilePreview::firstPlaceholder(rest);
            if (placeholder.empty()) {
                html += escaped(rest);
                break;
            }
            const size_t at = static_cast<size_t>(placeholder.data() - rest.data());
            html += escaped(rest.substr(0, at)) + "<mark class=\"flag\">" + escaped(placeholder) +
                    "</mark>";
            flagsHere += flag("placeholder " + toUtf8(placeholder) + " in text");
            rest.remove_prefix(at + placeholder.size());
        }
        return html + flagsHere + "</div>";
    }

    const TilePreview::ImageCheck& imageExists_;
    std::vector<std::string>& flags_;
    std::string tile_;
};

} // namespace

std::wstring_view TilePreview::firstPlaceholder(std::wstring_view text) {
    size_t open = text.find(L'%');
    while (open != std::wstring_view::npos) {
        const size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            break;
        }
        if (close > open + 1) {
            return text.substr(open, close - open + 1);
        }
        open = close; // "%%": the second may open one
    }
    return {};
}

TilePreview::Page TilePreview::page(const Payload& payload, const std::wstring& title) const {
    Page page;
    std::string body;
    if (!payload.problem.empty()) {
        page.flags.push_back("not a tile payload: " + toUtf8(payload.problem));
    } else {
        Drawing drawing(imageExists_, page.flags);
        for (size_t i = 0; i < payload.tiles.size(); ++i) {
            body += drawing.tile(i + 1, payload.tiles[i]);
        }
    }
    std::string summary = "<div class=\"summary\">" + std::to_string(payload.tiles.size()) +
                          (payload.tiles.size() == 1 ? " tile" : " tiles") + ", " +
                          std::to_string(page.flags.size()) +
                          (page.flags.size() == 1 ? " problem" : " problems");
    if (!page.flags.empty()) {
        summary += "<ul>";
        for (const std::string& flag : page.flags) {
            summary += "<li>" + escaped(fromUtf8(flag)) + "</li>";
        }
        summary += "</ul>";
    }
    summary += "</div>\n";
    page.html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                escaped(title) + "</title><style>" + kStyle + "</style></head>\n<body><h1>" +
                escaped(title) + "</h1>\n" + summary + body + "</body></html>\n";
    return page;
}

} // namespace Vanta
