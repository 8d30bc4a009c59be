// Attributes and skin kinds the program's own windows use: the frame skin
// over a control, hover backgrounds, clipping, text limits and placement,
// tab separators, menu borders, typed image sources and the maximised size.
#include "uitest.h"

#include "ui/hostwnd.h"
#include "ui/menu.h"
#include "ui/tabctrl.h"

#include <gtest/gtest.h>

#include <string>

using namespace SkinEngine;

namespace {

const uint32_t kWhite = 0xFFFFFF;

std::string Layer(const std::string& body, const char* extra = "")
{
    return std::string("<layer title=\"t\" width=\"200\" height=\"120\" ") + extra + "><body>" + body +
           "</body></layer>";
}

struct InkSpan {
    int first = -1, last = -1;
};

// Rows of `r` that hold ink, as the first and last such row (-1 if none).
InkSpan InkRows(const CSkinDib& dib, const SkinRect& r)
{
    int first = -1, last = -1;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (dib.Pixel(x, y) != kWhite) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return InkSpan{first, last};
}

class SkinAttributes : public SkinLayerTest {};

TEST_F(SkinAttributes, FrameSkinIsDrawnOverTheChildrenAndClipClientKeepsChildrenInside)
{
    Build(Layer("<div id=\"1\" pos=\"10,10,60,60\" ncskin=\"frame\">"
                "  <div pos=\"0,0,-0,-0\" crbg=\"0000FF\"/></div>"
                "<div id=\"2\" pos=\"100,10,140,50\" clipclient=\"1\"><div pos=\"20,20,80,80\" crbg=\"FF0000\"/></div>"
                "<div id=\"3\" pos=\"100,70,140,110\"><div pos=\"20,20,80,80\" crbg=\"00FF00\"/></div>"),
          "<button name=\"frame\" bg=\"FF8000\" border=\"000000\" bgup=\"FF8000\" bgdown=\"FF8000\"/>");
    Render();
    // The colour button fills all but its outline: over the blue child.
    EXPECT_EQ(Px(35, 35), 0xFF8000u);
    // The clipped child stops at its parent's edge; the other runs on.
    EXPECT_EQ(Px(130, 40), 0xFF0000u);
    EXPECT_EQ(Px(150, 40), kWhite);
    EXPECT_EQ(Px(150, 100), 0x00FF00u);
}

TEST_F(SkinAttributes, HoverBackgroundFollowsTheMouse)
{
    Build(Layer("<div id=\"1\" pos=\"10,10,60,60\" crbg=\"EEEEEE\" crbghover=\"3366CC\"/>"), "");
    RecordingHost host(layer.Context());
    Render();
    EXPECT_EQ(Px(30, 30), 0xEEEEEEu);
    host.MoveTo(*layer.Body(), POINT{30, 30});
    Render();
    EXPECT_EQ(Px(30, 30), 0x3366CCu);
    host.MoveTo(*layer.Body(), POINT{150, 100});
    Render();
    EXPECT_EQ(Px(30, 30), 0xEEEEEEu);
}

TEST_F(SkinAttributes, MaxWidthCutsTheTextAndTheContentSize)
{
    const std::string text = "A rather long connection text that goes on";
    Build(Layer("<text id=\"1\" pos=\"0,0\">" + text + "</text>"
                "<text id=\"2\" pos=\"0,40\" maxwidth=\"60\">" + text + "</text>"
                "<text id=\"3\" pos=\"0,80,200,100\" maxwidth=\"60\">" + text + "</text>"),
          "");
    EXPECT_GT(layer.FindById(1)->Rect().Width(), 150);
    EXPECT_EQ(layer.FindById(2)->Rect().Width(), 60);
    Render();
    EXPECT_GT(InkIn(SkinRect{0, 80, 60, 100}), 0);
    EXPECT_EQ(InkIn(SkinRect{61, 80, 200, 100}), 0) << "the box is wider, the text stops at maxwidth";
}

TEST_F(SkinAttributes, TextPlacementSpacingAndDots)
{
    Build(Layer("<text id=\"1\" pos=\"0,0,100,60\" valign=\"bottom\">bottom</text>"
                "<text id=\"2\" pos=\"100,0,130,60\" textmode=\"0\" linespacing=\"12\">one two</text>"
                "<text id=\"3\" pos=\"100,60,130,120\" textmode=\"0\">one two</text>"
                "<text id=\"4\" pos=\"0,60\">spaced</text><text id=\"5\" pos=\"0,80\" spacing=\"4\">spaced</text>"
                "<text id=\"6\" pos=\"0,100,100,120\" dotted=\"1\">link</text>"),
          "");
    Render();
    // Bottom: the ink sits in the lower part of the box.
    const auto bottom = InkRows(*dib, SkinRect{0, 0, 100, 60});
    EXPECT_GT(bottom.first, 40);
    EXPECT_GE(bottom.last, 54);
    // Line spacing: the same two lines (the box breaks them at the blank),
    // 12 pixels further apart.
    const auto spaced = InkRows(*dib, SkinRect{100, 0, 130, 60});
    const auto plain = InkRows(*dib, SkinRect{100, 60, 130, 120});
    EXPECT_EQ((spaced.last - spaced.first) - (plain.last - plain.first), 12);
    // Character spacing: six characters, five gaps (and one after the last) wider.
    EXPECT_EQ(layer.FindById(5)->Rect().Width() - layer.FindById(4)->Rect().Width(), 6 * 4);
    // Dots: every other pixel of the text's bottom row.
    const auto link = InkRows(*dib, SkinRect{0, 100, 100, 120});
    ASSERT_GE(link.last, 0);
    int dots = 0;
    for (int x = 0; x < 12; ++x) dots += Px(x, link.last) != kWhite;
    EXPECT_EQ(dots, 6);
}

TEST_F(SkinAttributes, TabSeparatorWidensTheGapAfterItsHeader)
{
    Build(Layer("<tabctrl id=\"1\" pos=\"0,0,-0,-0\" tabwidth=\"40\" tabheight=\"20\" tabspacing=\"2\">"
                "<tab title=\"a\" sep=\"10\"/><tab title=\"b\"/><tab title=\"c\"/></tabctrl>"),
          "");
    auto* tabs = dynamic_cast<CSkinTabCtrl*>(layer.FindById(1));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->HeaderRect(0).left, 0);
    EXPECT_EQ(tabs->HeaderRect(1).left, 40 + 2 + 10);
    EXPECT_EQ(tabs->HeaderRect(2).left, 52 + 40 + 2);
}

