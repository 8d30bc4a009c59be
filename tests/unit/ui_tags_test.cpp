// The engine's tags for lists, trees, value controls, scroll bars, split
// windows and ActiveX objects, each in a real host window under Wine,
// driven with window messages and keys as a person drives them, and read
// back as the person sees them (pixels) and as a screen reader does.
#include "uitest.h"

#include "ui/hostwnd.h"
#include "ui/inputs.h"
#include "ui/listbox.h"
#include "ui/menu.h"
#include "ui/split.h"
#include "webpane/axhost.h"
#include "webpane/browserhost.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace SkinEngine;

namespace {

const uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kYellow = 0xFFFF00;
// Scroll-bar parts in rows of 16 (arrows, track, thumb, …), a grey each.
const uint32_t kPartGrey[] = {0x202020, 0x404040, 0x606060, 0x808080, 0xA0A0A0, 0xC0C0C0, 0xE0E0E0};

class TagWindow : public SkinHostWnd {
public:
    std::vector<SkinNotify> notifies;
    // The values of the value changes control `id` sent, in order.
    std::vector<int> Values(int id) const
    {
        std::vector<int> values;
        for (const SkinNotify& n : notifies)
            if (n.hdr.code == kNotifyValueChange && n.id == id) values.push_back(n.value);
        return values;
    }

protected:
    LRESULT OnEngineNotify(const SkinNotify& notify) override
    {
        notifies.push_back(notify);
        return 0;
    }
};

class SkinTags : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        // Four states of 20 pixels: red, blue, green, yellow.
        const uint32_t states[] = {kRed, kBlue, kGreen, kYellow};
        source.AddImage(1, BmpFile(80, 20, [&](int x, int) { return states[x / 20]; }));
        source.AddImage(2, BmpFile(64, 112, [](int x, int y) { return kPartGrey[y / 16] + x / 16; }));
    }
    void TearDown() override
    {
        wnd.Destroy();
        CoUninitialize();
    }
    HWND Open(const std::string& body, const std::string& skins = "")
    {
        source.AddXml(kXmlStrings, "<string/>");
        source.AddXml(kXmlSkins, "<skins><imglst name=\"four\" src=\"1\" states=\"4\"/>"
                                 "<scrollbar name=\"sb\" src=\"2\" magin=\"3\"/>" + skins + "</skins>");
        source.AddXml(kXmlStyles, "<style/>");
        source.AddXml(kXmlObjAttr, "<objattr/>");
        EXPECT_TRUE(pools.Load(source));
        EXPECT_TRUE(doc.Load("<layer title=\"Tags\" width=\"300\" height=\"200\"><body>" + body + "</body></layer>"));
        HWND hwnd = wnd.Create(doc, pools, source, nullptr, 0, factory);
        if (!hwnd) return nullptr;
        SetWindowPos(hwnd, HWND_TOPMOST, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        return hwnd;
    }
    void Send(UINT msg, int x, int y, WPARAM wParam = 0)
    {
        SendMessageW(wnd.Window(), msg, wParam, MAKELPARAM(x, y));
    }
    void Click(int x, int y)
    {
        Send(WM_MOUSEMOVE, x, y);
        Send(WM_LBUTTONDOWN, x, y);
        Send(WM_LBUTTONUP, x, y);
    }
    void Wheel(int x, int y, int notches)
    {
        POINT screen = {x, y};
        ClientToScreen(wnd.Window(), &screen);
        Send(WM_MOUSEWHEEL, screen.x, screen.y, MAKEWPARAM(0, static_cast<WORD>(notches * WHEEL_DELTA)));
    }
    void Key(UINT vk, std::initializer_list<int> held = {}, UINT message = WM_KEYDOWN)
    {
        EXPECT_TRUE(PressKey(wnd, vk, held, message)) << "key " << vk;
    }
    // What the window paints, off the screen.
    uint32_t Painted(int x, int y)
    {
        dib = wnd.Layer().Render(RGB(255, 255, 255));
        return dib ? dib->Pixel(x, y) : 0xDEADBEEF;
    }
    AccessibleSeen Seen() { return ReadWindowAccessible(wnd.Window()); }

    TagWindow wnd;
};

