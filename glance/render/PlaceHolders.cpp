#include "render/PlaceHolders.h"

#include "logging/Log.h"
#include "render/TileResources.h"

#include <algorithm>
#include <exception>
#include <unordered_map>
#include <utility>

namespace Vanta {

using ETWLogging::kLevelWarning;
using ETWLogging::logIfEnabled;

class PlaceHolders::_Impl {
public:
    _Impl(std::shared_ptr<ResourceDll> resources, std::shared_ptr<CountFormat> counts)
        : resources_(std::move(resources)), counts_(std::move(counts)) {}

    bool getTileXML(std::wstring& xml, TileContent content, const ProcState& state);
    bool replacePlaceHolders(std::wstring& text, TileContent content, const ProcState& state);

    std::wstring getMediumTileCaption(TileContent content) const;
    std::wstring getMediumTileBody(TileContent content) const;
    std::wstring getWideTileCaption(TileContent content) const;
    std::wstring getWideTileBody(TileContent content) const;
    std::wstring getImageSource(TileContent content) const;

    std::wstring getNumThreatsRemoved(const ProcState& state) const;
    std::wstring getNumFiles(const ProcState& state) const;
    std::wstring getNumRiskyConnections(const ProcState& state) const;
    std::wstring getThreatsRemovedText(const ProcState& state, bool wide) const;
    std::wstring getFilesScannedText(const ProcState& state, bool wide) const;
    std::wstring getConnectionsBlockedText(const ProcState& state, bool wide) const;

private:
    std::wstring tileString(TileContent content, uint32_t TileResources::*id,
                            const wchar_t* function) const;
    std::wstring phrase(uint32_t id) const;

    std::shared_ptr<ResourceDll> resources_;
    std::shared_ptr<CountFormat> counts_;
};

namespace {

constexpr const wchar_t* kFile = L"PlaceHolders";
constexpr uint32_t kTemplateId = 101;

using enum TileContent;
using enum TileImage;
using Impl = PlaceHolders::_Impl;

struct TileContentHash {
    size_t operator()(TileContent c) const noexcept { return static_cast<size_t>(c); }
};

// Process-wide tables, built when the module is loaded and only read after.
const std::unordered_map<TileContent, TileResources, TileContentHash> tileTable = {
    {Protected, {Secure, 142, 143, 190, 191}},
    {ThreatsUnresolved, {AtRisk, 144, 145, 203, 202}},
    {ScanOutOfDate, {AtRisk, 146, 147, 201, 200}},
    {FilesScanned, {Secure, 178, 179, 138, 139}},
    {NoActiveAntivirus, {AtRisk, 148, 149, 198, 199}},
    {RealTimeScanningOff, {AtRisk, 150, 151, 196, 197}},
    {RealTimeScanningRepairing, {Neutral, 194, 195, 192, 193}},
    {RealTimeScanningStarting, {Neutral, 152, 153, 112, 113}},
    {ThreatsRemoved, {Secure, 176, 177, 136, 137}},
    {NoActiveFirewall, {AtRisk, 154, 155, 114, 115}},
    {FirewallOff, {AtRisk, 156, 157, 116, 117}},
    {FirewallOffByUser, {Neutral, 158, 159, 118, 119}},
    {ConnectionsBlocked, {Secure, 180, 181, 140, 141}},
    {DatOutOfDate, {AtRisk, 162, 163, 122, 123}},
    {UpdatesOff, {AtRisk, 210, 211, 208, 209}},
    {UnspecifiedRisk, {AtRisk, 206, 207, 204, 205}},
};

struct TileImageHash {
    size_t operator()(TileImage i) const noexcept { return static_cast<size_t>(i); }
};

const std::unordered_map<TileImage, std::wstring, TileImageHash> imageTable = {
    {Secure, L"secure.png"},
    {AtRisk, L"atrisk.png"},
    {Neutral, L"neutral.png"},
};

using ContentOperation = std::wstring (*)(const Impl&, TileContent);
using StateOperation = std::wstring (*)(const Impl&, const ProcState&);

const std::unordered_map<std::wstring, ContentOperation> contentPlaceholders = {
    {L"%TILE_MEDIUM_TEXT_CAPTION%",
     [](const Impl& impl, TileContent c) {
         return impl.getMediumTileCaption(c);
     }},
    {L"%TILE_MEDIUM_TEXT_BODY%",
     [](const Impl& impl, TileContent c) {
         return impl.getMediumTileBody(c);
     }},
    {L"%TILE_WIDE_TEXT_CAPTION%",
     [](const Impl& impl, TileContent c) {
         return impl.getWideTileCaption(c);
     }},
    {L"%TILE_WIDE_TEXT_BODY%",
     [](const Impl& impl, TileContent c) {
         return impl.getWideTileBody(c);
     }},
    {L"%IMAGE_SRC%",
     [](const Impl& impl, TileContent c) {
         return impl.getImageSource(c);
     }},
};

const std::unordered_map<std::wstring, StateOperation> statePlaceholders = {
    {L"%NUM_THREATS_REMOVED%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getNumThreatsRemoved(s);
     }},
    {L"%NUM_FILES%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getNumFiles(s);
     }},
    {L"%NUM_OF_RISKY_CONNECTIONS%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getNumRiskyConnections(s);
     }},
    {L"%THREATS_REMOVED_WIDE%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getThreatsRemovedText(s, true);
     }},
    {L"%THREATS_REMOVED_MEDIUM%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getThreatsRemovedText(s, false);
     }},
    {L"%FILES_SCANNED_WIDE%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getFilesScannedText(s, true);
     }},
    {L"%FILES_SCANNED_MEDIUM%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getFilesScannedText(s, false);
     }},
    {L"%CONNECTIONS_BLOCKED_WIDE%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getConnectionsBlockedText(s, true);
     }},
    {L"%CONNECTIONS_BLOCKED_MEDIUM%",
     [](const Impl& impl, const ProcState& s) {
         return impl.getConnectionsBlockedText(s, false);
     }},
};