TEST_F(SkinAttributes, BorderSkinSetsTheMenuEdgesAndTypedSourcesLoadTheirImages)
{
    source.AddImage(7, BmpFile(12, 12, [](int, int) { return 0x00AA00u; }), "BMPX");
    Build(Layer(""), "<border name=\"menubg\" src=\"7:BMPX\" left=\"3\" top=\"3\" border=\"5,6,7,8\" key=\"FF00FF\"/>"
                     "<imglst name=\"untyped\" src=\"7\"/>");
    const auto* border = dynamic_cast<const CSkinBorder*>(layer.Context().FindSkin("menubg"));
    ASSERT_NE(border, nullptr);
    ASSERT_NE(border->Image(), nullptr) << "the image of type BMPX";
    EXPECT_EQ(border->Image()->Width(), 12);
    const auto* untyped = dynamic_cast<const CSkinImageList*>(layer.Context().FindSkin("untyped"));
    ASSERT_NE(untyped, nullptr);
    EXPECT_EQ(untyped->Image(), nullptr) << "no IMGX image 7";

    SkinMenu menu;
    ASSERT_TRUE(menu.Load("<menu bgskin=\"menubg\" itemheight=\"20\"><item id=\"1\">a</item></menu>"));
    SkinMenuLayout geometry = LayoutSkinMenu(menu, layer.Context());
    ASSERT_EQ(geometry.rows.size(), 1u);
    EXPECT_EQ(geometry.rows[0], (SkinRect{5, 6, geometry.size.cx - 7, 26}));
    EXPECT_EQ(geometry.size.cy, 6 + 20 + 8);
}

class MaximisedSize : public SkinLayerTest {
protected:
    MINMAXINFO Ask(const char* extra)
    {
        EXPECT_TRUE(doc.Load(Layer("", extra)));
        EXPECT_TRUE(window.Create(doc, pools, source, nullptr, 0, factory) != nullptr);
        MINMAXINFO info = {};
        info.ptMaxSize = POINT{11111, 22222};
        SendMessageW(window.Window(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        window.Destroy();
        return info;
    }
    SkinHostWnd window;
};

TEST_F(MaximisedSize, NoMaxSizeKeepsAMaximisedWindowToTheWorkArea)
{
    source.AddXml(kXmlStrings, "<string/>");
    source.AddXml(kXmlSkins, "<skins/>");
    source.AddXml(kXmlStyles, "<style/>");
    source.AddXml(kXmlObjAttr, "<objattr/>");
    ASSERT_TRUE(pools.Load(source));
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const MINMAXINFO kept = Ask("nomaxsize=\"1\"");
    EXPECT_EQ(kept.ptMaxSize.x, work.right - work.left);
    EXPECT_EQ(kept.ptMaxSize.y, work.bottom - work.top);
    const MINMAXINFO free = Ask("");
    EXPECT_EQ(free.ptMaxSize.x, 11111) << "left as the system gave it";
}

}  // namespace