// --- Lists and trees ---

TEST_F(SkinTags, ListsAndTreesSelectByMouseAndKeysScrollAndReadAsListAndOutline)
{
    ASSERT_TRUE(Open("<listbox id=\"1\" pos=\"0,0,100,60\" cursel=\"1\" sbskin=\"sb\">"
                     "<item>Alpha</item><item>Beta</item><item>Gamma</item><item>Delta</item><item>Epsilon</item>"
                     "</listbox>"
                     "<treectrl id=\"2\" pos=\"120,0,300,200\" indent=\"30\" crselbg=\"FF0000\" crtext=\"000000\">"
                     "<item>Fruit<item>Apple</item><item>Pear</item></item><item>Veg<item>Leek</item></item>"
                     "</treectrl>"));
    auto* list = wnd.FindAs<CSkinListBox>(1);
    auto* tree = wnd.FindAs<CSkinListBox>(2);
    ASSERT_TRUE(list && tree);
    EXPECT_EQ(list->CurSel(), 1) << "cursel";

    // Five 20-pixel rows in 60: a bar, the rows narrower; a press selects and takes the keys.
    EXPECT_TRUE(list->Bar().Needed());
    EXPECT_EQ(list->RowRect(0).right, 84);
    Click(40, 50);
    EXPECT_EQ(list->CurSel(), 2);
    EXPECT_EQ(wnd.FocusedControl(), list);
    Key(VK_DOWN);
    EXPECT_EQ(list->Bar().Offset(), 20) << "the row below the view is scrolled in";
    Key(VK_END);
    Key(VK_HOME);
    Key(VK_UP);  // nothing above the first row
    EXPECT_EQ(wnd.Values(1), (std::vector<int>{2, 3, 4, 0}));
    EXPECT_EQ(list->Bar().Offset(), 0);
    Wheel(40, 30, -1);  // three rows a notch, as far as there is to go
    EXPECT_EQ(list->Bar().Offset(), 40);
    EXPECT_EQ(list->CurSel(), 0) << "the wheel only scrolls";

    // The tree: a press unfolds a branch and selects it; the keys walk and fold.
    auto shown = [&] {
        std::vector<std::wstring> rows;
        for (int row = 0; row < tree->RowCount(); ++row) rows.push_back(tree->RowItem(row)->Text());
        return rows;
    };
    EXPECT_EQ(shown(), (std::vector<std::wstring>{L"Fruit", L"Veg"}));
    Click(200, 10);
    EXPECT_EQ(shown(), (std::vector<std::wstring>{L"Fruit", L"Apple", L"Pear", L"Veg"}));
    EXPECT_EQ(wnd.FocusedControl(), tree);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(tree->SelectedItem()->Text(), L"Pear");
    Key(VK_LEFT);
    EXPECT_EQ(tree->SelectedItem()->Text(), L"Fruit") << "Left on a leaf goes to its parent";
    Key(VK_LEFT);
    EXPECT_EQ(shown(), (std::vector<std::wstring>{L"Fruit", L"Veg"}));
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    EXPECT_EQ(tree->SelectedItem()->Text(), L"Apple");
    EXPECT_EQ(wnd.Values(2), (std::vector<int>{0, 1, 2, 0, 1}));

    // Drawn: the selected row red, an item one indent in.
    EXPECT_EQ(Painted(295, 30), kRed);
    EXPECT_EQ(Painted(295, 10), kWhite);
    EXPECT_EQ(InkIn(SkinRect{120, 40, 150, 60}), 0) << "Pear left of its indent";
    EXPECT_GT(InkIn(SkinRect{150, 40, 220, 60}), 0);

    // Read: a list whose items are selectable, the first selected but scrolled away; an outline.
    const AccessibleSeen root = Seen();
    const AccessibleSeen* alpha = FindSeen(root, L"Alpha", ROLE_SYSTEM_LISTITEM);
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->state & (STATE_SYSTEM_SELECTED | STATE_SYSTEM_OFFSCREEN),
              STATE_SYSTEM_SELECTED | STATE_SYSTEM_OFFSCREEN);
    const AccessibleSeen* fruit = FindSeen(root, L"Fruit", ROLE_SYSTEM_OUTLINEITEM);
    const AccessibleSeen* veg = FindSeen(root, L"Veg", ROLE_SYSTEM_OUTLINEITEM);
    ASSERT_TRUE(fruit && veg);
    EXPECT_TRUE(fruit->state & STATE_SYSTEM_EXPANDED);
    EXPECT_TRUE(veg->state & STATE_SYSTEM_COLLAPSED);
    ASSERT_EQ(fruit->parts.size(), 2u);
    EXPECT_EQ(fruit->parts[0].name, L"Apple");
    EXPECT_EQ(fruit->parts[0].value, L"1");
    EXPECT_TRUE(fruit->parts[0].state & STATE_SYSTEM_SELECTED);
    ASSERT_EQ(veg->parts.size(), 1u);
    EXPECT_TRUE(veg->parts[0].state & STATE_SYSTEM_INVISIBLE) << "Leek is folded away";
    const AccessibleSeen* outline = nullptr;
    for (const AccessibleSeen& part : root.parts)
        if (part.role == ROLE_SYSTEM_OUTLINE) outline = &part;
    ASSERT_TRUE(outline);
    EXPECT_EQ(outline->value, L"Apple");

    // Folding a branch by code takes the selection up to it.
    tree->Expand(tree->RowItem(0), false);
    EXPECT_EQ(tree->SelectedItem()->Text(), L"Fruit");
}

