// Layers built from markup held in memory, rendered, and checked against
// what the markup says: rectangles from positions, pixels from skins.
#include "uitest.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace SkinEngine;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const uint32_t kWhitePx = 0xFFFFFF;


using SkinLayer = SkinLayerTest;

TEST_F(SkinLayer, PositionsFromEdgesAndCentreWithImageSkins)
{
    // Image 7: two 45 x 20 states, red then green. Image 9: one 166 x 30 blue state.
    source.AddImage(7, BmpFile(90, 20, [](int x, int) { return x < 45 ? 0xFF0000u : 0x00FF00u; }));
    source.AddImage(9, BmpFile(166, 30, [](int, int) { return 0x0000FFu; }));
    Build("<layer title=\"T\" width=\"400\" height=\"300\"><body pos=\"5,5,10,10\">"
          "<imgbtn id=\"1\" pos=\"-45,0\"/>"
          "<img id=\"2\" pos=\"|-83,|80\" skin=\"wide\"/>"
          "</body></layer>",
          "<imglst name=\"close\" src=\"7\" states=\"2\"/><imglst name=\"wide\" src=\"9\"/>",
          "<objattr><imgbtn skin=\"close\"/></objattr>");
    EXPECT_EQ(layer.Body()->Rect(), (SkinRect{0, 0, 400, 300}));
    CSkinControl* close = layer.FindById(1);
    CSkinControl* wide = layer.FindById(2);
    ASSERT_TRUE(close && wide);
    EXPECT_EQ(close->Rect(), (SkinRect{355, 0, 400, 20}));
    EXPECT_EQ(wide->Rect(), (SkinRect{117, 230, 283, 260}));

    Render();
    EXPECT_EQ(Px(355, 0), 0xFF0000u);
    EXPECT_EQ(Px(399, 19), 0xFF0000u);
    EXPECT_EQ(Px(354, 0), kWhitePx);
    EXPECT_EQ(Px(399, 20), kWhitePx);
    EXPECT_EQ(Px(117, 230), 0x0000FFu);
    EXPECT_EQ(Px(282, 259), 0x0000FFu);
    EXPECT_EQ(Px(116, 230), kWhitePx);
    EXPECT_EQ(Px(283, 259), kWhitePx);

    close->SetSkinStateIndex(1);
    Render();
    EXPECT_EQ(Px(370, 10), 0x00FF00u);
}

TEST_F(SkinLayer, HiddenControlsAndTheirChildrenAreNotPainted)
{
    Build("<layer title=\"T\" width=\"100\" height=\"40\"><body>"
          "<div id=\"2\" pos=\"-83,0,-60,20\" skin=\"red\" show=\"0\"/>"
          "<div id=\"3\" pos=\"-83,0,-60,20\" skin=\"blue\"/>"
          "<div id=\"4\" pos=\"0,20,-0,-0\" state=\"8\"><div pos=\"0,0,10,10\" skin=\"red\"/></div>"
          "</body></layer>",
          SolidSkin("red", "FF0000") + SolidSkin("blue", "0000FF"));
    Render();
    EXPECT_EQ(Px(20, 5), 0x0000FFu);
    EXPECT_EQ(InkIn(SkinRect{0, 20, 100, 40}), 0);

    layer.FindById(2)->SetVisible(true);
    layer.FindById(3)->SetVisible(false);
    layer.FindById(4)->SetVisible(true);
    Render();
    EXPECT_EQ(Px(20, 5), 0xFF0000u);
    EXPECT_EQ(Px(5, 25), 0xFF0000u);
}

TEST_F(SkinLayer, OwnSkinsWinAndOtherLayersSkinsAreNotLoaded)
{
    Build("<layer title=\"Main\" width=\"40\" height=\"10\"><body>"
          "<div pos=\"0,0,20,10\" skin=\"mark\"/><div pos=\"20,0,40,10\" skin=\"foreign\"/>"
          "</body></layer>",
          SolidSkin("mark", "0000FF") + SolidSkin("mark", "FF0000", "owner=\"Main\"") +
              SolidSkin("foreign", "00FF00", "owner=\"Other\""));
    EXPECT_EQ(layer.Context().FindSkin("foreign"), nullptr);
    Render();
    EXPECT_EQ(Px(5, 5), 0xFF0000u);
    EXPECT_EQ(Px(25, 5), kWhitePx);
}

