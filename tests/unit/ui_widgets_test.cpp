// Animated images, native child windows and split windows of the engine.
#include "uitest.h"

#include "ui/animate.h"
#include "ui/hostwnd.h"
#include "ui/native.h"
#include "ui/split.h"
#include "ui/timerhost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace SkinEngine;

namespace {

// A GIF89a of `w` x `h` solid frames, each a colour (0xRRGGBB, at most four
// distinct) and a delay in hundredths of a second.
std::string GifFile(int w, int h, const std::vector<std::pair<uint32_t, int>>& frames)
{
    std::vector<uint32_t> palette;
    for (const auto& f : frames)
        if (std::find(palette.begin(), palette.end(), f.first) == palette.end()) palette.push_back(f.first);
    palette.resize(4, 0);
    std::string out = "GIF89a";
    auto word = [&out](int v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    };
    word(w);
    word(h);
    out += "\x91";  // global table of 4 colours
    out += std::string(2, '\0');
    for (uint32_t c : palette) {
        out += static_cast<char>(c >> 16);
        out += static_cast<char>(c >> 8);
        out += static_cast<char>(c);
    }
    out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const auto& f : frames) {
        out += std::string("\x21\xF9\x04\x04", 4);  // disposal: leave in place
        word(f.second);
        out += std::string("\x00\x00", 2);
        out += '\x2C';
        word(0);
        word(0);
        word(w);
        word(h);
        out += '\0';
        // 3-bit codes; a clear code before every two pixels keeps the
        // decoder's table from ever growing past 3 bits.
        const int index = static_cast<int>(std::find(palette.begin(), palette.end(), f.first) - palette.begin());
        std::vector<int> codes;
        for (int i = 0; i < w * h; ++i) {
            if (i % 2 == 0) codes.push_back(4);
            codes.push_back(index);
        }
        codes.push_back(5);
        std::string data;
        unsigned bits = 0, count = 0;
        for (int code : codes) {
            bits |= static_cast<unsigned>(code) << count;
            count += 3;
            while (count >= 8) {
                data += static_cast<char>(bits & 0xFF);
                bits >>= 8;
                count -= 8;
            }
        }
        if (count) data += static_cast<char>(bits & 0xFF);
        out += '\x02';
        for (size_t at = 0; at < data.size(); at += 255) {
            const std::string block = data.substr(at, 255);
            out += static_cast<char>(block.size());
            out += block;
        }
        out += '\0';
    }
    out += '\x3B';
    return out;
}

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080;

}  // namespace

// --- Animated images ---

TEST(SkinGif, DecodesEveryFrameWithItsDelayRaisedToTheFloor)
{
    CGdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    CSkinGif gif;
    ASSERT_TRUE(gif.LoadImageBytes(GifFile(8, 6, {{kRed, 5}, {kGreen, 25}, {kBlue, 0}})));
    ASSERT_EQ(gif.FrameCount(), 3);
    EXPECT_EQ(gif.FrameDelay(0), 100u);  // 50 ms raised
    EXPECT_EQ(gif.FrameDelay(1), 250u);
    EXPECT_EQ(gif.FrameDelay(2), 100u);  // none given
    EXPECT_EQ(gif.GetSize().cx, 8);
    EXPECT_EQ(gif.GetSize().cy, 6);

    // The state is the frame; one past the last draws the last.
    const uint32_t expected[] = {kRed, kGreen, kBlue, kBlue};
    for (unsigned state = 0; state < 4; ++state) {
        CSkinDib dib(16, 12);
        ASSERT_TRUE(dib.ok());
        gif.Draw(dib.Dc(), RECT{0, 0, 16, 12}, state);
        EXPECT_EQ(dib.Pixel(0, 0), expected[state]) << state;
        EXPECT_EQ(dib.Pixel(15, 11), expected[state]) << state;
    }

    CSkinGif still;
    ASSERT_TRUE(still.LoadImageBytes(GifFile(4, 4, {{kGrey, 50}})));
    EXPECT_EQ(still.FrameCount(), 1);
    EXPECT_GE(still.FrameDelay(0), 100u);  // Wine's GDI+ gives no delay for a single frame

    CSkinGif broken;
    EXPECT_FALSE(broken.LoadImageBytes("GIF89a not really"));
    EXPECT_EQ(broken.FrameCount(), 0);
    EXPECT_EQ(broken.GetSize().cx, 0);
}