// --- Values: slider, toggle, hot key ---

TEST_F(SkinTags, SliderToggleAndHotKeyTakeTheirValuesFromClicksDragsAndKeys)
{
    ASSERT_TRUE(Open("<sliderbar id=\"3\" pos=\"10,10,110,30\" max=\"50\" value=\"10\" step=\"5\" crtext=\"0000FF\"/>"
                     "<togglectrl id=\"4\" pos=\"10,40,90,60\" skin=\"four\">Mute</togglectrl>"
                     "<hotkey id=\"5\" pos=\"10,70,150,90\" tip=\"Shortcut\">None</hotkey>"));
    auto* slider = wnd.FindAs<CSkinSlider>(3);
    auto* hotkey = wnd.FindAs<CSkinHotKey>(5);
    ASSERT_TRUE(slider && hotkey);

    // 10 of 0..50 on 100 pixels less a 9-pixel thumb: the thumb's left edge at 10 + 91 / 5.
    EXPECT_EQ(Painted(28, 20), kBlue);
    EXPECT_EQ(Painted(27, 20), kWhite);
    EXPECT_EQ(Painted(37, 20), kWhite);
    // A press on the track takes the nearest value (47 of 91 pixels: 25.8), a
    // drag runs past both ends; then the keys.
    Click(10 + 4 + 47, 20);
    EXPECT_EQ(slider->Value(), 26);
    Send(WM_LBUTTONDOWN, 61, 20);
    Send(WM_MOUSEMOVE, 400, 20);
    Send(WM_MOUSEMOVE, -40, 20);
    Send(WM_LBUTTONUP, -40, 20);
    EXPECT_EQ(wnd.FocusedControl(), slider);
    Key(VK_RIGHT);
    Key(VK_NEXT);
    Key(VK_END);
    Key(VK_DOWN);  // at the end already
    Key(VK_LEFT);
    EXPECT_EQ(wnd.Values(3), (std::vector<int>{26, 50, 0, 5, 10, 50, 45}));
    EXPECT_EQ(Painted(10 + 91 * 45 / 50 + 4, 20), kBlue);

    // The toggle: a click pushes it in (green, yellow while hovered), Space lets it out.
    Click(50, 50);
    EXPECT_EQ(Painted(15, 45), kYellow);
    Send(WM_MOUSEMOVE, 250, 190);
    EXPECT_EQ(Painted(15, 45), kGreen);
    const AccessibleSeen muteTree = Seen();  // the pointer below points into it
    const AccessibleSeen* mute = FindSeen(muteTree, L"Mute", ROLE_SYSTEM_PUSHBUTTON);
    ASSERT_TRUE(mute);
    EXPECT_TRUE(mute->state & STATE_SYSTEM_PRESSED);
    Key(VK_TAB);
    Key(VK_TAB);
    Key(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(wnd.FocusedControl(), wnd.FindControl(4)) << "Tab from the slider twice, Shift+Tab back once";
    Key(VK_SPACE);
    EXPECT_EQ(Painted(15, 45), kRed);

    // The hot key field takes combinations, Alt ones too, and leaves the dialog its keys.
    Click(50, 80);
    Key('K', {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(hotkey->HotKey(), MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_SHIFT));
    EXPECT_EQ(hotkey->KeyText(), L"Ctrl+Shift+K");
    Key(VK_F5, {VK_MENU}, WM_SYSKEYDOWN);
    Key(VK_SHIFT, {VK_SHIFT});  // a modifier alone
    Key(VK_RETURN);             // the dialog's: clicks the focused field, which changes nothing
    const AccessibleSeen fieldTree = Seen();  // the pointer below points into it
    const AccessibleSeen* field = FindSeen(fieldTree, L"None", ROLE_SYSTEM_HOTKEYFIELD);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->value, L"Alt+F5");
    Key(VK_BACK);
    EXPECT_EQ(hotkey->HotKey(), 0);
    EXPECT_EQ(wnd.Values(5), (std::vector<int>{MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_SHIFT),
                                               MAKEWORD(VK_F5, HOTKEYF_ALT), 0}));
    std::vector<int> clicks;
    for (const SkinNotify& n : wnd.notifies)
        if (n.hdr.code == kNotifyClick) clicks.push_back(n.id);
    EXPECT_EQ(clicks, (std::vector<int>{4, 4})) << "only the toggle's click and Space";
}

