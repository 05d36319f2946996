// Reads a tile payload as the module publishes it: JSON whose
// "viewer_payload"."tiles" array holds one {"xml": ...} per tile, and in
// each tile XML a medium ("TileMedium") and a wide ("TileWide") binding with
// an image and two texts, caption then body.
#pragma once

#include "TileXml.h"

#include <optional>
#include <string>
#include <vector>

namespace Vanta {

// What one binding shows: the first image's source, the first two texts.
struct TileBinding {
    bool present = false;
    std::wstring image;
    std::wstring caption;
    std::wstring body;
};

struct PayloadTile {
    std::wstring xml;
    std::optional<XmlNode> root; // none when the XML cannot be read
    std::wstring problem;        // why, then
    TileBinding medium;
    TileBinding wide;
};

struct Payload {
    std::vector<PayloadTile> tiles;
    std::wstring problem; // not empty when the JSON is not a tile payload
};

class PayloadReader {
public:
    static Payload read(const std::wstring& text);
    // The tiles, one block each, for people to read (UTF-8).
    static std::string describe(const Payload& payload);
};

} // namespace Vanta