TEST_F(SkinLayer, TextIsDrawnInItsRectangleAndUnplacedControlsStack)
{
    Build(u8"<layer title=\"T\" width=\"200\" height=\"100\"><body>"
          u8"<div pos=\"0,0,-0,60\">"
          u8"<text id=\"1\" crtext=\"000000\">Hello \u4e16\u754c</text>"
          u8"<text id=\"2\" crtext=\"000000\" show=\"0\">hidden</text>"
          u8"<text id=\"3\" crtext=\"000000\">Second line</text>"
          u8"</div></body></layer>",
          "");
    CSkinControl* first = layer.FindById(1);
    CSkinControl* third = layer.FindById(3);
    ASSERT_TRUE(first && third);
    EXPECT_EQ(first->Text(), L"Hello \u4e16\u754c");
    EXPECT_GT(first->Rect().Height(), 0);
    EXPECT_EQ(first->Rect().Width(), 200);
    EXPECT_EQ(third->Rect().top, first->Rect().bottom);

    Render();
    EXPECT_GT(InkIn(first->Rect()), 10);
    EXPECT_GT(InkIn(third->Rect()), 10);
    EXPECT_EQ(InkIn(SkinRect{0, third->Rect().bottom, 200, 100}), 0);
}

TEST_F(SkinLayer, ProgressFillsInProportionToItsValue)
{
    Build("<layer title=\"T\" width=\"100\" height=\"10\"><body>"
          "<progress id=\"5\" pos=\"0,0,-0,-0\" bgskin=\"bg\" posskin=\"bar\" min=\"100\" max=\"300\" value=\"150\"/>"
          "</body></layer>",
          SolidSkin("bg", "808080") + SolidSkin("bar", "00FF00"));
    auto* bar = dynamic_cast<CSkinProgress*>(layer.FindById(5));
    ASSERT_TRUE(bar);
    Render();
    EXPECT_EQ(Px(0, 5), 0x00FF00u);
    EXPECT_EQ(Px(24, 5), 0x00FF00u);
    EXPECT_EQ(Px(25, 5), 0x808080u);
    EXPECT_EQ(Px(99, 5), 0x808080u);

    bar->SetValue(1000);  // beyond the range: full, never past the rectangle
    EXPECT_EQ(bar->FilledWidth(100), 100);
    bar->SetValue(-5);
    EXPECT_EQ(bar->FilledWidth(100), 0);
    bar->SetAttribute("max", "100");  // empty range
    bar->SetValue(100);
    EXPECT_EQ(bar->FilledWidth(100), 0);
    bar->SetAttribute("min", "-2147483648");
    bar->SetAttribute("max", "2147483647");
    bar->SetValue(2147483647);
    EXPECT_EQ(bar->FilledWidth(100), 100);
}

class CFlavourBox : public CSkinControl {
public:
    std::string flavour;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override
    {
        static const AttrSetter<CFlavourBox> table[] = {
            {"flavour", [](CFlavourBox& c, const std::string& v) { c.flavour = v; }},
        };
        return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
    }
};

TEST_F(SkinLayer, ApplicationTagsMakeTheirOwnClassAndUnknownTagsContain)
{
    factory.Register<CFlavourBox>("mybox");
    Build("<layer title=\"T\" width=\"50\" height=\"50\"><body>"
          "<mybox id=\"7\" flavour=\"mint\" pos=\"1,2,3,4\" bogus=\"1\"/>"
          "<nosuchtag id=\"8\" pos=\"0,0,-0,-0\"><div id=\"9\" pos=\"0,0,5,5\"/></nosuchtag>"
          "</body></layer>",
          "");
    auto* box = dynamic_cast<CFlavourBox*>(layer.FindById(7));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->flavour, "mint");
    EXPECT_EQ(box->Tag(), "mybox");
    EXPECT_EQ(box->Rect(), (SkinRect{1, 2, 3, 4}));
    EXPECT_FALSE(box->SetAttribute("bogus", "1"));

    CSkinControl* unknown = layer.FindById(8);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->Tag(), "nosuchtag");
    ASSERT_EQ(unknown->Children().size(), 1u);
    EXPECT_EQ(layer.FindById(9)->Parent(), unknown);
    EXPECT_EQ(layer.FindById(9)->Rect(), (SkinRect{0, 0, 5, 5}));
    EXPECT_FALSE(SkinControls().Has("mybox"));  // registered with that factory only
}

}  // namespace