// --- The combo box ---

TEST_F(SkinTags, ComboBoxChoosesFromItsDropDownByMouseAndKeysAndWithUpAndDownInItsBox)
{
    ASSERT_TRUE(Open("<combobox id=\"6\" pos=\"10,10,160,34\" cursel=\"0\" btnskin=\"arrow\" crtext=\"000000\">"
                     "<item>Beijing</item><item>Shanghai</item><item>Shenzhen</item></combobox>",
                     SolidSkin("arrow", kGreen)));
    auto* combo = wnd.FindAs<CSkinComboBox>(6);
    ASSERT_TRUE(combo && combo->Edit().Handle());
    EXPECT_EQ(combo->Edit().GetText(), L"Beijing");
    EXPECT_EQ(Painted(150, 20), kGreen) << "the button";
    EXPECT_EQ(combo->ButtonRect(), (SkinRect{136, 10, 160, 34}));

    // Up and Down in the box, as it is typed in.
    wnd.SetFocusTo(&combo->Edit());
    Key(VK_DOWN);
    EXPECT_EQ(combo->Edit().GetText(), L"Shanghai");
    Key(VK_UP);
    Key(VK_UP);  // nothing above the first
    EXPECT_EQ(combo->Edit().GetText(), L"Beijing");

    // A click on the button drops the list below the box, as wide as it; the keys choose.
    PopupScript script;
    script.steps = {Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_DOWN),
                    Step(WM_KEYDOWN, VK_RETURN)};
    StartPopupScript(script);
    Click(150, 20);
    EXPECT_EQ(combo->Edit().GetText(), L"Shenzhen");
    POINT below = {10, 34};
    ClientToScreen(wnd.Window(), &below);
    EXPECT_EQ(script.popupRect.left, below.x);
    EXPECT_EQ(script.popupRect.top, below.y);
    EXPECT_GE(script.popupRect.right - script.popupRect.left, 150);
    // Alt+Down drops it too; a click on the first row chooses it, Esc chooses nothing.
    const int row = kMenuBorder + 24 / 2;
    script.steps = {Step(WM_MOUSEMOVE, 0, MAKELPARAM(20, row)), Step(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, row)),
                    Step(WM_LBUTTONUP, 0, MAKELPARAM(20, row))};
    StartPopupScript(script);
    Key(VK_DOWN, {VK_MENU}, WM_SYSKEYDOWN);
    EXPECT_EQ(combo->Edit().GetText(), L"Beijing");
    script.steps = {Step(WM_KEYDOWN, VK_DOWN), Step(WM_KEYDOWN, VK_ESCAPE)};
    StartPopupScript(script);
    Key(VK_F4);
    EXPECT_EQ(combo->CurSel(), 0);
    EXPECT_EQ(wnd.Values(6), (std::vector<int>{1, 0, 2, 0}));

    const AccessibleSeen root = Seen();
    ASSERT_EQ(root.parts.size(), 1u);
    EXPECT_EQ(root.parts[0].role, ROLE_SYSTEM_COMBOBOX);
    EXPECT_EQ(root.parts[0].value, L"Beijing");
    ASSERT_EQ(root.parts[0].parts.size(), 1u) << "the box; the items are in the list";
    EXPECT_EQ(root.parts[0].parts[0].role, ROLE_SYSTEM_TEXT);
}

