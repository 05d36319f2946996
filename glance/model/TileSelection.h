// Chooses the ordered tile contents for one protection state.
#pragma once

#include "model/ProcState.h"
#include "model/TileContent.h"

#include <vector>

namespace Vanta {

// Never empty. An at-risk state lists only problems (at worst
// UnspecifiedRisk); every other state ends with Protected. Pure.
std::vector<TileContent> selectTileContents(const ProcState& state);

} // namespace Vanta
