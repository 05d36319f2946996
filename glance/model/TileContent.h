// What one live tile shows. The numeric values appear in log texts and key
// the tile table, so they are fixed.
#pragma once

#include <cstdint>

namespace Vanta {

enum class TileContent : int32_t {
    Protected = 0,
    ThreatsUnresolved = 1,
    ScanOutOfDate = 2,
    FilesScanned = 3,
    NoActiveAntivirus = 4,
    RealTimeScanningOff = 5,
    RealTimeScanningRepairing = 6,
    RealTimeScanningStarting = 7,
    ThreatsRemoved = 8,
    NoActiveFirewall = 9,
    FirewallOff = 10,
    FirewallOffByUser = 11,
    ConnectionsBlocked = 12,
    DatOutOfDate = 13,
    UpdatesOff = 14,
    UnspecifiedRisk = 21,
};

} // namespace Vanta