// --- Scroll bars and split windows ---

TEST_F(SkinTags, ScrollBarAndSplitWindowFollowArrowsTrackThumbWheelAndSeparatorDrags)
{
    ASSERT_TRUE(Open("<scrollbar id=\"7\" pos=\"200,0,216,120\" skin=\"sb\" max=\"100\" page=\"20\" value=\"30\" line=\"5\"/>"
                     "<splitwnd id=\"8\" pos=\"0,130,300,200\" sepsize=\"4\">"
                     "<pane id=\"81\" idealsize=\"100\" minsize=\"60\"/><pane id=\"82\" idealsize=\"100\" minsize=\"40\"/>"
                     "</splitwnd>"
                     "<splitwnd id=\"9\" pos=\"220,0,300,120\" sepsize=\"2\" vertical=\"1\">"
                     "<pane id=\"91\" idealsize=\"40\"/><pane id=\"92\" idealsize=\"40\"/></splitwnd>"));
    auto* bar = wnd.FindAs<CSkinScrollBarCtrl>(7);
    ASSERT_TRUE(bar);
    // Positions 0..100 with 20 seen: 120 units on an 88-pixel track, the thumb its shortest, 16.
    const int top = 16 + 72 * 30 / 100;
    EXPECT_EQ(Painted(208, top + 8), kPartGrey[3]) << "thumb";
    EXPECT_EQ(Painted(208, top - 2), kPartGrey[2]) << "track";
    Click(208, 5);                           // up arrow: a line
    Click(208, 100);                         // track below the thumb: a page
    const int grab = 16 + 72 * 45 / 100 + 8;  // the thumb's middle at 45
    Send(WM_LBUTTONDOWN, 208, grab);
    Send(WM_MOUSEMOVE, 208, grab + 36);      // half the travel: half the range
    Send(WM_MOUSEMOVE, 208, 500);
    Send(WM_LBUTTONUP, 208, 500);
    Wheel(208, 60, -1);                      // at the end already
    Wheel(208, 60, 1);
    EXPECT_EQ(wnd.Values(7), (std::vector<int>{25, 45, 95, 100, 85}));
    const AccessibleSeen* read = nullptr;
    const AccessibleSeen root = Seen();
    for (const AccessibleSeen& part : root.parts)
        if (part.role == ROLE_SYSTEM_SCROLLBAR) read = &part;
    ASSERT_TRUE(read);
    EXPECT_EQ(read->value, L"85");

    // Two panes share 296 pixels; the separator drags, each pane kept to its minimum.
    auto width = [&](int id) { return wnd.FindControl(id)->Rect().Width(); };
    EXPECT_EQ(width(81), 148);
    Send(WM_LBUTTONDOWN, 150, 160);
    Send(WM_MOUSEMOVE, 100, 160);
    EXPECT_EQ(width(81), 98);
    EXPECT_EQ(wnd.FindControl(82)->Rect().left, 102);
    EXPECT_EQ(width(82), 198);
    Send(WM_MOUSEMOVE, -100, 160);
    EXPECT_EQ(width(81), 60);
    Send(WM_MOUSEMOVE, 1000, 160);
    Send(WM_LBUTTONUP, 1000, 160);
    EXPECT_EQ(width(82), 40);
    Send(WM_MOUSEMOVE, 50, 160);
    EXPECT_EQ(width(82), 40) << "released: no drag";
    // Top to bottom: 59 and 59 pixels, the separator between them dragged 20 down.
    EXPECT_EQ(wnd.FindControl(91)->Rect().Height(), 59);
    Send(WM_LBUTTONDOWN, 260, 60);
    Send(WM_MOUSEMOVE, 260, 80);
    Send(WM_LBUTTONUP, 260, 80);
    EXPECT_EQ(wnd.FindControl(91)->Rect().Height(), 79);
    EXPECT_EQ(wnd.FindControl(92)->Rect().Height(), 39);
}

