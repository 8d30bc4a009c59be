// Buttons, check boxes, radios, the caption bar, the tab control and the
// popup menu: rectangles from positions, pixels from one-colour skins, and
// what the controls ask of their host when the mouse works them.
#include "uitest.h"

#include "ui/buttons.h"
#include "ui/menu.h"
#include "ui/tabctrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

// --- Popup menu ---

const uint32_t kMenuBg = 0xF0F0F0, kMenuHot = 0x3060C0, kMenuSep = 0x00A000;

const char kTrayMenu[] =
    u8"\xEF\xBB\xBF<menu itemskin=\"skin_menuitem\" iconskin=\"skin_menuicon\" checkskin=\"skin_menucheck\""
    u8" sepskin=\"skin_menusplit\" bgskin=\"skin_menubg\" itemheight=\"26\" iconmargin=\"4\" textmargin=\"8\">"
    u8"<!-- tray --><item id=\"1\" disable=\"1\">检查更新</item><item id=\"2\">更新日志</item><sep/>"
    u8"<item id=\"3\">退出</item><sep/><submenu/></menu>";

class SkinMenuTest : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        Build("<layer title=\"T\" width=\"10\" height=\"10\"><body/></layer>",
              SolidSkin("skin_menubg", kMenuBg) + SolidSkin("skin_menuitem", kMenuHot) +
                  SolidSkin("skin_menusplit", kMenuSep));
        source.AddXml(602, kTrayMenu);
        ASSERT_TRUE(LoadSkinMenu(source, 602, menu));
        geometry = LayoutSkinMenu(menu, layer.Context());
    }

    std::unique_ptr<CSkinDib> Paint(int hot)
    {
        auto out = std::make_unique<CSkinDib>(geometry.size.cx, geometry.size.cy);
        PaintSkinMenu(out->Dc(), menu, geometry, layer.Context(), hot);
        GdiFlush();
        return out;
    }

    SkinMenu menu;
    SkinMenuLayout geometry;
};

using SkinMenuModel = SkinMenuTest;

