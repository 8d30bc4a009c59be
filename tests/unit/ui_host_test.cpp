// The host window under Wine: a real top-level window built from a layer,
// driven with real window messages, read back from the screen.
#include "uitest.h"

#include "gui/controls.h"
#include "ui/hostwnd.h"
#include "ui/native.h"
#include "ui/scrollbar.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <climits>

#include <vector>

using namespace SkinEngine;

namespace {

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

// Records the engine's notifications and answers them.
class RecordingWindow : public SkinHostWnd {
public:
    std::vector<SkinNotify> notifies;
    LRESULT answer = 0;
    // Run from inside a click: ends the modal loop.
    int endWith = -1;
    bool ownerEnabled = true;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_NOTIFY && wParam == kEngineNotifyId) {
            notifies.push_back(*reinterpret_cast<SkinNotify*>(lParam));
            HWND owner = GetWindow(Window(), GW_OWNER);
            ownerEnabled = owner && IsWindowEnabled(owner);
            if (endWith >= 0) EndModal(endWith);
            return answer;
        }
        return SkinHostWnd::HandleMessage(msg, wParam, lParam);
    }
};

class TickCounter : public CSkinControl {
public:
    int ticks = 0;
    void OnTimer(ISkinHost& host) override { ++ticks; }
};

const uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kGrey = 0x808080;

class SkinHost : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        RegisterApplicationControls(factory);
        factory.Register<TickCounter>("ticker");
        // Buttons: normal red, hover blue, pushed green, 20 pixels a state.
        source.AddImage(1, BmpFile(60, 20, [](int x, int) { return x < 20 ? kRed : x < 40 ? kBlue : kGreen; }));
    }
    HWND Open(const std::string& layerXml, const std::string& skins = "", HWND owner = nullptr)
    {
        source.AddXml(kXmlStrings, "<string/>");
        source.AddXml(kXmlSkins, "<skins><imglst name=\"btn\" src=\"1\" states=\"3\"/>" + skins + "</skins>");
        source.AddXml(kXmlStyles, "<style/>");
        source.AddXml(kXmlObjAttr, "<objattr><imgbtn skin=\"btn\"/><myimgbtn skin=\"btn\"/></objattr>");
        EXPECT_TRUE(pools.Load(source));
        EXPECT_TRUE(doc.Load(layerXml));
        return wnd.Create(doc, pools, source, owner, 0, factory);
    }
    // What the screen shows at a client point of the window.
    uint32_t ScreenPx(int x, int y)
    {
        HDC dc = GetDC(wnd.Window());
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(wnd.Window(), dc);
        return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
    }
    LRESULT Send(UINT msg, LPARAM lParam, WPARAM wParam = 0)
    {
        return SendMessageW(wnd.Window(), msg, wParam, lParam);
    }

    RecordingWindow wnd;
};

TEST_F(SkinHost, WindowFromTheLayerLaysOutOnEverySize)
{
    HWND hwnd = Open(u8"<layer title=\"系统设置\" width=\"300\" height=\"200\" resize=\"1\" minsize=\"200,150\""
                     u8" ncRect=\"4,4,4,4\"><body>"
                     u8"<div id=\"5\" pos=\"-45,0,-0,20\"/><div id=\"6\" pos=\"0,|-10,-0,|10\"/></body></layer>");
    ASSERT_TRUE(hwnd);
    wchar_t title[32] = {};
    GetWindowTextW(hwnd, title, 32);
    EXPECT_STREQ(title, L"系统设置");
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_THICKFRAME);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 300);  // no system frame takes room
    EXPECT_EQ(client.bottom, 200);

    SetWindowPos(hwnd, nullptr, 0, 0, 500, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(wnd.FindControl(5)->Rect(), (SkinRect{455, 0, 500, 20}));
    EXPECT_EQ(wnd.FindControl(6)->Rect(), (SkinRect{0, 150, 500, 170}));

    MINMAXINFO info = {};
    Send(WM_GETMINMAXINFO, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 150);

    // Resizing borders of ncRect, the rest is client area.
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(Send(WM_NCHITTEST, At(window.left + 1, window.top + 1)), HTTOPLEFT);
    EXPECT_EQ(Send(WM_NCHITTEST, At(window.right - 2, window.top + 100)), HTRIGHT);
    EXPECT_EQ(Send(WM_NCHITTEST, At(window.left + 100, window.top + 100)), HTCLIENT);
}

