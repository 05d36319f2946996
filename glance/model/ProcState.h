// The module's one record of what it knows about the machine's protection.
// Plain data, copied by value; a value-initialised record is all zeros and
// false, and the module sets its defaults (see makeDefaultProcState).
#pragma once

#include <cstdint>

namespace Vanta {

struct ProcState {
    uint64_t threatsRemoved;
    uint64_t threatsDetected;
    uint64_t filesScanned;
    uint64_t connectionsBlocked;
    bool threatsUnresolved;
    bool scanOutOfDate;
    int32_t rtsState; // 0 on, 1 off, 2 off while being repaired or starting
    bool rtsStarting;
    bool rtsRepairing;
    int32_t firewallState; // 0 on, 1 off, 2 turned off by the user
    bool datOutOfDate;
    bool updatesOff;
    bool firewallEnabled;
    bool antivirusEnabled;
    bool antivirusActive;
    bool firewallActive;
    int32_t overallState; // 0 protected, 1 at risk, 2 needs attention
};

// The record as the module starts it: the product's own antivirus and
// firewall count as enabled until the product list says otherwise.
inline ProcState makeDefaultProcState() {
    ProcState state{};
    state.firewallEnabled = true;
    state.antivirusEnabled = true;
    return state;
}

} // namespace Vanta
