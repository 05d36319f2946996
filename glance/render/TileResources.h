// The resources of one kind of tile: its image and the string ids of its
// captions and bodies in the resource library.
#pragma once

#include <cstdint>

namespace Vanta {

enum class TileImage : int32_t {
    Secure = 0,
    AtRisk = 1,
    Neutral = 2,
};

struct TileResources {
    TileImage imageKind;
    uint32_t mediumCaptionId;
    uint32_t mediumBodyId;
    uint32_t wideCaptionId;
    uint32_t wideBodyId;
};

} // namespace Vanta
