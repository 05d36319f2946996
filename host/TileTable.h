// The scenarios' own knowledge of the tiles: for each tile content name the
// image and medium caption its tile shows, read from a table file
// ("tiles.txt" beside the scenarios). One tile a line, "#" comment lines:
//     CONTENT  IMAGE  MEDIUM CAPTION (the rest of the line)
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Vanta {

class TileTable {
public:
    struct Entry {
        std::wstring content;
        std::wstring image;
        std::wstring caption;
    };

    // None with "label:line: what is wrong" in `error`.
    static std::optional<TileTable> parse(std::string_view text, const std::string& label,
                                          std::string& error);

    // Null for a name the table lacks.
    const Entry* find(const std::wstring& content) const;
    // The content whose tile shows this image and caption; empty when none.
    std::wstring contentShowing(const std::wstring& image, const std::wstring& caption) const;
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

} // namespace Vanta
