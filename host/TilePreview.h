// Draws a payload's tiles as an HTML page for people to look at: each
// binding at its size (medium 150x150, wide 310x150) with its image,
// captions and bodies. What a viewer could not show is flagged on the tile
// and listed at the top: elements outside the tile vocabulary, binding
// templates other than medium and wide, placeholders left in the text
// ("%NAME%") and images that are not there.
#pragma once

#include "PayloadReader.h"

#include <functional>
#include <string>
#include <vector>

namespace Vanta {

class TilePreview {
public:
    // Whether the image of that source lies beside the page.
    using ImageCheck = std::function<bool(const std::wstring& source)>;

    struct Page {
        std::string html;               // UTF-8
        std::vector<std::string> flags; // one line each, UTF-8, in page order
    };

    explicit TilePreview(ImageCheck imageExists) : imageExists_(std::move(imageExists)) {}

    Page page(const Payload& payload, const std::wstring& title) const;

    // The first placeholder in `text`: '%', one or more other characters, '%'.
    // Empty when there is none.
    static std::wstring_view firstPlaceholder(std::wstring_view text);

private:
    ImageCheck imageExists_;
};

} // namespace Vanta