// The leftmost placeholder in `text`: a percent sign, one or more characters
// other than a percent sign (line breaks included), a percent sign. Answers
// its start and length, or npos. A plain scan: this runs for every
// replacement of every tile, where a regular expression costs far more.
std::pair<size_t, size_t> findPlaceholder(std::wstring_view text) {
    size_t open = text.find(L'%');
    while (open != std::wstring_view::npos) {
        const size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) {
            break;
        }
        if (close > open + 1) {
            return {open, close - open + 1};
        }
        open = close; // "%%": the second sign may open a placeholder
    }
    return {std::wstring_view::npos, 0};
}

} // namespace

bool Impl::getTileXML(std::wstring& xml, TileContent content, const ProcState& state) {
    if (!resources_->getResourceString(kTemplateId, xml)) {
        logIfEnabled(kLevelWarning, kFile, L"Vanta::PlaceHolders::_Impl::getTileXML", __LINE__,
                     L"Failed to get XML resource String.");
        return false;
    }
    if (!replacePlaceHolders(xml, content, state)) {
        xml.clear();
        return false;
    }
    return true;
}

bool Impl::replacePlaceHolders(std::wstring& text, TileContent content, const ProcState& state) {
    // What is left to scan is rest[scan:]. Text before a match is final; the
    // value is scanned again, so it goes into the room in front of what is
    // left instead of a copy of the whole rest for every replacement.
    constexpr size_t kRoom = 1024;
    std::wstring rest = std::move(text);
    size_t scan = 0;
    text.clear();
    text.reserve(rest.size());
    for (uint32_t replacements = 0;; ++replacements) {
        const std::wstring_view unscanned = std::wstring_view(rest).substr(scan);
        const auto [start, length] = findPlaceholder(unscanned);
        if (start == std::wstring::npos) {
            text += unscanned;
            return true;
        }
        const std::wstring key(unscanned.substr(start, length));
        if (replacements == PlaceHolders::kMaxReplacements) {
            logIfEnabled(
                kLevelWarning, kFile, L"Vanta::PlaceHolders::_Impl::replacePlaceHolders", __LINE__,
                L"Too many placeholder replacements (%lu), stopped at %ls in %ls ",
                PlaceHolders::kMaxReplacements, key.c_str(), std::wstring(unscanned).c_str());
            return false;
        }
        std::wstring value;
        if (const auto c = contentPlaceholders.find(key); c != contentPlaceholders.end()) {
            value = c->second(*this, content);
        } else if (const auto s = statePlaceholders.find(key); s != statePlaceholders.end()) {
            value = s->second(*this, state);
        }
        if (value.empty() || value == key) {
            logIfEnabled(kLevelWarning, kFile, L"Vanta::PlaceHolders::_Impl::replacePlaceHolders",
                         __LINE__, L"Failed to replace placeholder %ls in %ls ", key.c_str(),
                         std::wstring(unscanned).c_str());
            return false;
        }
        text += unscanned.substr(0, start);
        const size_t after = scan + start + length;
        if (value.size() <= after) {
            scan = after - value.size();
            std::copy(value.begin(), value.end(), rest.begin() + static_cast<std::ptrdiff_t>(scan));
        } else {
            std::wstring next(kRoom, L' ');
            next.reserve(kRoom + value.size() + rest.size() - after);
            next += value;
            next.append(rest, after);
            rest = std::move(next);
            scan = kRoom;
        }
    }
}