TEST_F(SkinHost, PaintsTheSkinsAndFollowsVisibility)
{
    HWND hwnd = Open("<layer title=\"P\" width=\"200\" height=\"100\"><body>"
                     "<img id=\"7\" pos=\"10,10,60,40\" skin=\"grey\"/>"
                     "<imgbtn id=\"2\" pos=\"100,10\"/><imgbtn id=\"3\" pos=\"100,10,120,30\" show=\"0\" skin=\"grey\"/>"
                     "</body></layer>",
                     SolidSkin("grey", kGrey));
    ASSERT_TRUE(hwnd);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    // Away from where other tests' windows open, on top of everything.
    SetWindowPos(hwnd, HWND_TOPMOST, 850, 650, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    wnd.Redraw();
    ASSERT_TRUE(PumpUntil([&] { return ScreenPx(30, 20) == kGrey; })) << "the window never showed its image";
    EXPECT_EQ(ScreenPx(30, 20), kGrey);
    EXPECT_EQ(ScreenPx(5, 5), 0xFFFFFFu);
    EXPECT_EQ(ScreenPx(110, 20), kRed);

    // Two buttons on one place: code shows one and hides the other.
    ASSERT_TRUE(wnd.ShowControl(2, false));
    ASSERT_TRUE(wnd.ShowControl(3, true));
    ASSERT_TRUE(wnd.ShowControl(7, false));
    wnd.Redraw();
    ASSERT_TRUE(PumpUntil([&] { return ScreenPx(110, 20) == kGrey; })) << "the shown twin never appeared";
    EXPECT_EQ(ScreenPx(110, 20), kGrey);
    EXPECT_EQ(ScreenPx(30, 20), 0xFFFFFFu);
    EXPECT_FALSE(wnd.ShowControl(99, true));
}

TEST_F(SkinHost, MouseHoversPressesAndClicksOnlyWhenReleasedInside)
{
    ASSERT_TRUE(Open("<layer title=\"M\" width=\"200\" height=\"100\"><body>"
                     "<imgbtn id=\"2\" pos=\"100,10\"/><imgbtn id=\"3\" pos=\"100,10\" show=\"0\"/>"
                     "<text id=\"4\" pos=\"0,60,-0,-0\">label</text></body></layer>"));
    // Tips follow the control under the mouse.
    wnd.FindControl(2)->SetAttribute("tip", u8"关闭");
    auto tipText = [&] {
        wchar_t text[80] = {};
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = wnd.Window();
        tool.uId = reinterpret_cast<UINT_PTR>(wnd.Window());
        tool.lpszText = text;
        SendMessageW(wnd.Tooltip(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
        return std::wstring(text);
    };
    CSkinControl* button = wnd.FindControl(2);
    Send(WM_MOUSEMOVE, At(105, 15));
    EXPECT_EQ(wnd.HoverControl(), button);
    EXPECT_EQ(button->PaintState(), 1u);
    EXPECT_EQ(tipText(), L"关闭");
    Send(WM_LBUTTONDOWN, At(105, 15));
    EXPECT_EQ(button->PaintState(), 2u);
    wnd.answer = 42;
    Send(WM_LBUTTONUP, At(106, 16));
    ASSERT_EQ(wnd.notifies.size(), 1u);
    EXPECT_EQ(wnd.notifies[0].hdr.idFrom, kEngineNotifyId);
    EXPECT_EQ(wnd.notifies[0].hdr.code, kNotifyClick);
    EXPECT_EQ(wnd.notifies[0].hdr.hwndFrom, wnd.Window());
    EXPECT_EQ(wnd.notifies[0].id, 2);
    EXPECT_EQ(button->PaintState(), 1u);

    // Pressed, then released outside: no click.
    Send(WM_LBUTTONDOWN, At(105, 15));
    Send(WM_MOUSEMOVE, At(10, 80));
    Send(WM_LBUTTONUP, At(10, 80));
    EXPECT_EQ(wnd.notifies.size(), 1u);
    EXPECT_EQ(button->PaintState(), 0u);
    EXPECT_EQ(tipText(), L"");
    // A text takes no click; a click on the hidden twin's place goes to the shown one.
    Send(WM_LBUTTONDOWN, At(10, 80));
    Send(WM_LBUTTONUP, At(10, 80));
    EXPECT_EQ(wnd.notifies.size(), 1u);
    wnd.ShowControl(2, false);
    wnd.ShowControl(3, true);
    Send(WM_LBUTTONDOWN, At(105, 15));
    Send(WM_LBUTTONUP, At(105, 15));
    ASSERT_EQ(wnd.notifies.size(), 2u);
    EXPECT_EQ(wnd.notifies[1].id, 3);
}

TEST_F(SkinHost, RowButtonsReportTheirRowAndDeletedRowsLeaveNoDanglingHover)
{
    ASSERT_TRUE(Open("<layer title=\"R\" width=\"200\" height=\"100\"><body>"
                     "<mylistbox id=\"1131\" pos=\"0,0,-0,-0\" itemheight=\"40\"/></body></layer>"));
    auto* list = wnd.FindAs<CMyListBox>(1131);
    ASSERT_TRUE(list);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(list->AppendRow(std::string("<div><myimgbtn id=\"1\" pos=\"150,5\" name=\"fix\"/></div>"), pools,
                                  factory),
                  i);
    wnd.Layer().Layout(200, 100);
    // Row 1 spans 40..80.
    Send(WM_LBUTTONDOWN, At(155, 50));
    Send(WM_LBUTTONUP, At(155, 50));
    ASSERT_EQ(wnd.notifies.size(), 1u);
    EXPECT_EQ(wnd.notifies[0].hdr.code, kNotifyRowClick);
    EXPECT_EQ(wnd.notifies[0].rowIndex, 1);
    EXPECT_EQ(wnd.notifies[0].row, list->Row(1));
    EXPECT_EQ(wnd.notifies[0].control, list->FindInRow(1, 1));

    // The wheel scrolls one row per notch (no scrollspeed): row 3 comes into view.
    POINT screen = {10, 10};
    ClientToScreen(wnd.Window(), &screen);
    Send(WM_MOUSEWHEEL, MAKELPARAM(screen.x, screen.y), MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)));
    EXPECT_EQ(list->ScrollOffset(), 40);
    Send(WM_LBUTTONDOWN, At(155, 50));
    Send(WM_LBUTTONUP, At(155, 50));
    ASSERT_EQ(wnd.notifies.size(), 2u);
    EXPECT_EQ(wnd.notifies[1].rowIndex, 2);

    Send(WM_MOUSEMOVE, At(155, 50));
    EXPECT_EQ(wnd.HoverControl(), list->FindInRow(2, 1));
    list->DeleteAllRows();
    EXPECT_EQ(wnd.HoverControl(), nullptr);
    Send(WM_MOUSEMOVE, At(156, 51));
    EXPECT_EQ(wnd.HoverControl(), list);
}

TEST_F(SkinHost, TimersTickUntilStopped)
{
    ASSERT_TRUE(Open("<layer title=\"T\" width=\"100\" height=\"100\"><body><ticker id=\"1\"/><ticker id=\"2\"/>"
                     "</body></layer>"));
    auto* first = wnd.FindAs<TickCounter>(1);
    auto* second = wnd.FindAs<TickCounter>(2);
    wnd.StartTimer(first, 20);
    wnd.StartTimer(second, 20);
    ASSERT_TRUE(PumpUntil([&] { return first->ticks >= 3 && second->ticks >= 3; })) << "the timers do not tick";
    EXPECT_GE(first->ticks, 3);
    wnd.StopTimer(first);
    const int stopped = first->ticks;
    const int running = second->ticks;
    // Three more ticks of its twin, at the same rate, and not one of its own.
    ASSERT_TRUE(PumpUntil([&] { return second->ticks >= running + 3; })) << "the other timer stopped too";
    EXPECT_EQ(first->ticks, stopped);
    EXPECT_GT(second->ticks, running);
}

TEST_F(SkinHost, ModalLoopEndsWithTheCodeAndGivesTheOwnerBack)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    ASSERT_TRUE(Open("<layer title=\"D\" width=\"100\" height=\"60\"><body><imgbtn id=\"1\" pos=\"0,0\"/></body>"
                     "</layer>",
                     "", owner));
    wnd.endWith = 7;
    // The click arrives once the loop runs; the owner is disabled meanwhile.
    PostMessageW(wnd.Window(), WM_LBUTTONDOWN, 0, At(5, 5));
    PostMessageW(wnd.Window(), WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(wnd.RunModal(), 7);
    EXPECT_FALSE(wnd.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindowVisible(wnd.Window()));

    // A window destroyed while modal ends the loop with -1.
    PostMessageW(wnd.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(wnd.RunModal(), -1);
    EXPECT_EQ(wnd.Window(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

// --- Scroll bars ---

TEST(ScrollBarGeometry, ThumbTouchesBothArrowsAtTheEndsAndEveryActionStaysInRange)
{
    ScrollBar bar;
    bar.Place(SkinRect{0, 0, 16, 338});
    bar.SetLineStep(60);
    bar.SetRange(540, 338);  // nine 60-pixel rows in the check list's view
    ASSERT_TRUE(bar.Needed());
    EXPECT_EQ(bar.Thumb().top, bar.UpArrow().bottom);
    EXPECT_EQ(bar.Thumb().Height(), (338 - 32) * 338 / 540);
    EXPECT_TRUE(bar.SetOffset(bar.MaxOffset()));
    EXPECT_EQ(bar.MaxOffset(), 540 - 338);
    EXPECT_EQ(bar.Thumb().bottom, bar.DownArrow().top);

    // A track click above the thumb pages up, and stops at the top.
    EXPECT_TRUE(bar.MouseDown(POINT{8, 20}));
    EXPECT_EQ(bar.Offset(), 0);
    bar.MouseUp();
    EXPECT_FALSE(bar.MouseDown(POINT{8, 5})) << "the up arrow at the top changes nothing";
    bar.MouseUp();
    // A drag far past the end clamps.
    const SkinRect thumb = bar.Thumb();
    EXPECT_EQ(bar.HitTest(POINT{8, thumb.top + 2}), ScrollBar::kThumb);
    bar.MouseDown(POINT{8, thumb.top + 2});
    EXPECT_TRUE(bar.MouseMove(POINT{8, 5000}));
    EXPECT_EQ(bar.Offset(), bar.MaxOffset());
    EXPECT_TRUE(bar.MouseMove(POINT{8, -5000}));
    EXPECT_EQ(bar.Offset(), 0);
    bar.MouseUp();
    EXPECT_FALSE(bar.MouseMove(POINT{8, 200})) << "no drag after the release";

    // The view grows past the content (maximised): nothing left to scroll.
    bar.SetOffset(150);
    EXPECT_TRUE(bar.SetRange(540, 638));
    EXPECT_EQ(bar.Offset(), 0);
    EXPECT_FALSE(bar.Needed());
    EXPECT_EQ(bar.HitTest(POINT{8, 100}), ScrollBar::kNone);
    EXPECT_FALSE(bar.Wheel(-WHEEL_DELTA));
}

// Scroll-bar parts in rows of 16, a grey each, the state column in blue.
const uint32_t kPartGrey[] = {0x202020, 0x404040, 0x606060, 0x808080, 0xA0A0A0, 0xC0C0C0, 0xE0E0E0};

class SkinHostScroll : public SkinHost {
protected:
    void SetUp() override
    {
        SkinHost::SetUp();
        source.AddImage(9, BmpFile(64, 112, [](int x, int y) { return kPartGrey[y / 16] + x / 16; }));
    }
};

TEST_F(SkinHostScroll, CheckListScrollsByThumbTrackArrowAndWheelAndItsLastRowStaysClickable)
{
    ASSERT_TRUE(Open("<layer title=\"t\" width=\"200\" height=\"200\"><body>"
                     "<mylistbox id=\"1\" pos=\"0,0,200,120\" itemheight=\"30\" sbskin=\"sb\" sbwidth=\"16\"/>"
                     "</body></layer>",
                     "<scrollbar name=\"sb\" src=\"9\" magin=\"3\"/>"));
    auto* list = wnd.FindAs<CMyListBox>(1);
    ASSERT_NE(list, nullptr);
    for (int row = 0; row < 9; ++row)
        ASSERT_EQ(list->AppendRow(std::wstring(L"<item><myimgbtn id=\"5\" pos=\"0,0,40,30\"/></item>"), pools,
                                  factory),
                  row);
    SetWindowPos(wnd.Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    wnd.Redraw();
    ASSERT_TRUE(list->Bar().Needed());
    EXPECT_EQ(list->Bar().Rect(), (SkinRect{184, 0, 200, 120}));
    EXPECT_EQ(list->RowRect(0).right, 184) << "rows leave the bar its room";
    ASSERT_TRUE(PumpUntil([&] { return ScreenPx(192, 8) == kPartGrey[0]; })) << "up arrow drawn";
    EXPECT_EQ(ScreenPx(192, 18), kPartGrey[3]) << "thumb at the top";

    // Drag the thumb far below the window: the list ends at its last row.
    Send(WM_LBUTTONDOWN, At(192, 30));
    EXPECT_TRUE(PumpUntil([&] { return ScreenPx(192, 18) == kPartGrey[3] + 2; })) << "pressed thumb";
    Send(WM_MOUSEMOVE, At(192, 400));
    Send(WM_LBUTTONUP, At(192, 400));
    EXPECT_EQ(list->ScrollOffset(), 9 * 30 - 120);
    EXPECT_EQ(list->Bar().Thumb().bottom, 104);
    EXPECT_TRUE(wnd.notifies.empty()) << "scrolling is not a click";

    // Track above the thumb: a page up; the down arrow: a row down; the wheel.
    Send(WM_LBUTTONDOWN, At(192, 20));
    Send(WM_LBUTTONUP, At(192, 20));
    EXPECT_EQ(list->ScrollOffset(), 150 - 120);
    Send(WM_LBUTTONDOWN, At(192, 112));
    Send(WM_LBUTTONUP, At(192, 112));
    EXPECT_EQ(list->ScrollOffset(), 60);
    POINT screen = {100, 60};
    ClientToScreen(wnd.Window(), &screen);
    Send(WM_MOUSEWHEEL, MAKELPARAM(screen.x, screen.y), MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)));
    EXPECT_EQ(list->ScrollOffset(), 90);

    // Scrolled to the end, the last row's button answers where it is seen.
    list->ScrollTo(INT_MAX);
    wnd.Redraw();
    Send(WM_LBUTTONDOWN, At(20, 105));
    Send(WM_LBUTTONUP, At(20, 105));
    ASSERT_EQ(wnd.notifies.size(), 1u);
    EXPECT_EQ(wnd.notifies[0].hdr.code, static_cast<UINT>(kNotifyRowClick));
    EXPECT_EQ(wnd.notifies[0].rowIndex, 8);
}

TEST_F(SkinHostScroll, ScrollViewShowsABarOnlyWhenItsChildrenReachBelowIt)
{
    ASSERT_TRUE(Open("<layer title=\"t\" width=\"200\" height=\"200\"><body>"
                     "<divex id=\"1\" pos=\"0,0,100,100\" sbskin=\"sb\">"
                     "  <div id=\"2\" pos=\"0,0,-0,60\"/><div id=\"3\" pos=\"0,200,-0,260\"/></divex>"
                     "<scrollview id=\"4\" pos=\"100,0,200,100\" sbskin=\"sb\"><div id=\"5\" pos=\"0,0,-0,50\"/>"
                     "</scrollview></body></layer>",
                     "<scrollbar name=\"sb\" src=\"9\"/>"));
    auto* view = wnd.FindAs<CSkinScrollView>(1);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->Bar().Needed());
    EXPECT_EQ(view->Bar().MaxOffset(), 260 - 100);
    EXPECT_EQ(wnd.FindControl(2)->Rect().right, 84) << "children leave the bar its room";
    EXPECT_FALSE(wnd.FindAs<CSkinScrollView>(4)->Bar().Needed());
    EXPECT_EQ(wnd.FindControl(5)->Rect().right, 200);

    POINT screen = {50, 50};
    ClientToScreen(wnd.Window(), &screen);
    Send(WM_MOUSEWHEEL, MAKELPARAM(screen.x, screen.y), MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)));
    EXPECT_EQ(view->Bar().Offset(), 60);
    EXPECT_EQ(wnd.FindControl(3)->Rect().top, 200 - 60) << "children move with the offset";
    // Scrolled past the end: the last child ends at the view's bottom edge.
    view->ScrollTo(1000, wnd.Context());
    EXPECT_EQ(wnd.FindControl(3)->Rect().bottom, 100);
}

// --- Keys ---

class SkinHostKeys : public SkinHost {
protected:
    // A dialog: two boxes and two buttons on the first page, a box on a
    // hidden page, a hidden button, a caption close button.
    HWND OpenDialog(const char* okExtra = "default=\"1\"", const char* cancelExtra = "cancel=\"1\"")
    {
        std::string xml = std::string("<layer title=\"d\" width=\"300\" height=\"200\"><body>"
                                      "<imgbtn id=\"1\" pos=\"-20,0,-0,20\"/>"
                                      "<tabctrl id=\"50\" pos=\"0,20,-0,-0\" tabheight=\"0\"><tab title=\"\">"
                                      "<edit id=\"10\" pos=\"10,10,200,30\"/><edit id=\"11\" pos=\"10,40,200,60\"/>"
                                      "<imgbtn id=\"12\" pos=\"10,100,60,120\" ") +
                          okExtra + "/><imgbtn id=\"13\" pos=\"70,100,120,120\" " + cancelExtra +
                          "/><imgbtn id=\"14\" pos=\"130,100,180,120\" show=\"0\"/></tab>"
                          "<tab title=\"\"><edit id=\"20\" pos=\"10,10,200,30\"/></tab></tabctrl></body></layer>";
        return Open(xml);
    }
    void Key(UINT vk, bool shift = false)
    {
        EXPECT_TRUE(PressKey(wnd, vk, shift ? std::initializer_list<int>{VK_SHIFT} : std::initializer_list<int>{}))
            << "key " << vk;
    }
    int Focused() { return wnd.FocusedControl() ? wnd.FocusedControl()->Id() : 0; }
    void SetFocusToId(int id) { wnd.SetFocusTo(wnd.FindControl(id)); }
};

TEST_F(SkinHostKeys, TabWalksBoxesAndButtonsRoundBothEndsSkippingWhatIsNotSeen)
{
    ASSERT_TRUE(OpenDialog());
    ShowWindow(wnd.Window(), SW_SHOW);
    SetForegroundWindow(wnd.Window());
    std::vector<int> forward;
    for (int i = 0; i < 5; ++i) {
        Key(VK_TAB);
        forward.push_back(Focused());
    }
    // The caption button comes first in the document; the hidden button and
    // the hidden page's box never take the focus.
    EXPECT_EQ(forward, (std::vector<int>{1, 10, 11, 12, 13}));
    Key(VK_TAB);
    EXPECT_EQ(Focused(), 1) << "round from the last to the first";
    Key(VK_TAB, true);
    EXPECT_EQ(Focused(), 13) << "Shift+Tab round from the first to the last";
    Key(VK_TAB, true);
    EXPECT_EQ(Focused(), 12);
    EXPECT_EQ(GetFocus(), wnd.Window()) << "a button's focus is the window's";
    Key(VK_TAB, true);
    Key(VK_TAB, true);
    EXPECT_EQ(Focused(), 10);
    EXPECT_EQ(GetFocus(), dynamic_cast<CSkinEdit*>(wnd.FindControl(10))->Handle());
    // Space on a box is the box's own.
    MSG space = {GetFocus(), WM_KEYDOWN, VK_SPACE, 0};
    EXPECT_FALSE(wnd.TranslateKey(space));
    EXPECT_TRUE(wnd.notifies.empty());
    // Space on a button clicks it.
    SetFocusToId(13);
    Key(VK_SPACE);
    ASSERT_EQ(wnd.notifies.size(), 1u);
    EXPECT_EQ(wnd.notifies[0].id, 13);
}

TEST_F(SkinHostKeys, EnterConfirmsAndEscCancelsARealModalDialog)
{
    ASSERT_TRUE(OpenDialog());
    wnd.endWith = 7;
    // Typed into the first box, then Enter there: the default button.
    PostMessageW(wnd.Window(), WM_NULL, 0, 0);
    SetFocusToId(10);
    HWND box = GetFocus();
    PostMessageW(box, WM_CHAR, 'x', 0);
    PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(wnd.RunModal(), 7);
    ASSERT_EQ(wnd.notifies.size(), 1u);
    EXPECT_EQ(wnd.notifies[0].id, 12);
    EXPECT_EQ(dynamic_cast<CSkinEdit*>(wnd.FindControl(10))->GetText(), L"x");

    PostMessageW(wnd.Window(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(wnd.RunModal(), 7);
    ASSERT_EQ(wnd.notifies.size(), 2u);
    EXPECT_EQ(wnd.notifies[1].id, 13);
}

TEST_F(SkinHostKeys, WithoutMarkedButtonsEnterTakesTheFocusedButtonAndEscTheCloseButton)
{
    ASSERT_TRUE(OpenDialog("", ""));
    SetFocusToId(10);
    MSG enter = {GetFocus(), WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_FALSE(wnd.TranslateKey(enter)) << "no default button, a box focused: nothing to click";
    SetFocusToId(13);
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    ASSERT_EQ(wnd.notifies.size(), 2u);
    EXPECT_EQ(wnd.notifies[0].id, 13);
    EXPECT_EQ(wnd.notifies[1].id, 1);
}

}  // namespace
