// The tile preview: bindings drawn at their sizes with images and texts, and
// every problem a viewer would stumble over flagged on the tile and listed.
#include "TilePreview.h"

#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Vanta;

namespace {

// One tile with this XML, in the payload's JSON.
std::wstring payloadWith(const std::wstring& xml) {
    std::wstring escaped;
    for (const wchar_t c : xml) {
        if (c == L'"' || c == L'\\') {
            escaped.push_back(L'\\');
        }
        escaped.push_back(c);
    }
    return L"{\"viewer_payload\":{\"tiles\":[{\"xml\":\"" + escaped + L"\"}]}}";
}

std::wstring tileWith(const std::wstring& medium) {
    return L"<tile><visual><binding template=\"TileMedium\">" + medium +
           L"</binding><binding template=\"TileWide\"><group><subgroup hint-weight=\"24\">"
           L"<image src=\"secure.png\"/></subgroup><subgroup><text>Wide</text></subgroup>"
           L"</group></binding></visual></tile>";
}

TilePreview::Page draw(const std::wstring& payload) {
    const TilePreview preview([](const std::wstring& image) { return image == L"secure.png"; });
    return preview.page(PayloadReader::read(payload), L"Preview & test");
}

} // namespace

TEST(TilePreview, DrawsEachBindingAtItsSize) {
    const TilePreview::Page page = draw(payloadWith(
        tileWith(L"<image src=\"secure.png\"/><text hint-style=\"base\">Fast &amp; &lt;safe&gt;"
                 L"</text><text>Sure, 100%</text>")));
    EXPECT_TRUE(page.flags.empty()) << testing::PrintToString(page.flags);
    const std::string& html = page.html;
    EXPECT_NE(std::string::npos, html.find("<title>Preview &amp; test</title>"));
    EXPECT_NE(std::string::npos, html.find("1 tile, 0 problems"));
    EXPECT_NE(std::string::npos, html.find(".medium { width: 150px; height: 150px;"));
    EXPECT_NE(std::string::npos, html.find(".wide { width: 310px; height: 150px; }"));
    EXPECT_NE(std::string::npos,
              html.find("<div class=\"binding medium\"><img src=\"secure.png\" alt=\"\">"
                        "<div class=\"text base\">Fast &amp; &lt;safe&gt;</div>"
                        "<div class=\"text\">Sure, 100%</div>"));
    EXPECT_NE(std::string::npos,
              html.find("<div class=\"binding wide\"><div class=\"group\"><div class=\"subgroup\" "
                        "style=\"flex: 0 0 24%\"><img src=\"secure.png\" alt=\"\"></div>"));
    EXPECT_EQ(std::string::npos, html.find("class=\"flag"));
}

TEST(TilePreview, FlagsWhatAViewerCouldNotShow) {
    struct Case {
        std::wstring payload;
        std::vector<std::string> flags;
        std::string marked; // drawn on the tile
    };
    const Case cases[] = {
        {payloadWith(tileWith(L"<text>%NUM_FILES% files in %%</text>")),
         {"tile 1: placeholder %NUM_FILES% in text"},
         "<mark class=\"flag\">%NUM_FILES%</mark> files in %%"},
        {payloadWith(tileWith(L"<text>%A%%B%</text>")),
         {"tile 1: placeholder %A% in text", "tile 1: placeholder %B% in text"},
         "<mark class=\"flag\">%A%</mark><mark class=\"flag\">%B%</mark>"},
        {payloadWith(tileWith(L"<image src=\"%IMAGE_SRC%\"/>")),
         {"tile 1: placeholder %IMAGE_SRC% in image src"},
         "<div class=\"missing\"><span class=\"flag\">placeholder %IMAGE_SRC% in image src"},
        {payloadWith(tileWith(L"<image src=\"gone.png\"/>")),
         {"tile 1: missing image gone.png"},
         "<div class=\"missing\"><span class=\"flag\">missing image gone.png</span>"},
        {payloadWith(tileWith(L"<image alt=\"\"/>")),
         {"tile 1: image without a source"},
         "<span class=\"flag\">image without a source</span>"},
        {payloadWith(tileWith(L"<marquee><text>Hi</text></marquee>")),
         {"tile 1: unknown element <marquee>"},
         "<div class=\"flagged\"><span class=\"flag\">unknown element &lt;marquee&gt;</span>"
         "<div class=\"text\">Hi</div>"},
        {payloadWith(L"<tile><visual><binding template=\"TileLarge\"><text>Big</text>"
                     L"</binding></visual></tile>"),
         {"tile 1: unknown binding template \"TileLarge\""},
         "<div class=\"binding medium flagged\">"},
        {payloadWith(L"<tile><visual>"),
         {"tile 1: unreadable XML: <visual> is never closed at offset 14"},
         "<pre>&lt;tile&gt;&lt;visual&gt;</pre>"},
        {L"{\"tiles\":[]}", {"not a tile payload: no \"viewer_payload\" object"}, "0 tiles"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.payload));
        const TilePreview::Page page = draw(c.payload);
        EXPECT_EQ(c.flags, page.flags);
        EXPECT_NE(std::string::npos, page.html.find(c.marked)) << page.html;
        EXPECT_NE(std::string::npos,
                  page.html.find(std::to_string(c.flags.size()) +
                                 (c.flags.size() == 1 ? " problem<ul>" : " problems<ul>")));
    }
}

TEST(TilePreview, FindsPlaceholdersAsTheModuleWritesThem) {
    struct Case {
        std::wstring text;
        std::wstring placeholder;
    };
    const Case cases[] = {
        {L"%NUM_FILES% files", L"%NUM_FILES%"},
        {L"a %b% c %d%", L"%b%"},
        {L"%%x%", L"%x%"},
        {L"100%", L""},
        {L"%%", L""},
        {L"", L""},
        {L"50% off, 20% more", L"% off, 20%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.text));
        EXPECT_EQ(c.placeholder, std::wstring(TilePreview::firstPlaceholder(c.text)));
    }
}