namespace {

RECT g_painted;

LRESULT CALLBACK RecordPaint(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    UnionRect(&g_painted, &g_painted, &ps.rcPaint);
    EndPaint(hwnd, &ps);
    return 0;
}

}  // namespace

TEST(TimerHost, EachImageStepsOnItsOwnTimerRepaintsItsRectAndAStillOneWaitsForever)
{
    CGdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    CSkinGif spin, still;
    ASSERT_TRUE(spin.LoadImageBytes(GifFile(8, 6, {{kRed, 5}, {kGreen, 25}, {kBlue, 0}})));
    ASSERT_TRUE(still.LoadImageBytes(GifFile(4, 4, {{kGrey, 50}})));
    // The rich edit the images sit in: what it is asked to paint is recorded.
    RECT& painted = g_painted;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordPaint;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TimerHostTestEdit";
    RegisterClassW(&wc);
    HWND edit = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 40, nullptr, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_TRUE(edit);
    UpdateWindow(edit);
    painted = RECT{};

    CTimerHostWnd host;
    ASSERT_TRUE(host.Create());
    EmbeddedGif a{edit, RECT{10, 10, 18, 16}, &spin}, b{edit, RECT{40, 10, 44, 14}, &still};
    ASSERT_TRUE(host.Add(a));
    ASSERT_TRUE(host.Add(b));
    EXPECT_EQ(100u, a.armedMs);  // 50 ms raised to the floor

    // Frames 1, 2 and round to 0, each re-armed with its own delay.
    std::vector<std::pair<int, UINT>> steps;
    ASSERT_TRUE(PumpUntil([&] {
        if (steps.empty() || steps.back().first != a.frame) steps.emplace_back(a.frame, a.armedMs);
        return steps.size() == 4;
    }, 5000));
    EXPECT_EQ((std::vector<std::pair<int, UINT>>{{0, 100u}, {1, 250u}, {2, 100u}, {0, 100u}}), steps);
    ASSERT_TRUE(PumpUntil([&] { return !IsRectEmpty(&painted); }, 2000)) << "no tick repainted the image";
    EXPECT_EQ(10, painted.left);
    EXPECT_EQ(10, painted.top);
    EXPECT_GE(painted.right, 18);
    EXPECT_GE(painted.bottom, 16);
    EXPECT_LE(painted.right, 44) << "more than the two images' rectangles";

    // One frame: after its first tick it is never due again.
    ASSERT_TRUE(PumpUntil([&] { return b.armedMs == CTimerHostWnd::kStillPeriodMs; }, 2000));
    EXPECT_EQ(0, b.frame);

    // A removed image is left alone even with a tick already queued.
    host.Remove(a);
    const int frame = a.frame;
    PostMessageW(host.Handle(), WM_TIMER, reinterpret_cast<WPARAM>(&a), 0);
    EXPECT_FALSE(PumpUntil([&] { return a.frame != frame; }, 400));
    DestroyWindow(edit);
}

class SkinAnimateImg : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        RegisterGifSkin();
        source.AddImage(7, GifFile(8, 6, {{kRed, 5}, {kGreen, 25}, {kBlue, 0}}));
        source.AddImage(8, GifFile(8, 6, {{kGrey, 10}}));
        Build("<layer title=\"t\" width=\"100\" height=\"50\"><body>"
              "<animateimg id=\"1\" pos=\"10,10\" skin=\"spin\"/>"
              "<animateimg id=\"2\" pos=\"30,10\" skin=\"still\"/>"
              "<div id=\"3\" show=\"0\"><animateimg id=\"4\" pos=\"50,10\" skin=\"spin\"/></div>"
              "</body></layer>",
              "<gif name=\"spin\" src=\"7\"/><gif name=\"still\" src=\"8\"/>");
        spin = dynamic_cast<CSkinAnimateImg*>(layer.FindById(1));
        ASSERT_TRUE(spin);
    }

    uint32_t Colour()
    {
        Render();
        return Px(13, 12);
    }

    CSkinAnimateImg* spin = nullptr;
};

