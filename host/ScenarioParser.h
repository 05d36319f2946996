// Reads scenario files. The format is line-based UTF-8, one step a line:
//
//     # a comment line (only whole lines: user data may hold '#')
//     stats NAME=VALUE ...   set statistics counters (VALUE 0..4294967295, "-" removes it)
//     stats clear            remove all twelve counters
//     publish NAME [DATA]    publish a status message on the host's bus handle
//     direct NAME [DATA]     deliver it through the module's DirectMessage
//     wait [COUNT]           wait for COUNT more payloads; without COUNT one for
//                            each publish and direct since the previous wait
//     expect                 the latest payload's tiles, exactly and in order,
//       CONTENT [| BODY]     one a line: a tile content name from the tile table,
//       IMAGE CAPTION [| BODY]   or the medium image and caption; optionally the
//     end                    medium body
//     unchanged              the latest payload is the one before it, byte for byte
//
// DATA is the rest of the line (blanks at either end dropped), sent as it is:
// it need not be JSON. Every message must be collected by a later wait, so
// that which payload an expectation reads never depends on timing.
#pragma once

#include "Scenario.h"
#include "TileTable.h"

#include <optional>
#include <string>
#include <string_view>

namespace Vanta {

class ScenarioParser {
public:
    explicit ScenarioParser(const TileTable& tiles) : tiles_(tiles) {}

    // None with "label:line: what is wrong" in `error`.
    std::optional<Scenario> parse(std::string_view text, const std::string& label,
                                  std::string& error) const;

private:
    const TileTable& tiles_;
};

} // namespace Vanta
