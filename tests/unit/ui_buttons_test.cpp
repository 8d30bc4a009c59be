// Buttons, check boxes, radios, the caption bar, the tab control and the
// popup menu: rectangles from positions, pixels from one-colour skins, and
// what the controls ask of their host when the mouse works them.
#include "uitest.h"

#include "ui/buttons.h"
#include "ui/menu.h"
#include "ui/tabctrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace SkinEngine;

namespace {

const uint32_t kWhitePx = 0xFFFFFF;

POINT Pt(int x, int y)
{
    return POINT{x, y};
}

// Bounding box of the pixels of `r` that differ from `ground`.
SkinRect InkBox(const CSkinDib& dib, const SkinRect& r, uint32_t ground)
{
    SkinRect box{r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (dib.Pixel(x, y) != ground) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

// The darkest channel sum among the pixels of `r`.
int Darkest(const CSkinDib& dib, const SkinRect& r)
{
    int darkest = 3 * 255;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t p = dib.Pixel(x, y);
            darkest = std::min<int>(darkest, (p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF));
        }
    return darkest;
}

// --- Buttons ---

using SkinButtons = SkinLayerTest;

TEST_F(SkinButtons, PushButtonPassesStateBitsToItsSkinCentresItsTextAndClicks)
{
    Build("<layer title=\"T\" width=\"200\" height=\"100\"><body>"
          "<button id=\"7\" pos=\"20,20,140,50\" skin=\"btn\" crtext=\"000000\">OK</button></body></layer>",
          "<button name=\"btn\" bg=\"123456\" border=\"000000\" bgup=\"AA0000\" bgdown=\"AA0000\""
          " bguphover=\"00AA00\" bgdownhover=\"00AA00\" bguppush=\"0000AA\" bgdownpush=\"0000AA\"/>");
    CSkinControl* button = layer.FindById(7);
    ASSERT_TRUE(dynamic_cast<CSkinPushButton*>(button));
    EXPECT_EQ(button->Rect(), (SkinRect{20, 20, 140, 50}));
    RecordingHost host(layer.Context());

    Render();
    EXPECT_EQ(Px(23, 23), 0xAA0000u);
    EXPECT_EQ(Px(20, 35), 0x000000u);  // the outline
    const SkinRect ink = InkBox(*dib, SkinRect{23, 23, 137, 47}, 0xAA0000);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 80, 3);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 35, 3);

    host.MoveTo(*layer.Body(), Pt(30, 30));
    EXPECT_EQ(button->PaintState(), kButtonHover);
    Render();
    EXPECT_EQ(Px(23, 23), 0x00AA00u);
    button->OnMouseDown(Pt(30, 30), host);
    EXPECT_EQ(button->PaintState(), kButtonHover | kButtonPush);
    Render();
    EXPECT_EQ(Px(23, 23), 0x0000AAu);
    button->OnMouseUp(Pt(30, 30), host);
    ASSERT_EQ(host.notifies.size(), 1u);
    EXPECT_EQ(host.notifies[0].hdr.code, kNotifyClick);
    EXPECT_EQ(host.notifies[0].hdr.idFrom, kEngineNotifyId);
    EXPECT_EQ(host.notifies[0].id, 7);

    // Released outside: no click. Disabled: only the fill, and no click.
    button->OnMouseDown(Pt(30, 30), host);
    button->OnMouseUp(Pt(150, 30), host);
    button->SetEnabled(false);
    host.Click(*layer.Body(), Pt(30, 30));
    EXPECT_EQ(host.notifies.size(), 1u);
    EXPECT_EQ(button->PaintState(), kButtonDisabled);
    Render();
    EXPECT_EQ(Px(23, 23), 0x123456u);
}