TEST_F(SkinAnimateImg, StepsThroughFramesOnItsHostsTimerAndStopsWhenHidden)
{
    RecordingHost host(layer.Context());
    CSkinControl* still = layer.FindById(2);
    CSkinControl* hidden = layer.FindById(4);
    EXPECT_EQ(spin->Rect(), (SkinRect{10, 10, 18, 16}));
    EXPECT_EQ(Colour(), kRed);

    layer.Body()->Attach(host);
    // One frame does not animate; a hidden one does not tick.
    EXPECT_EQ(host.timers.count(still), 0u);
    EXPECT_EQ(host.timers.count(hidden), 0u);
    ASSERT_EQ(host.timers.count(spin), 1u);
    EXPECT_EQ(host.timers[spin], 100u);

    spin->OnTimer(host);
    EXPECT_EQ(spin->CurrentFrame(), 1);
    EXPECT_EQ(host.timers[spin], 250u);  // re-armed with the new frame's delay
    ASSERT_FALSE(host.invalidated.empty());
    EXPECT_EQ(host.invalidated.back(), spin->Rect());
    EXPECT_EQ(Colour(), kGreen);
    spin->OnTimer(host);
    EXPECT_EQ(host.timers[spin], 100u);
    EXPECT_EQ(Colour(), kBlue);
    spin->OnTimer(host);
    EXPECT_EQ(spin->CurrentFrame(), 0);  // round again
    EXPECT_EQ(Colour(), kRed);

    // Hidden, it stops at the next layout; shown, it goes on from its frame.
    spin->OnTimer(host);
    spin->SetVisible(false);
    layer.Layout(100, 50);
    EXPECT_EQ(host.timers.count(spin), 0u);
    spin->SetVisible(true);
    layer.FindById(3)->SetVisible(true);
    layer.Layout(100, 50);
    EXPECT_EQ(host.timers[spin], 250u);
    EXPECT_EQ(host.timers[hidden], 100u);

    layer.Body()->Detach();
    EXPECT_TRUE(host.timers.empty());
}

// --- Native child windows ---

namespace {

class SkinNative : public SkinLayerTest {
protected:
    void SetUp() override
    {
        SkinLayerTest::SetUp();
        parent = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(parent);
    }
    void TearDown() override
    {
        if (layer.Body()) layer.Body()->Detach();
        if (parent) DestroyWindow(parent);
    }

    static RECT ChildRect(HWND child)
    {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static std::wstring ClassOf(HWND hwnd)
    {
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        return name;
    }
    static std::wstring TextOf(HWND hwnd)
    {
        wchar_t text[128] = {};
        GetWindowTextW(hwnd, text, 128);
        return text;
    }

    HWND parent = nullptr;
};

void ExpectRect(const RECT& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

}  // namespace

TEST_F(SkinNative, RealWindowFollowsLayoutAndVisibilityAndGoesOnDetach)
{
    Build("<layer title=\"t\" width=\"200\" height=\"100\"><body>"
          "<realwnd id=\"22\" pos=\"10,20,-10,-5\" wndclass=\"button\" wndname=\"http://example\" NoScrollBar=\"1\"/>"
          "<realwnd id=\"23\" pos=\"0,0,10,10\" wndclass=\"NoSuchClassAnywhere\"/>"
          "</body></layer>",
          "");
    auto* wnd = dynamic_cast<CSkinRealWnd*>(layer.FindById(22));
    auto* missing = dynamic_cast<CSkinRealWnd*>(layer.FindById(23));
    ASSERT_TRUE(wnd && missing);
    EXPECT_EQ(wnd->Extra("NoScrollBar"), "1");
    EXPECT_EQ(wnd->Handle(), nullptr);

    RecordingHost host(layer.Context(), parent);
    layer.Body()->Attach(host);
    HWND child = wnd->Handle();
    ASSERT_TRUE(child && IsWindow(child));
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(ClassOf(child), L"Button");
    EXPECT_EQ(TextOf(child), L"http://example");
    EXPECT_EQ(GetDlgCtrlID(child), 22);
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CLIPSIBLINGS);
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
    ExpectRect(ChildRect(child), 10, 20, 190, 95);
    EXPECT_EQ(missing->Handle(), nullptr);

