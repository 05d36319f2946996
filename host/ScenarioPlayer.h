// Plays one scenario against a module in a life of its own: sets the
// statistics, sends the messages, collects and prints the payloads, and
// checks each expectation. Every scenario starts with the twelve statistics
// values removed, so that none depends on what ran before it.
#pragma once

#include "ModuleLibrary.h"
#include "Scenario.h"
#include "TileTable.h"

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace Vanta {

class ScenarioPlayer {
public:
    struct Settings {
        std::wstring moduleName;
        std::wstring busPath;
        bool selfLoadedBus = false;
        std::chrono::milliseconds timeout{10000};
    };

    // Reports go to `out` (UTF-8).
    ScenarioPlayer(const ModuleLibrary& module, Settings settings, std::ostream& out)
        : module_(module), settings_(std::move(settings)), out_(out) {}

    // True when every step succeeded and every expectation held; `label`
    // names the scenario in reports ("label:line: ...").
    bool play(const Scenario& scenario, const std::string& label, const TileTable& tiles);

    // The last payload that a wait collected, across plays; none before.
    const std::optional<std::wstring>& latestPayload() const { return latest_; }
    // Where it came from: the scenario's label and the payload's number.
    const std::string& latestSource() const { return latestSource_; }
    // The payload that each wait of the last play ended with, in order. Only
    // these are settled: messages on different subscriptions may reach the
    // module in either order, so the payloads within one wait may vary.
    const std::vector<std::wstring>& settledPayloads() const { return settled_; }

private:
    bool playSteps(const Scenario& scenario, const std::string& label, const TileTable& tiles);

    const ModuleLibrary& module_;
    const Settings settings_;
    std::ostream& out_;
    std::optional<std::wstring> latest_;
    std::string latestSource_;
    std::vector<std::wstring> settled_;
};

} // namespace Vanta