TEST_F(SkinButtons, CheckToggleAndRadioGroupsWithTheirBoxStates)
{
    // Four 12 x 12 box states: unchecked, unchecked hovered, checked, checked hovered.
    const uint32_t states[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    source.AddImage(3, BmpFile(48, 12, [&](int x, int) { return states[x / 12]; }));
    Build("<layer title=\"T\" width=\"300\" height=\"200\"><body>"
          "<check id=\"1\" pos=\"10,10,150,30\" state=\"4\">Remember</check>"
          "<div pos=\"0,50,-0,100\">"
          "<radio id=\"2\" pos=\"10,0,100,20\">A</radio><radio id=\"3\" pos=\"110,0,200,20\" state=\"4\">B</radio>"
          "</div>"
          "<div pos=\"0,100,-0,-0\"><radio id=\"4\" pos=\"10,20\" state=\"4\"/></div>"
          "</body></layer>",
          "<imglst name=\"box\" src=\"3\" states=\"4\"/>", "<objattr><check skin=\"box\"/><radio skin=\"box\"/></objattr>");
    auto* check = dynamic_cast<CSkinCheck*>(layer.FindById(1));
    auto* a = dynamic_cast<CSkinRadio*>(layer.FindById(2));
    auto* b = dynamic_cast<CSkinRadio*>(layer.FindById(3));
    auto* other = dynamic_cast<CSkinRadio*>(layer.FindById(4));
    ASSERT_TRUE(check && a && b && other);
    EXPECT_TRUE(check->Checked());
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    // The box keeps its natural size, centred at the left; a radio without text is just its box.
    EXPECT_EQ(check->BoxRect(layer.Context()), (SkinRect{10, 14, 22, 26}));
    EXPECT_EQ(check->LabelRect(layer.Context()).left, 26);
    EXPECT_EQ(other->Rect(), (SkinRect{10, 120, 22, 132}));

    Render();
    EXPECT_EQ(Px(15, 20), states[2]);
    EXPECT_EQ(Px(15, 12), kWhitePx);  // not stretched over the control
    EXPECT_GT(InkIn(check->LabelRect(layer.Context())), 0);
    EXPECT_EQ(Px(15, 60), states[0]);

    RecordingHost host(layer.Context());
    host.MoveTo(*layer.Body(), Pt(60, 20));
    EXPECT_EQ(check->PaintState(), 3u);
    host.Click(*layer.Body(), Pt(60, 20));
    EXPECT_FALSE(check->Checked());
    EXPECT_EQ(check->PaintState(), 1u);
    Render();
    EXPECT_EQ(Px(15, 20), states[1]);
    host.MoveTo(*layer.Body(), Pt(250, 20));
    EXPECT_EQ(check->PaintState(), 0u);

    host.Click(*layer.Body(), Pt(20, 60));
    EXPECT_TRUE(a->Checked());
    EXPECT_FALSE(b->Checked());
    EXPECT_TRUE(other->Checked());  // another parent, another group
    host.Click(*layer.Body(), Pt(20, 60));
    EXPECT_TRUE(a->Checked());
    ASSERT_EQ(host.notifies.size(), 3u);
    EXPECT_EQ(host.notifies[0].id, 1);
    EXPECT_EQ(host.notifies[1].id, 2);
    EXPECT_EQ(host.notifies[2].id, 2);
    for (const SkinNotify& n : host.notifies) EXPECT_EQ(n.hdr.code, kNotifyClick);

    b->Select();
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_EQ(host.notifies.size(), 3u);
}

TEST_F(SkinButtons, CaptionDragsExceptOverItsButtonsAndLinksClick)
{
    Build("<layer title=\"T\" width=\"300\" height=\"100\"><body>"
          "<caption id=\"9\" pos=\"0,0,-0,30\"><text pos=\"5,5,100,25\">Title</text>"
          "<div pos=\"100,0,150,30\"/><imgbtn id=\"1\" pos=\"-45,0,-0,20\"/></caption>"
          "<link id=\"5\" pos=\"10,50,100,70\">more</link><divex pos=\"0,80,10,90\"/></body></layer>",
          "");
    CSkinControl* caption = layer.FindById(9);
    CSkinControl* close = layer.FindById(1);
    ASSERT_TRUE(caption && close);
    for (POINT pt : {Pt(20, 10), Pt(120, 10), Pt(200, 25)}) {
        EXPECT_EQ(layer.Body()->HitTest(pt), caption);
        EXPECT_EQ(caption->NcHitTest(pt), HTCAPTION);
    }
    EXPECT_EQ(layer.Body()->HitTest(Pt(280, 10)), close);
    EXPECT_EQ(caption->NcHitTest(Pt(280, 10)), HTCLIENT);
    EXPECT_EQ(close->NcHitTest(Pt(280, 10)), HTCLIENT);

    CSkinControl* link = layer.FindById(5);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->Cursor(), LoadCursor(nullptr, IDC_HAND));
    RecordingHost host(layer.Context());
    host.Click(*layer.Body(), Pt(20, 60));
    ASSERT_EQ(host.notifies.size(), 1u);
    EXPECT_EQ(host.notifies[0].id, 5);

    for (const char* tag : {"divex", "scrollview", "spacing", "hr", "group", "icon", "dlgfile", "tab"})
        EXPECT_TRUE(factory.Has(tag)) << tag;
}

