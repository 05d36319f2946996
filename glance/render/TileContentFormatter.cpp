#include "render/TileContentFormatter.h"

#include "logging/Log.h"
#include "model/JSONParser.h"

#include <cstdint>
#include <exception>
#include <utility>

namespace Vanta {

using ETWLogging::kLevelWarning;
using ETWLogging::logIfEnabled;

TileContentFormatter::TileContentFormatter(std::shared_ptr<PlaceHolders> placeHolders)
    : placeHolders_(placeHolders ? std::move(placeHolders) : std::make_shared<PlaceHolders>()) {}

bool TileContentFormatter::getTilesPayload(const std::vector<TileContent>& tiles, ProcState state,
                                           std::wstring& payload) {
    try {
        JSONParser tileSet;
        if (tiles.empty()) {
            return false;
        }
        bool rendered = false;
        for (const TileContent content : tiles) {
            std::wstring xml;
            if (placeHolders_->getTileXML(xml, content, state)) {
                JSONParser tile;
                tile.setString(L"xml", xml);
                tileSet.appendToArray(L"tiles", tile);
                rendered = true;
            } else {
                logIfEnabled(kLevelWarning, L"TileContentFormatter",
                             L"Vanta::TileContentFormatter::getTilesPayload", __LINE__,
                             L"Skipping creating xml : %ls For TileContent: %d", xml.c_str(),
                             static_cast<int32_t>(content));
            }
        }
        if (!rendered) {
            return false;
        }
        tileSet.setBool(L"clear_existing", true);
        JSONParser outer;
        outer.setObject(L"viewer_payload", tileSet);
        outer.setString(L"viewer_type", L"talmor-uwp-live-tile");
        payload = outer.toString();
        return true;
    } catch (const std::exception&) {
        // Only allocation can fail here; the caller publishes nothing.
        return false;
    }
}

} // namespace Vanta
