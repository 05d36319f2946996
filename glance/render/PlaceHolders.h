// Renders the XML of one live tile: the resource library's template (string
// 101) with its %NAME% placeholders replaced by the tile's texts and image and
// by counts of the protection state. Values are scanned again, so a caption
// may carry a count phrase that carries a number.
#pragma once

#include "model/ProcState.h"
#include "model/TileContent.h"
#include "render/CountFormat.h"
#include "render/ResourceDll.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Vanta {

class PlaceHolders {
public:
    // Replacements allowed in one tile; a resource text whose value leads
    // back to itself reaches it and fails the tile instead of growing forever.
    static constexpr uint32_t kMaxReplacements = 256;

    // An empty `resources` makes the default ResourceDll (which may throw
    // ModuleException); an empty `counts` formats with the user's locale.
    explicit PlaceHolders(std::shared_ptr<ResourceDll> resources = {},
                          std::shared_ptr<CountFormat> counts = {});
    PlaceHolders(const PlaceHolders&) = delete;
    PlaceHolders& operator=(const PlaceHolders&) = delete;
    virtual ~PlaceHolders();

    // True with the finished XML; false with an empty `xml` when the template
    // is missing or a placeholder has no value (logged). Never throws;
    // safe from several threads.
    virtual bool getTileXML(std::wstring& xml, TileContent content, ProcState state);

    class _Impl;

private:
    std::shared_ptr<_Impl> impl_;
};

} // namespace Vanta
