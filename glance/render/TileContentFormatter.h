// Turns the ordered tile contents of one protection state into the payload
// text that the live-tile viewer reads:
// {"viewer_payload":{"tiles":[{"xml":...},...],"clear_existing":true},
//  "viewer_type":"talmor-uwp-live-tile"}
#pragma once

#include "model/ProcState.h"
#include "model/TileContent.h"
#include "render/PlaceHolders.h"

#include <memory>
#include <string>
#include <vector>

namespace Vanta {

class TileContentFormatter {
public:
    // An empty `placeHolders` makes the default one over the default resource
    // library, whose ModuleException propagates.
    explicit TileContentFormatter(std::shared_ptr<PlaceHolders> placeHolders = {});
    TileContentFormatter(const TileContentFormatter&) = delete;
    TileContentFormatter& operator=(const TileContentFormatter&) = delete;
    virtual ~TileContentFormatter() = default;

    // One tile per entry, in order; a tile that cannot be rendered is skipped
    // (logged). False, with `payload` unchanged, when the list is empty or no
    // tile was rendered. Never throws.
    virtual bool getTilesPayload(const std::vector<TileContent>& tiles, ProcState state,
                                 std::wstring& payload);

private:
    std::shared_ptr<PlaceHolders> placeHolders_;
};

} // namespace Vanta