    layer.Layout(300, 150);
    ExpectRect(ChildRect(child), 10, 20, 290, 145);
    layer.Body()->SetVisible(false);  // hidden through its container
    layer.Layout(300, 150);
    EXPECT_FALSE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
    layer.Body()->SetVisible(true);
    layer.Layout(300, 150);
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);

    layer.Body()->Detach();
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(wnd->Handle(), nullptr);
}

TEST_F(SkinNative, RegisteredCreatorMakesTheWindowOfItsClass)
{
    Build("<layer title=\"t\" width=\"200\" height=\"100\"><body>"
          "<realwnd id=\"22\" pos=\"5,5,50,40\" wndclass=\"IECTRL\" wndname=\"start\"/></body></layer>",
          "");
    std::wstring seenName;
    std::weak_ptr<int> kept;
    RegisterRealWndCreator("iectrl", [&](CSkinRealWnd& control, HWND p, const RECT& r) {
        seenName = control.WndName();
        auto browser = std::make_shared<int>(1);
        kept = browser;
        control.KeepWithWindow(browser);
        return CreateWindowExW(0, L"STATIC", L"made", WS_CHILD, r.left, r.top, r.right - r.left, r.bottom - r.top, p,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    });
    RecordingHost host(layer.Context(), parent);
    layer.Body()->Attach(host);
    RegisterRealWndCreator("IECTRL", nullptr);
    auto* wnd = dynamic_cast<CSkinRealWnd*>(layer.FindById(22));
    ASSERT_TRUE(wnd && wnd->Handle());
    EXPECT_EQ(seenName, L"start");
    EXPECT_EQ(TextOf(wnd->Handle()), L"made");
    ExpectRect(ChildRect(wnd->Handle()), 5, 5, 50, 40);
    EXPECT_FALSE(kept.expired());
    layer.Body()->Detach();
    EXPECT_TRUE(kept.expired());
}

TEST_F(SkinNative, EditBoxKeepsItsTextAcrossAttachAndNumberTakesOnlyDigits)
{
    Build("<layer title=\"t\" width=\"200\" height=\"100\"><body>"
          "<richedit id=\"1\" pos=\"10,10,110,30\" number=\"1\" inset=\"2,3,4,5\" crbg=\"FFFFF0\" align=\"right\">"
          "80</richedit>"
          "<edit id=\"2\" pos=\"10,40,110,90\" multilines=\"1\"/>"
          "</body></layer>",
          "");
    auto* number = dynamic_cast<CSkinEdit*>(layer.FindById(1));
    auto* multi = dynamic_cast<CSkinEdit*>(layer.FindById(2));
    ASSERT_TRUE(number && multi);
    EXPECT_EQ(number->GetText(), L"80");
    number->SetText(std::wstring(L"8080"));
    EXPECT_EQ(number->GetText(), L"8080");

    RecordingHost host(layer.Context(), parent);
    layer.Body()->Attach(host);
    HWND box = number->Handle();
    ASSERT_TRUE(box);
    EXPECT_EQ(ClassOf(box), L"Edit");
    EXPECT_EQ(TextOf(box), L"8080");
    const LONG style = GetWindowLongW(box, GWL_STYLE);
    EXPECT_TRUE(style & ES_NUMBER);
    EXPECT_TRUE(style & ES_RIGHT);
    EXPECT_FALSE(style & ES_MULTILINE);
    ExpectRect(ChildRect(box), 12, 13, 106, 25);  // inside the inset
    ASSERT_TRUE(multi->Handle());
    EXPECT_TRUE(GetWindowLongW(multi->Handle(), GWL_STYLE) & ES_MULTILINE);
    EXPECT_TRUE(GetWindowLongW(multi->Handle(), GWL_STYLE) & ES_WANTRETURN);

    // Typed characters: letters are refused, digits land.
    SendMessageW(box, EM_SETSEL, 4, 4);
    SendMessageW(box, WM_CHAR, L'x', 0);
    SendMessageW(box, WM_CHAR, L'1', 0);
    EXPECT_EQ(number->GetText(), L"80801");
    EXPECT_EQ(number->Text(), L"80801");  // the control follows the box
    // Text set the way the host sets any control's text reaches the box.
    static_cast<CSkinControl*>(number)->SetText(std::wstring(L"77"));
    EXPECT_EQ(number->GetText(), L"77");
    EXPECT_EQ(TextOf(box), L"77");
    SendMessageW(multi->Handle(), WM_CHAR, L'a', 0);
    EXPECT_EQ(multi->GetText(), L"a");

    // The parent answers the box's colour question with the background.
    HDC dc = GetDC(box);
    const LRESULT brush = SendMessageW(parent, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(box));
    EXPECT_EQ(GetBkColor(dc), RGB(0xFF, 0xFF, 0xF0));
    ReleaseDC(box, dc);
    LOGBRUSH lb = {};
    ASSERT_TRUE(brush && GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof(lb), &lb));
    EXPECT_EQ(lb.lbColor, RGB(0xFF, 0xFF, 0xF0));

    number->SetText(std::wstring(L"\x4E2D" L"42"));  // UTF-16 both ways
    EXPECT_EQ(TextOf(box), L"\x4E2D" L"42");
    layer.Body()->Detach();
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(number->GetText(), L"\x4E2D" L"42");
}