TEST_F(SkinMenuModel, TrayDocumentGivesItemsRowsAndChoosablePoints)
{
    EXPECT_EQ(menu.checkSkin, "skin_menucheck");
    ASSERT_EQ(menu.items.size(), 5u);
    const SkinMenuItem& first = menu.items[0];
    EXPECT_TRUE(first.id == 1 && first.text == L"检查更新" && first.disabled);
    EXPECT_TRUE(menu.items[1].id == 2 && menu.items[1].Choosable());
    EXPECT_TRUE(menu.items[2].separator && menu.items[4].separator);
    EXPECT_EQ(menu.items[3].text, L"退出");

    // Rows stack inside the border: items 26 high, separators thinner.
    ASSERT_EQ(geometry.rows.size(), 5u);
    EXPECT_EQ(geometry.rows[0].top, kMenuBorder);
    for (size_t i = 1; i < geometry.rows.size(); ++i) EXPECT_EQ(geometry.rows[i].top, geometry.rows[i - 1].bottom);
    EXPECT_EQ(geometry.rows[1].Height(), 26);
    EXPECT_EQ(geometry.rows[2].Height(), kMenuSepHeight);
    EXPECT_EQ(geometry.size.cy, geometry.rows[4].bottom + kMenuBorder);
    EXPECT_EQ(geometry.rows[0].left, kMenuBorder);
    EXPECT_EQ(geometry.rows[0].right, geometry.size.cx - kMenuBorder);
    EXPECT_GE(geometry.size.cx, kMenuMinWidth);

    const auto middle = [&](size_t row) {
        const SkinRect& r = geometry.rows[row];
        return Pt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    EXPECT_EQ(SkinMenuItemAt(menu, geometry, middle(0)), -1);  // disabled
    EXPECT_EQ(SkinMenuItemAt(menu, geometry, middle(1)), 1);
    EXPECT_EQ(SkinMenuItemAt(menu, geometry, middle(2)), -1);  // separator
    EXPECT_EQ(SkinMenuItemAt(menu, geometry, middle(3)), 3);
    EXPECT_EQ(SkinMenuItemAt(menu, geometry, Pt(0, 0)), -1);
    EXPECT_EQ(SkinMenuItemAt(menu, geometry, Pt(geometry.size.cx, middle(1).y)), -1);

    // A long text widens the popup; wrong documents load nothing.
    SkinMenu wide = menu;
    wide.items[1].text.assign(60, L'W');
    EXPECT_GT(LayoutSkinMenu(wide, layer.Context()).size.cx, geometry.size.cx);
    EXPECT_FALSE(wide.Load("<skins/>"));
    EXPECT_TRUE(wide.items.empty());
    EXPECT_FALSE(wide.Load("<menu><item>"));
    EXPECT_FALSE(LoadSkinMenu(source, 603, wide));
}

TEST_F(SkinMenuModel, PaintsBackgroundHotItemSeparatorsAndGreyDisabledText)
{
    auto cold = Paint(-1);
    const SkinRect& enabled = geometry.rows[1];
    const SkinRect& disabled = geometry.rows[0];
    const SkinRect& sep = geometry.rows[2];
    EXPECT_EQ(cold->Pixel(0, 0), kMenuBg);
    EXPECT_EQ(cold->Pixel(enabled.left + 1, enabled.top + 1), kMenuBg);
    const int sepY = sep.top + (sep.Height() - 1) / 2;
    EXPECT_EQ(cold->Pixel(sep.left + 4, sepY), kMenuSep);
    EXPECT_EQ(cold->Pixel(sep.left + 3, sepY), kMenuBg);
    EXPECT_EQ(cold->Pixel(sep.left + 4, sepY + 1), kMenuBg);
    // Black text, grey when disabled, starting at the text column.
    const SkinRect enabledText{enabled.left + geometry.textLeft, enabled.top, enabled.right, enabled.bottom};
    const SkinRect disabledText{disabled.left + geometry.textLeft, disabled.top, disabled.right, disabled.bottom};
    EXPECT_LT(Darkest(*cold, enabledText), 3 * 0x30);
    EXPECT_GE(Darkest(*cold, disabledText), 3 * 0x70);
    EXPECT_LT(Darkest(*cold, disabledText), 3 * 0xE0);
    EXPECT_EQ(InkBox(*cold, SkinRect{enabled.left, enabled.top, enabledText.left, enabled.bottom}, kMenuBg).left,
              enabledText.left);  // nothing left of the text column

    auto hot = Paint(1);
    EXPECT_EQ(hot->Pixel(enabled.left + 1, enabled.top + 1), kMenuHot);
    EXPECT_EQ(hot->Pixel(enabled.right - 1, enabled.bottom - 1), kMenuHot);
    EXPECT_EQ(hot->Pixel(enabled.left + 1, enabled.top - 1), kMenuBg);
    auto disabledHot = Paint(0);
    EXPECT_EQ(disabledHot->Pixel(disabled.left + 1, disabled.top + 1), kMenuBg);
}

class SkinMenuPopup : public SkinMenuTest {
protected:
    void SetUp() override
    {
        SkinMenuTest::SetUp();
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 400, 200, 100,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner);
        SetForegroundWindow(owner);
    }
    void TearDown() override { DestroyWindow(owner); }

    int Track(POINT at = {100, 100})
    {
        StartPopupScript(script);
        const int chosen = TrackSkinMenu(menu, layer.Context(), owner, at);
        EXPECT_FALSE(FindWindowW(kSkinMenuClass, nullptr));  // gone again
        return chosen;
    }

    LPARAM At(size_t row) const
    {
        const SkinRect& r = geometry.rows[row];
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // The WM_COMMAND ids waiting in the owner's queue.
    std::vector<WPARAM> Commands()
    {
        std::vector<WPARAM> ids;
        MSG msg;
        while (PeekMessageW(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE)) ids.push_back(msg.wParam);
        return ids;
    }

    HWND owner = nullptr;
    PopupScript script;
};

TEST_F(SkinMenuPopup, ClickOnAnItemChoosesItAndPostsTheCommand)
{
    // A click on the disabled item and one on a separator choose nothing.
    script.steps = {Step(WM_MOUSEMOVE, 0, At(0)), Step(WM_LBUTTONDOWN, MK_LBUTTON, At(0)), Step(WM_LBUTTONUP, 0, At(0)),
                    Step(WM_LBUTTONUP, 0, At(2)), Step(WM_MOUSEMOVE, 0, At(1)),
                    Step(WM_LBUTTONDOWN, MK_LBUTTON, At(1)), Step(WM_LBUTTONUP, 0, At(1))};
    EXPECT_EQ(Track(), 2);
    EXPECT_EQ(Commands(), std::vector<WPARAM>{2});
    EXPECT_EQ(script.popupRect.left, 100);
    EXPECT_EQ(script.popupRect.top, 100);
    EXPECT_EQ(script.popupRect.right - script.popupRect.left, geometry.size.cx);
    EXPECT_EQ(script.popupRect.bottom - script.popupRect.top, geometry.size.cy);

    // The keyboard skips the disabled item and the separators.
    script.steps = {Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_RETURN)};
    EXPECT_EQ(Track(), 3);
    EXPECT_EQ(Commands(), std::vector<WPARAM>{3});
}

