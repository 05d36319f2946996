// Compares the tiles a scenario expects with those of a payload: a tile
// matches when its medium binding shows the expected image and caption (and
// body, when one is expected); the lists must match in length and order.
#pragma once

#include "PayloadReader.h"
#include "Scenario.h"
#include "TileTable.h"

#include <string>
#include <vector>

namespace Vanta {

class TileComparison {
public:
    static bool matches(const TileExpectation& expected, const PayloadTile& actual);

    // Empty when every tile matches; otherwise, for people to read (UTF-8),
    // expected against got, tile by tile. The table names the tiles it knows.
    static std::string difference(const std::vector<TileExpectation>& expected,
                                  const Payload& actual, const TileTable& table);
};

} // namespace Vanta
