#include "TileTable.h"

#include "TextLines.h"

#include "platform/TextCodec.h"

namespace Vanta {

std::optional<TileTable> TileTable::parse(std::string_view text, const std::string& label,
                                          std::string& error) {
    const TextLines file(text);
    TileTable table;
    for (size_t i = 0; i < file.lines().size(); ++i) {
        const std::string& line = file.lines()[i];
        const auto fail = [&](const std::string& what) {
            error = label + ":" + std::to_string(i + 1) + ": " + what;
            return std::nullopt;
        };
        if (!TextLines::isUtf8(line)) {
            return fail("not UTF-8 text");
        }
        if (TextLines::isBlankOrComment(line)) {
            continue;
        }
        std::string_view rest;
        const std::string_view content = TextLines::firstWord(line, rest);
        const std::string_view image = TextLines::firstWord(rest, rest);
        if (image.empty() || rest.empty()) {
            return fail("a tile needs a content name, an image and a medium caption");
        }
        Entry entry{fromUtf8(content), fromUtf8(image), fromUtf8(rest)};
        if (table.find(entry.content) != nullptr) {
            return fail("tile content \"" + std::string(content) + "\" is listed twice");
        }
        table.entries_.push_back(std::move(entry));
    }
    return table;
}

const TileTable::Entry* TileTable::find(const std::wstring& content) const {
    for (const Entry& entry : entries_) {
        if (entry.content == content) {
            return &entry;
        }
    }
    return nullptr;
}

std::wstring TileTable::contentShowing(const std::wstring& image,
                                       const std::wstring& caption) const {
    for (const Entry& entry : entries_) {
        if (entry.image == image && entry.caption == caption) {
            return entry.content;
        }
    }
    return {};
}

} // namespace Vanta