// --- ActiveX ---

TEST_F(SkinTags, ActiveXObjectsMissingOrWithoutAHostAreEmptyBoxesAndAnInstalledOneIsHosted)
{
    // No host registered: the engine alone knows no OLE.
    RegisterRealWndCreator(kActiveXHostClass, nullptr);
    ASSERT_TRUE(Open("<flash id=\"9\" pos=\"10,10,110,60\" tip=\"Player\"/>"));
    auto* flash = wnd.FindAs<CSkinActiveX>(9);
    ASSERT_TRUE(flash);
    EXPECT_EQ(flash->Handle(), nullptr);
    EXPECT_EQ(Painted(10, 30), 0xA0A0A0u) << "the box's frame";
    EXPECT_EQ(Painted(60, 30), kWhite);
    const AccessibleSeen boxTree = Seen();  // the pointer below points into it
    const AccessibleSeen* box = FindSeen(boxTree, L"Player", ROLE_SYSTEM_CLIENT);
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->state & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_NE(ReadTodaysLog().find("flash 9: no host for ActiveX objects"), std::string::npos);
    wnd.Destroy();

    // With the application's host: the player is not installed under Wine,
    // the web browser control is, by CLSID.
    RegisterActiveXHost();
    TagWindow second;
    LayerDocument both;
    ASSERT_TRUE(both.Load("<layer title=\"AX\" width=\"300\" height=\"200\"><body>"
                          "<flash id=\"9\" pos=\"10,10,110,60\"/>"
                          "<activex id=\"10\" pos=\"120,10,290,150\" clsid=\"{8856F961-340A-11D0-A96B-00C04FD705A2}\"/>"
                          "</body></layer>"));
    ASSERT_TRUE(second.Create(both, pools, source, nullptr, 0, factory));
    EXPECT_EQ(second.FindAs<CSkinActiveX>(9)->Handle(), nullptr);
    EXPECT_NE(ReadTodaysLog().find("activex host: ShockwaveFlash.ShockwaveFlash is not installed"), std::string::npos);
    HWND hosted = second.FindAs<CSkinActiveX>(10)->Handle();
    ASSERT_TRUE(hosted);
    wchar_t name[64] = L"";
    GetClassNameW(hosted, name, 64);
    EXPECT_STREQ(name, L"PylonixActiveXHost");
    RECT place;
    GetWindowRect(hosted, &place);
    MapWindowPoints(nullptr, second.Window(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, 120);
    EXPECT_EQ(place.bottom, 150);
    EXPECT_TRUE(GetWindow(hosted, GW_CHILD)) << "the object placed no window of its own in the host";
    EXPECT_GT(BrowserObjectsAlive(), 0);
    second.Destroy();
    EXPECT_EQ(BrowserObjectsAlive(), 0) << "the object's site outlived its window";
    RegisterRealWndCreator(kActiveXHostClass, nullptr);
}

}  // namespace
