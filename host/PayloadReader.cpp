#include "PayloadReader.h"

#include "HostJson.h"

#include "platform/TextCodec.h"

#include <exception>

namespace Vanta {
namespace {

namespace json = kestrel_host_rapidjson;
using Document = json::GenericDocument<json::UTF16<wchar_t>>;
using Value = json::GenericValue<json::UTF16<wchar_t>>;

// Null when `value` is no object or lacks the member (RapidJSON asserts on either).
const Value* member(const Value& value, const wchar_t* name) {
    if (!value.IsObject()) {
        return nullptr;
    }
    const auto found = value.FindMember(name);
    return found == value.MemberEnd() ? nullptr : &found->value;
}

void readBinding(const XmlNode& binding, TileBinding& out) {
    out.present = true;
    // Depth-first, in document order: the first image and the first two texts.
    std::vector<const XmlNode*> pending{&binding};
    size_t texts = 0;
    while (!pending.empty()) {
        const XmlNode* node = pending.back();
        pending.pop_back();
        if (node->name == L"image" && out.image.empty()) {
            if (const std::wstring* src = node->attribute(L"src")) {
                out.image = *src;
            }
        } else if (node->name == L"text") {
            if (texts == 0) {
                out.caption = node->innerText();
            } else if (texts == 1) {
                out.body = node->innerText();
            }
            ++texts;
            continue;
        }
        for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
            pending.push_back(&*child);
        }
    }
}

void collectBindings(const XmlNode& node, PayloadTile& tile, size_t depth) {
    if (depth > TileXml::kMaxDepth) {
        return;
    }
    if (node.name == L"binding") {
        const std::wstring* name = node.attribute(L"template");
        if (name && *name == L"TileMedium" && !tile.medium.present) {
            readBinding(node, tile.medium);
        } else if (name && *name == L"TileWide" && !tile.wide.present) {
            readBinding(node, tile.wide);
        }
        return;
    }
    for (const XmlNode& child : node.children) {
        collectBindings(child, tile, depth + 1);
    }
}

std::string bindingLine(const char* label, const TileBinding& binding) {
    if (!binding.present) {
        return std::string("    ") + label + "(none)\n";
    }
    return std::string("    ") + label + "[" + toUtf8(binding.image) + "] " +
           toUtf8(binding.caption) + " | " + toUtf8(binding.body) + "\n";
}

} // namespace

Payload PayloadReader::read(const std::wstring& text) {
    Payload payload;
    try {
        Document document;
        // Iterative: no nesting of the input can exhaust the stack.
        document.Parse<json::kParseIterativeFlag>(text.c_str());
        if (document.HasParseError()) {
            payload.problem = L"not JSON (error " + std::to_wstring(document.GetParseError()) +
                              L" at offset " + std::to_wstring(document.GetErrorOffset()) + L")";
            return payload;
        }
        const Value* outer = member(document, L"viewer_payload");
        if (outer == nullptr || !outer->IsObject()) {
            payload.problem = L"no \"viewer_payload\" object";
            return payload;
        }
        const Value* tiles = member(*outer, L"tiles");
        if (tiles == nullptr || !tiles->IsArray()) {
            payload.problem = L"no \"viewer_payload\".\"tiles\" array";
            return payload;
        }
        for (const Value& entry : tiles->GetArray()) {
            PayloadTile tile;
            const Value* xml = member(entry, L"xml");
            if (xml == nullptr || !xml->IsString()) {
                tile.problem = L"a tile without an \"xml\" text";
            } else {
                tile.xml.assign(xml->GetString(), xml->GetStringLength());
                tile.root = TileXml::parse(tile.xml, tile.problem);
                if (tile.root) {
                    collectBindings(*tile.root, tile, 0);
                }
            }
            payload.tiles.push_back(std::move(tile));
        }
    } catch (const std::exception& error) {
        payload.tiles.clear();
        payload.problem = L"unreadable payload: " + fromUtf8(error.what());
    }
    return payload;
}

std::string PayloadReader::describe(const Payload& payload) {
    if (!payload.problem.empty()) {
        return "  not a tile payload: " + toUtf8(payload.problem) + "\n";
    }
    std::string text = "  " + std::to_string(payload.tiles.size()) +
                       (payload.tiles.size() == 1 ? " tile\n" : " tiles\n");
    for (size_t i = 0; i < payload.tiles.size(); ++i) {
        const PayloadTile& tile = payload.tiles[i];
        text += "  tile " + std::to_string(i + 1) + "\n";
        if (!tile.problem.empty()) {
            text += "    unreadable XML: " + toUtf8(tile.problem) + "\n";
            continue;
        }
        text += bindingLine("medium: ", tile.medium);
        text += bindingLine("wide:   ", tile.wide);
    }
    return text;
}

} // namespace Vanta