// The real host window: children made on creation, the animation driven by
// its timer, everything gone with the window.
class SkinNativeHost : public SkinLayerTest {};

TEST_F(SkinNativeHost, HostWindowCreatesChildrenAndTicksTheAnimation)
{
    RegisterGifSkin();
    source.AddImage(7, GifFile(8, 6, {{kRed, 5}, {kGreen, 5}}));
    Build("<layer title=\"t\" width=\"200\" height=\"100\"><body>"
          "<edit id=\"1\" pos=\"10,10,110,30\">abc</edit>"
          "<animateimg id=\"2\" pos=\"150,10\" skin=\"spin\"/></body></layer>",
          "<gif name=\"spin\" src=\"7\"/>");
    SkinHostWnd host;
    // The animation's timer starts with the window.
    const DWORD start = GetTickCount();
    ASSERT_TRUE(host.Create(doc, pools, source, nullptr, 0, factory));
    auto* edit = host.FindAs<CSkinEdit>(1);
    auto* spin = host.FindAs<CSkinAnimateImg>(2);
    ASSERT_TRUE(edit && spin);
    HWND box = edit->Handle();
    ASSERT_TRUE(box);
    EXPECT_EQ(GetParent(box), host.Window());
    EXPECT_TRUE(host.SetControlText(1, L"xyz"));
    EXPECT_EQ(edit->GetText(), L"xyz");
    wchar_t text[8] = {};
    GetWindowTextW(box, text, 8);
    EXPECT_STREQ(text, L"xyz");

    ASSERT_TRUE(PumpUntil([&] { return spin->CurrentFrame() != 0; })) << "the animation never moved";
    EXPECT_EQ(spin->CurrentFrame(), 1);
    EXPECT_GE(GetTickCount() - start, 90u);  // not before the first delay
    // The window shows the second frame.
    std::unique_ptr<CSkinDib> shown = host.Layer().Render();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->Pixel(153, 12), kGreen);

    host.Destroy();
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(edit->Handle(), nullptr);
    EXPECT_FALSE(spin->Ticking());
}

// --- Split windows ---

