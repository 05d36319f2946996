// A status scenario as kestrel-host plays it: statistics to set, messages to
// send, payloads to wait for and the tiles they must hold. Texts are the
// system's text (UTF-16 units); lines are those of the scenario file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vanta {

// One statistics value: set to `value`, or removed when there is none.
struct StatisticSetting {
    std::wstring name;
    std::optional<uint32_t> value;
};

// One tile that an expectation names: by the medium binding's image and
// caption, and optionally its body. `content` is the tile content name when
// the scenario gave one (for messages only; matching uses the texts).
struct TileExpectation {
    std::wstring content;
    std::wstring image;
    std::wstring caption;
    std::optional<std::wstring> body;
};

struct ScenarioStep {
    enum class Kind {
        SetStatistics,   // `statistics`, in file order
        ClearStatistics, // all twelve values removed
        Publish,         // `name`, `data` on the host's bus handle
        Direct,          // `name`, `data` through the module's DirectMessage
        Wait,            // `count` more payloads
        ExpectTiles,     // the latest payload holds exactly `tiles`
        ExpectUnchanged, // the latest payload is the one before it, byte for byte
    };
    Kind kind = Kind::Wait;
    size_t line = 0;
    std::string text; // the step as written (UTF-8), for reports
    std::vector<StatisticSetting> statistics;
    std::wstring name;
    std::wstring data;
    uint32_t count = 0;
    std::vector<TileExpectation> tiles;
};

struct Scenario {
    std::vector<ScenarioStep> steps;
};

} // namespace Vanta