// --- Tab control ---

using SkinTab = SkinLayerTest;

const uint32_t kTabNormal = 0x808080, kTabHover = 0x00C000, kTabSelected = 0x0000C0;

TEST_F(SkinTab, HeadersPagesAndSelectionByClickAndByCode)
{
    const uint32_t tabStates[] = {kTabNormal, kTabHover, kTabSelected};
    source.AddImage(4, BmpFile(30, 10, [&](int x, int) { return tabStates[x / 10]; }));
    Build("<layer title=\"T\" width=\"300\" height=\"200\"><body>"
          "<tabctrl id=\"103\" pos=\"0,0,-0,-0\" tabheight=\"30\" tabwidth=\"80\" tabspacing=\"4\" tabpos=\"10\""
          " cursel=\"1\" tabskin=\"tabs\" animatesteps=\"8\">"
          "<tab id=\"113\" title=\"\" skin=\"red\"/>"
          "<tab id=\"114\" title=\"Net\"><button id=\"10\" pos=\"10,10,60,30\"/></tab>"
          "<tab id=\"115\" title=\"\" pos=\"10,10,-10,-10\" skin=\"red\"/>"
          "</tabctrl></body></layer>",
          "<imglst name=\"tabs\" src=\"4\" states=\"3\"/>" + SolidSkin("red", 0xFF0000));
    auto* tabs = dynamic_cast<CSkinTabCtrl*>(layer.FindById(103));
    ASSERT_TRUE(tabs);
    ASSERT_EQ(tabs->PageCount(), 3);
    EXPECT_EQ(tabs->CurSel(), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tabs->HeaderRect(i), (SkinRect{10 + 84 * i, 0, 90 + 84 * i, 30})) << i;
    EXPECT_EQ(tabs->PageArea(), (SkinRect{0, 30, 300, 200}));
    EXPECT_EQ(tabs->Page(0)->Rect(), tabs->PageArea());
    EXPECT_EQ(tabs->Page(2)->Rect(), (SkinRect{10, 40, 290, 190}));
    EXPECT_EQ(layer.FindById(10)->Rect(), (SkinRect{10, 40, 60, 60}));
    EXPECT_FALSE(tabs->Page(0)->Visible());
    EXPECT_TRUE(tabs->Page(1)->Visible());

    Render();
    EXPECT_EQ(Px(12, 2), kTabNormal);
    EXPECT_EQ(Px(96, 2), kTabSelected);
    EXPECT_EQ(Px(92, 2), kWhitePx);  // the spacing
    EXPECT_GT(InkIn(SkinRect{96, 5, 172, 25}), InkIn(SkinRect{180, 5, 256, 25}) / 2);  // the title
    EXPECT_EQ(Px(150, 100), kWhitePx);  // pages 0 and 2 are hidden

    RecordingHost host(layer.Context());
    host.MoveTo(*layer.Body(), Pt(20, 10));
    Render();
    EXPECT_EQ(Px(12, 2), kTabHover);
    host.Click(*layer.Body(), Pt(100, 10));  // the selected one: nothing happens
    EXPECT_TRUE(host.notifies.empty());
    host.Click(*layer.Body(), Pt(200, 10));
    EXPECT_EQ(tabs->CurSel(), 2);
    ASSERT_EQ(host.notifies.size(), 1u);
    EXPECT_EQ(host.notifies[0].hdr.code, kNotifyTabChange);
    EXPECT_EQ(host.notifies[0].id, 103);
    EXPECT_EQ(host.notifies[0].value, 2);
    EXPECT_EQ(host.layouts, 1);
    Render();
    EXPECT_EQ(Px(150, 100), 0xFF0000u);
    EXPECT_EQ(Px(5, 35), kWhitePx);  // page 2 keeps its own position

    EXPECT_TRUE(tabs->SelectTab(1));
    EXPECT_FALSE(tabs->SelectTab(3));
    EXPECT_FALSE(tabs->SelectTab(-1));
    EXPECT_EQ(tabs->CurSel(), 1);
    EXPECT_EQ(host.notifies.size(), 1u);
    host.Click(*layer.Body(), Pt(20, 50));  // a control inside the shown page
    ASSERT_EQ(host.notifies.size(), 2u);
    EXPECT_EQ(host.notifies[1].id, 10);
}