TEST(SkinSplit, SizesFollowIdealThenPriorityAndNeverGoBelowMinimum)
{
    using V = std::vector<int>;
    // Room left over goes to the highest priority, shared equally.
    EXPECT_EQ(SplitSizes({{100, 0, 0}, {100, 0, 1}, {50, 0, 0}}, 300), (V{100, 150, 50}));
    EXPECT_EQ(SplitSizes({{10, 0, 2}, {10, 0, 2}, {10, 0, 1}}, 81), (V{36, 35, 10}));
    // Room missing comes from the lowest priority first, down to the minimum.
    EXPECT_EQ(SplitSizes({{100, 80, 0}, {100, 50, 1}, {100, 90, 0}}, 250), (V{80, 80, 90}));
    EXPECT_EQ(SplitSizes({{100, 0, 0}, {100, 0, 0}}, 150), (V{75, 75}));
    // Not enough for the minimums: they are kept anyway.
    EXPECT_EQ(SplitSizes({{100, 80, 0}, {60, 50, 3}}, 100), (V{80, 50}));
    EXPECT_EQ(SplitSizes({{10, 40, 0}}, -5), (V{40}));  // ideal below minimum
    EXPECT_TRUE(SplitSizes({}, 100).empty());
}

class SkinSplitLayout : public SkinLayerTest {};

TEST_F(SkinSplitLayout, PanesAndSeparatorsInColumnsAndRows)
{
    Build("<layer title=\"t\" width=\"300\" height=\"120\"><body>"
          "<splitcol id=\"1\" pos=\"0,0,-0,40\" sepsize=\"4\" skinsep=\"sep\">"
          "<pane id=\"11\" idealsize=\"100\" minsize=\"60\" crbg=\"FF0000\"/>"
          "<pane id=\"12\" idealsize=\"50\" priority=\"1\" crbg=\"00FF00\"/>"
          "<pane id=\"13\" idealsize=\"80\" show=\"0\" crbg=\"0000FF\"/>"
          "<pane id=\"14\" idealsize=\"40\" crbg=\"0000FF\"/>"
          "</splitcol>"
          "<splitrow id=\"2\" pos=\"0,50,100,120\" sepsize=\"2\" skinsep=\"sep\">"
          "<pane id=\"21\" idealsize=\"20\" priority=\"1\" crbg=\"FF0000\"/>"
          "<pane id=\"22\" idealsize=\"20\" crbg=\"00FF00\"/>"
          "</splitrow></body></layer>",
          SolidSkin("sep", kGrey));
    // 300 - 2 separators = 292: 100 and 40 as wished, 152 to the priority pane.
    EXPECT_EQ(layer.FindById(11)->Rect(), (SkinRect{0, 0, 100, 40}));
    EXPECT_EQ(layer.FindById(12)->Rect(), (SkinRect{104, 0, 256, 40}));
    EXPECT_EQ(layer.FindById(14)->Rect(), (SkinRect{260, 0, 300, 40}));
    EXPECT_EQ(layer.FindById(13)->Rect().Width(), 0);
    EXPECT_EQ(layer.FindById(21)->Rect(), (SkinRect{0, 50, 100, 98}));
    EXPECT_EQ(layer.FindById(22)->Rect(), (SkinRect{0, 100, 100, 120}));

    Render();
    EXPECT_EQ(Px(99, 20), kRed);
    EXPECT_EQ(Px(100, 20), kGrey);
    EXPECT_EQ(Px(103, 20), kGrey);
    EXPECT_EQ(Px(104, 20), kGreen);
    EXPECT_EQ(Px(257, 20), kGrey);
    EXPECT_EQ(Px(260, 20), kBlue);
    EXPECT_EQ(Px(50, 98), kGrey);
    EXPECT_EQ(Px(50, 100), kGreen);

    // Narrower: the low-priority panes give way first, the first one only
    // down to its minimum, then the priority pane.
    layer.Layout(100, 120);
    EXPECT_EQ(layer.FindById(11)->Rect().Width(), 60);
    EXPECT_EQ(layer.FindById(12)->Rect().Width(), 32);
    EXPECT_EQ(layer.FindById(14)->Rect().Width(), 0);
    // A pane shown again takes its room back.
    layer.FindById(13)->SetVisible(true);
    layer.Layout(300, 120);
    EXPECT_EQ(layer.FindById(12)->Rect().Width(), 68);
    EXPECT_EQ(layer.FindById(13)->Rect(), (SkinRect{176, 0, 256, 40}));
}