std::wstring Impl::tileString(TileContent content, uint32_t TileResources::*id,
                              const wchar_t* function) const {
    const auto row = tileTable.find(content);
    if (row == tileTable.end()) {
        return {};
    }
    const uint32_t stringId = row->second.*id;
    std::wstring text;
    if (!resources_->getResourceString(stringId, text)) {
        logIfEnabled(kLevelWarning, kFile, function, __LINE__,
                     L"Failed to get resource string %lu for TileContent: %d", stringId,
                     static_cast<int32_t>(content));
    }
    return text;
}

std::wstring Impl::getMediumTileCaption(TileContent content) const {
    return tileString(content, &TileResources::mediumCaptionId,
                      L"Vanta::PlaceHolders::_Impl::getMediumTileCaption");
}

std::wstring Impl::getMediumTileBody(TileContent content) const {
    return tileString(content, &TileResources::mediumBodyId,
                      L"Vanta::PlaceHolders::_Impl::getMediumTileBody");
}

std::wstring Impl::getWideTileCaption(TileContent content) const {
    return tileString(content, &TileResources::wideCaptionId,
                      L"Vanta::PlaceHolders::_Impl::getWideTileCaption");
}

std::wstring Impl::getWideTileBody(TileContent content) const {
    return tileString(content, &TileResources::wideBodyId,
                      L"Vanta::PlaceHolders::_Impl::getWideTileBody");
}

std::wstring Impl::getImageSource(TileContent content) const {
    const auto row = tileTable.find(content);
    if (row == tileTable.end()) {
        return {};
    }
    const auto image = imageTable.find(row->second.imageKind);
    if (image == imageTable.end()) {
        logIfEnabled(kLevelWarning, kFile, L"Vanta::PlaceHolders::_Impl::getImageSource", __LINE__,
                     L"Failed to get the image source for Tile Id %lu",
                     static_cast<uint32_t>(content));
        return {};
    }
    return image->second;
}

std::wstring Impl::getNumThreatsRemoved(const ProcState& state) const {
    return counts_->format(state.threatsRemoved);
}

std::wstring Impl::getNumFiles(const ProcState& state) const {
    return counts_->format(state.filesScanned);
}

std::wstring Impl::getNumRiskyConnections(const ProcState& state) const {
    return counts_->format(state.connectionsBlocked);
}

std::wstring Impl::phrase(uint32_t id) const {
    // A failed read leaves the text empty; the resource access logged why.
    std::wstring text;
    resources_->getResourceString(id, text);
    return text;
}

std::wstring Impl::getThreatsRemovedText(const ProcState& state, bool wide) const {
    const bool one = state.threatsRemoved == 1;
    return phrase(wide ? (one ? 228 : 230) : (one ? 229 : 231));
}

std::wstring Impl::getFilesScannedText(const ProcState& state, bool wide) const {
    const bool one = state.filesScanned == 1;
    return phrase(wide ? (one ? 224 : 226) : (one ? 225 : 227));
}

std::wstring Impl::getConnectionsBlockedText(const ProcState& state, bool wide) const {
    const bool one = state.connectionsBlocked == 1;
    return phrase(wide ? (one ? 220 : 221) : (one ? 222 : 223));
}

PlaceHolders::PlaceHolders(std::shared_ptr<ResourceDll> resources,
                           std::shared_ptr<CountFormat> counts) {
    if (!resources) {
        resources = std::make_shared<ResourceDll>(ResourceDll::kDefaultModuleName,
                                                  ResourceDll::kDefaultResourceFileName, nullptr);
    }
    if (!counts) {
        counts = std::make_shared<CountFormat>();
    }
    impl_ = std::make_shared<_Impl>(std::move(resources), std::move(counts));
}

PlaceHolders::~PlaceHolders() = default;

bool PlaceHolders::getTileXML(std::wstring& xml, TileContent content, ProcState state) {
    try {
        return impl_->getTileXML(xml, content, state);
    } catch (const std::exception& e) {
        // Out of memory: this tile fails, the others are still rendered.
        xml.clear();
        logIfEnabled(kLevelWarning, kFile, L"Vanta::PlaceHolders::_Impl::getTileXML", __LINE__,
                     L"Failed to render TileContent %d: %hs", static_cast<int32_t>(content),
                     e.what());
        return false;
    }
}

} // namespace Vanta
