#include "model/TileSelection.h"

namespace Vanta {
namespace {

constexpr int32_t kAtRisk = 1;
constexpr int32_t kNeedsAttention = 2;
constexpr int32_t kOff = 1;
constexpr int32_t kOffPending = 2; // rts: repairing or starting; firewall: off by user

void appendAtRiskTiles(const ProcState& state, std::vector<TileContent>& tiles) {
    if (state.rtsState == kOff) {
        tiles.push_back(TileContent::RealTimeScanningOff);
    } else if (!state.antivirusActive) {
        tiles.push_back(TileContent::NoActiveAntivirus);
    } else if (state.scanOutOfDate) {
        tiles.push_back(TileContent::ScanOutOfDate);
    }
    if (state.threatsUnresolved) {
        tiles.push_back(TileContent::ThreatsUnresolved);
    }
    if (state.firewallState == kOff) {
        tiles.push_back(TileContent::FirewallOff);
    } else if (!state.firewallActive) {
        tiles.push_back(TileContent::NoActiveFirewall);
    }
    if (state.updatesOff) {
        tiles.push_back(TileContent::UpdatesOff);
    } else if (state.datOutOfDate) {
        tiles.push_back(TileContent::DatOutOfDate);
    }
    if (tiles.empty()) {
        tiles.push_back(TileContent::UnspecifiedRisk);
    }
}

void appendAttentionTiles(const ProcState& state, std::vector<TileContent>& tiles) {
    if (state.firewallState == kOffPending) {
        tiles.push_back(TileContent::FirewallOffByUser);
    }
    if (state.rtsState == kOffPending) {
        if (state.rtsRepairing) {
            tiles.push_back(TileContent::RealTimeScanningRepairing);
        } else if (state.rtsStarting) {
            tiles.push_back(TileContent::RealTimeScanningStarting);
        }
    }
}

void appendProtectedTiles(const ProcState& state, std::vector<TileContent>& tiles) {
    if (state.antivirusEnabled && state.filesScanned > 0) {
        tiles.push_back(TileContent::FilesScanned);
    }
    if (state.firewallEnabled && state.firewallState != kOffPending &&
        state.connectionsBlocked > 0) {
        tiles.push_back(TileContent::ConnectionsBlocked);
    }
    if (state.antivirusEnabled && state.rtsState != kOffPending && state.threatsRemoved > 0) {
        tiles.push_back(TileContent::ThreatsRemoved);
    }
    tiles.push_back(TileContent::Protected);
}

} // namespace

std::vector<TileContent> selectTileContents(const ProcState& state) {
    std::vector<TileContent> tiles;
    if (state.overallState == kAtRisk) {
        appendAtRiskTiles(state, tiles);
        return tiles;
    }
    if (state.overallState == kNeedsAttention) {
        appendAttentionTiles(state, tiles);
    }
    appendProtectedTiles(state, tiles);
    return tiles;
}

} // namespace Vanta