TEST_F(SkinTab, WithoutHeaderBandItIsAPageSwitcherAndHeadersCanStandAtTheSide)
{
    Build("<layer title=\"T\" width=\"400\" height=\"200\"><body>"
          "<tabctrl id=\"103\" pos=\"0,0,200,200\" tabheight=\"0\" cursel=\"7\">"
          "<tab title=\"\"><div id=\"1\" pos=\"0,0,-0,-0\"/></tab><tab title=\"\"><div id=\"2\" pos=\"0,0,-0,-0\"/></tab>"
          "</tabctrl>"
          "<tabctrl id=\"104\" pos=\"200,0,-0,100\" tabpos=\"left\" tabwidth=\"50\" tabheight=\"20\" tabspacing=\"2\">"
          "<tab title=\"A\"/><tab title=\"B\"/></tabctrl>"
          "<tabctrl id=\"105\" pos=\"200,100,-0,-0\" tabheight=\"20\" tabpos=\"bottom\">"
          "<tab title=\"Long title\"/><tab title=\"B\"/></tabctrl>"
          "</body></layer>",
          "");
    auto* pages = dynamic_cast<CSkinTabCtrl*>(layer.FindById(103));
    auto* side = dynamic_cast<CSkinTabCtrl*>(layer.FindById(104));
    auto* bottom = dynamic_cast<CSkinTabCtrl*>(layer.FindById(105));
    ASSERT_TRUE(pages && side && bottom);

    EXPECT_EQ(pages->CurSel(), 0);  // out of range at start: the first page
    EXPECT_EQ(pages->PageArea(), (SkinRect{0, 0, 200, 200}));
    EXPECT_EQ(layer.FindById(1)->Rect(), (SkinRect{0, 0, 200, 200}));
    EXPECT_EQ(layer.Body()->HitTest(Pt(10, 5)), layer.FindById(1));
    ASSERT_TRUE(pages->SelectTab(1));
    layer.Layout(400, 200);
    EXPECT_EQ(pages->CurSel(), 1);  // a new layout keeps the selection
    EXPECT_EQ(layer.Body()->HitTest(Pt(10, 5)), layer.FindById(2));

    EXPECT_EQ(side->HeaderRect(0), (SkinRect{200, 0, 250, 20}));
    EXPECT_EQ(side->HeaderRect(1), (SkinRect{200, 22, 250, 42}));
    EXPECT_EQ(side->PageArea(), (SkinRect{250, 0, 400, 100}));
    RecordingHost host(layer.Context());
    host.Click(*layer.Body(), Pt(210, 30));
    EXPECT_EQ(side->CurSel(), 1);
    host.Click(*layer.Body(), Pt(210, 50));  // below the headers: no header there
    EXPECT_EQ(side->CurSel(), 1);
    EXPECT_EQ(host.notifies.size(), 1u);

    // Headers without a width fit their titles.
    EXPECT_EQ(bottom->PageArea(), (SkinRect{200, 100, 400, 180}));
    const SkinRect first = bottom->HeaderRect(0), second = bottom->HeaderRect(1);
    EXPECT_EQ(first.top, 180);
    EXPECT_EQ(first.bottom, 200);
    EXPECT_EQ(first.left, 200);
    EXPECT_EQ(second.left, first.right);
    EXPECT_GT(first.Width(), second.Width());
    EXPECT_GT(second.Width(), 16);
}

}  // namespace
