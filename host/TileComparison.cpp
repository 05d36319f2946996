#include "TileComparison.h"

#include "platform/TextCodec.h"

#include <algorithm>

namespace Vanta {
namespace {

std::string describe(const std::wstring& content, const std::wstring& image,
                     const std::wstring& caption, const std::wstring* body) {
    std::string text = content.empty() ? std::string() : toUtf8(content) + ": ";
    text += toUtf8(image) + " \"" + toUtf8(caption) + "\"";
    if (body != nullptr) {
        text += " | \"" + toUtf8(*body) + "\"";
    }
    return text;
}

std::string describeExpected(const TileExpectation& tile) {
    return describe(tile.content, tile.image, tile.caption, tile.body ? &*tile.body : nullptr);
}

// With the body when the expectation names one, so that the two lines differ visibly.
std::string describeActual(const PayloadTile& tile, const TileExpectation* expected,
                           const TileTable& table) {
    if (!tile.problem.empty()) {
        return "unreadable tile: " + toUtf8(tile.problem);
    }
    if (!tile.medium.present) {
        return "a tile without a medium binding";
    }
    const bool withBody = expected != nullptr && expected->body;
    return describe(table.contentShowing(tile.medium.image, tile.medium.caption), tile.medium.image,
                    tile.medium.caption, withBody ? &tile.medium.body : nullptr);
}

} // namespace

bool TileComparison::matches(const TileExpectation& expected, const PayloadTile& actual) {
    return actual.problem.empty() && actual.medium.present &&
           actual.medium.image == expected.image && actual.medium.caption == expected.caption &&
           (!expected.body || *expected.body == actual.medium.body);
}

std::string TileComparison::difference(const std::vector<TileExpectation>& expected,
                                       const Payload& actual, const TileTable& table) {
    if (!actual.problem.empty()) {
        return "the payload is not a tile payload: " + toUtf8(actual.problem) + "\n";
    }
    const auto& tiles = actual.tiles;
    const bool same = expected.size() == tiles.size() &&
                      std::equal(expected.begin(), expected.end(), tiles.begin(), matches);
    if (same) {
        return {};
    }
    std::string text = "tiles differ: expected " + std::to_string(expected.size()) + ", got " +
                       std::to_string(tiles.size()) + "\n";
    for (size_t i = 0; i < std::max(expected.size(), tiles.size()); ++i) {
        const TileExpectation* want = i < expected.size() ? &expected[i] : nullptr;
        const PayloadTile* got = i < tiles.size() ? &tiles[i] : nullptr;
        const std::string number = "  " + std::to_string(i + 1) + "  ";
        const std::string indent(number.size(), ' ');
        if (want != nullptr && got != nullptr && matches(*want, *got)) {
            text += number + "ok        " + describeExpected(*want) + "\n";
            continue;
        }
        text += number + "expected  " + (want ? describeExpected(*want) : "(no tile)") + "\n";
        text +=
            indent + "got       " + (got ? describeActual(*got, want, table) : "(no tile)") + "\n";
    }
    return text;
}

} // namespace Vanta