TEST_F(SkinMenuPopup, ClickOutsideEscapeFocusLossAndQuitDismissIt)
{
    script.steps = {Step(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, -5))};
    EXPECT_EQ(Track(), 0);
    script.steps = {Step(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(Track(), 0);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 400, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(owner);
    script.steps.clear();
    script.activate = other;
    EXPECT_EQ(Track(), 0);
    EXPECT_TRUE(Commands().empty());
    DestroyWindow(other);

    // A quit during the menu ends it and stays for the caller's loop.
    SetForegroundWindow(owner);
    script.activate = nullptr;
    script.steps = {Step(WM_QUIT, 7)};
    EXPECT_EQ(Track(), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);

    // Near the screen's bottom-right corner it opens to the left and upwards.
    const POINT corner = {GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2};
    script.steps = {Step(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(Track(corner), 0);
    EXPECT_LE(script.popupRect.right, corner.x);
    EXPECT_LE(script.popupRect.bottom, corner.y);
}

// The names of the items the focus events name, read while the popup runs.
std::vector<std::wstring> g_focusNames;

void CALLBACK ReadFocusedItem(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    IAccessible* acc = nullptr;
    VARIANT self;
    VariantInit(&self);
    if (FAILED(AccessibleObjectFromEvent(hwnd, object, child, &acc, &self)) || !acc) {
        g_focusNames.push_back(L"(unresolved)");
        return;
    }
    g_focusNames.push_back(ReadAccessible(acc, self.vt == VT_I4 ? self.lVal : CHILDID_SELF).name);
    acc->Release();
}

TEST_F(SkinMenuPopup, ScreenReadersSeeItsItemsAndFollowTheKeys)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    AccessibleSeen seen;
    script.inspect = [&](HWND popup) {
        IAccessible* acc = nullptr;
        if (SUCCEEDED(AccessibleObjectFromWindow(popup, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&acc))) &&
            acc) {
            seen = ReadAccessible(acc, CHILDID_SELF);
            acc->Release();
        }
    };
    g_focusNames.clear();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, GetModuleHandleW(nullptr),
                                         ReadFocusedItem, GetCurrentProcessId(), 0, WINEVENT_INCONTEXT);
    ASSERT_TRUE(hook);
    script.steps = {Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_ESCAPE)};
    EXPECT_EQ(Track(), 0);
    UnhookWinEvent(hook);

    EXPECT_EQ(seen.role, ROLE_SYSTEM_MENUPOPUP);
    ASSERT_EQ(seen.parts.size(), 5u);
    const wchar_t* names[] = {L"检查更新", L"更新日志", L"", L"退出", L""};
    const long roles[] = {ROLE_SYSTEM_MENUITEM, ROLE_SYSTEM_MENUITEM, ROLE_SYSTEM_SEPARATOR, ROLE_SYSTEM_MENUITEM,
                          ROLE_SYSTEM_SEPARATOR};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(testing::Message() << "item " << i);
        EXPECT_EQ(seen.parts[i].name, names[i]);
        EXPECT_EQ(seen.parts[i].role, roles[i]);
        EXPECT_EQ((seen.parts[i].state & STATE_SYSTEM_UNAVAILABLE) != 0, i == 0);
        const SkinRect& row = geometry.rows[i];
        EXPECT_EQ(seen.parts[i].where.left, script.popupRect.left + row.left);
        EXPECT_EQ(seen.parts[i].where.top, script.popupRect.top + row.top);
        EXPECT_EQ(seen.parts[i].where.bottom, script.popupRect.top + row.bottom);
    }
    // The keys skip the disabled item and the separator; each step is announced.
    EXPECT_EQ(g_focusNames, (std::vector<std::wstring>{L"更新日志", L"退出"}));
    CoUninitialize();
}

}  // namespace
