#include "model/TileSelection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Vanta::ProcState;
using Vanta::TileContent;
using enum Vanta::TileContent;

struct SelectionCase {
    const char* name;
    std::function<void(ProcState&)> change; // applied to the module's default record
    std::vector<TileContent> expected;
};

void expectSelections(const std::vector<SelectionCase>& cases) {
    for (const SelectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProcState state = Vanta::makeDefaultProcState();
        c.change(state);
        EXPECT_EQ(c.expected, Vanta::selectTileContents(state));
    }
}

TEST(TileSelection, Protected) {
    expectSelections({
        {"fresh record", [](ProcState&) {}, {Protected}},
        {"all counters",
         [](ProcState& s) {
             s.filesScanned = 5;
             s.connectionsBlocked = 3;
             s.threatsRemoved = 2;
         },
         {FilesScanned, ConnectionsBlocked, ThreatsRemoved, Protected}},
        {"antivirus product disabled hides its counters",
         [](ProcState& s) {
             s.antivirusEnabled = false;
             s.filesScanned = 1000;
             s.threatsRemoved = 1;
             s.connectionsBlocked = 1;
         },
         {ConnectionsBlocked, Protected}},
        {"firewall product disabled hides blocked connections",
         [](ProcState& s) {
             s.firewallEnabled = false;
             s.connectionsBlocked = 1;
         },
         {Protected}},
        {"problems are not looked at",
         [](ProcState& s) {
             s.scanOutOfDate = s.threatsUnresolved = s.datOutOfDate = s.updatesOff = true;
             s.rtsState = 1;
             s.firewallState = 1;
         },
         {Protected}},
        {"unknown overall code counts as protected",
         [](ProcState& s) {
             s.overallState = 7;
             s.filesScanned = 1;
         },
         {FilesScanned, Protected}},
    });
}

TEST(TileSelection, AtRisk) {
    expectSelections({
        {"no active products known yet",
         [](ProcState& s) { s.overallState = 1; },
         {NoActiveAntivirus, NoActiveFirewall}},
        {"nothing specific known",
         [](ProcState& s) {
             s.overallState = 1;
             s.antivirusActive = s.firewallActive = true;
         },
         {UnspecifiedRisk}},
        {"first choice of every step",
         [](ProcState& s) {
             s.overallState = 1;
             s.rtsState = 1;
             s.threatsUnresolved = true;
             s.firewallState = 1;
             s.updatesOff = true;
             s.scanOutOfDate = s.datOutOfDate = true;
             s.firewallActive = true;
         },
         {RealTimeScanningOff, ThreatsUnresolved, FirewallOff, UpdatesOff}},
        {"second and third choices",
         [](ProcState& s) {
             s.overallState = 1;
             s.antivirusActive = s.firewallActive = true;
             s.scanOutOfDate = s.datOutOfDate = true;
         },
         {ScanOutOfDate, DatOutOfDate}},
        {"never a secure tile",
         [](ProcState& s) {
             s.overallState = 1;
             s.antivirusActive = s.firewallActive = true;
             s.filesScanned = s.connectionsBlocked = s.threatsRemoved = 9;
             s.rtsState = s.firewallState = 2;
         },
         {UnspecifiedRisk}},
        {"product flags are not looked at",
         [](ProcState& s) {
             s.overallState = 1;
             s.antivirusEnabled = s.firewallEnabled = false;
             s.antivirusActive = s.firewallActive = true;
             s.threatsUnresolved = true;
         },
         {ThreatsUnresolved}},
    });
}

TEST(TileSelection, NeedsAttention) {
    expectSelections({
        {"off codes suppress their counters, repairing wins over starting",
         [](ProcState& s) {
             s.overallState = 2;
             s.firewallState = 2;
             s.rtsState = 2;
             s.rtsRepairing = s.rtsStarting = true;
             s.filesScanned = 5;
             s.connectionsBlocked = 3;
             s.threatsRemoved = 2;
         },
         {FirewallOffByUser, RealTimeScanningRepairing, FilesScanned, Protected}},
        {"starting",
         [](ProcState& s) {
             s.overallState = 2;
             s.rtsState = 2;
             s.rtsStarting = true;
         },
         {RealTimeScanningStarting, Protected}},
        {"real-time code 2 without a reason adds no tile",
         [](ProcState& s) {
             s.overallState = 2;
             s.rtsState = 2;
         },
         {Protected}},
        {"flags without code 2 add no tile",
         [](ProcState& s) {
             s.overallState = 2;
             s.rtsRepairing = true;
             s.firewallState = 1;
             s.connectionsBlocked = 4;
         },
         {ConnectionsBlocked, Protected}},
    });
}

TEST(ProcStateRecord, ValueInitialisedIsZeroAndDefaultsEnableProducts) {
    const ProcState zero{};
    EXPECT_FALSE(zero.firewallEnabled);
    EXPECT_FALSE(zero.antivirusEnabled);
    const ProcState defaults = Vanta::makeDefaultProcState();
    EXPECT_TRUE(defaults.firewallEnabled);
    EXPECT_TRUE(defaults.antivirusEnabled);
    EXPECT_FALSE(defaults.antivirusActive);
    EXPECT_EQ(0, defaults.overallState);
    EXPECT_EQ(0u, defaults.threatsRemoved);
}

} // namespace
