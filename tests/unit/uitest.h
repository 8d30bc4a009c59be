#pragma once
// Shared pieces of the window-engine tests: pools in memory, a layer built
// from markup and rendered, and a host that records what controls ask of it.
#include "testutil.h"

#include "ui/hostwnd.h"
#include "ui/layer.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Dispatches this thread's messages until `done` holds or `deadlineMs` has
// passed, and says whether it held. The deadline only bounds a failure: a
// test waits no longer than its condition takes, however slow the machine.
bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs = 10000);

// A popup menu (ui/menu.h) runs its own loop, so the script of what the
// user does is posted to it from a thread timer that its loop dispatches.
struct PopupScript {
    std::vector<MSG> steps;  // hwnd filled in when the popup is found
    HWND activate = nullptr;  // a window to bring to the foreground
    RECT popupRect = {};
    DWORD started = 0;  // when the menu was asked for
    std::function<void(HWND)> inspect;  // run on the popup before the steps
};
// Runs `script` on the next popup to show, within a deadline that only
// bounds a failure; call it just before the popup is asked for.
void StartPopupScript(PopupScript& script);
MSG Step(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// A key as the window's message loop hands it over, with the keys `held`
// down meanwhile; the window's answer (true: used).
bool PressKey(SkinEngine::SkinHostWnd& wnd, UINT vk, std::initializer_list<int> held = {},
              UINT message = WM_KEYDOWN);

// A one-colour skin: a gradient from a colour to itself ("RRGGBB").
std::string SolidSkin(const char* name, const char* colour, const char* extra = "");
std::string SolidSkin(const char* name, uint32_t rgb);

// Pools from markup (strings, styles and object defaults empty unless
// given), one layer built from them, and its rendering over white.
class SkinLayerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gdiplus.ok()); }

    void Build(const std::string& layerXml, const std::string& skins, const std::string& objattr = "<objattr/>",
               const std::string& styles = "<style/>");
    void Render();
    uint32_t Px(int x, int y) const { return dib->Pixel(x, y); }
    // Pixels of `r` that are not white.
    int InkIn(const SkinEngine::SkinRect& r) const;

    SkinEngine::CGdiplusSession gdiplus;
    SkinEngine::ControlFactory factory;
    SkinEngine::MemorySource source;
    SkinEngine::ResourcePools pools;
    SkinEngine::LayerDocument doc;
    SkinEngine::CSkinLayer layer;
    std::unique_ptr<SkinEngine::CSkinDib> dib;
};

// Records notifications, repaint requests, layout requests and timers.
class RecordingHost : public SkinEngine::ISkinHost {
public:
    explicit RecordingHost(const SkinEngine::SkinContext& ctx, HWND window = nullptr) : m_ctx(ctx), m_window(window) {}

    HWND Window() const override { return m_window; }
    const SkinEngine::SkinContext& Context() const override { return m_ctx; }
    LRESULT SendNotify(SkinEngine::SkinNotify& notify) override
    {
        notifies.push_back(notify);
        return answer;
    }
    void Invalidate(const SkinEngine::SkinRect& rect) override { invalidated.push_back(rect); }
    void RequestLayout() override { ++layouts; }
    void StartTimer(SkinEngine::CSkinControl* control, UINT ms) override { timers[control] = ms; }
    void StopTimer(SkinEngine::CSkinControl* control) override { timers.erase(control); }

    // Moves the mouse to `pt` over `root` the way the host window does:
    // leave the old control, enter the new one.
    void MoveTo(SkinEngine::CSkinControl& root, POINT pt);
    // A press and release at `pt`.
    void Click(SkinEngine::CSkinControl& root, POINT pt);

    std::vector<SkinEngine::SkinNotify> notifies;
    std::vector<SkinEngine::SkinRect> invalidated;
    std::map<SkinEngine::CSkinControl*, UINT> timers;
    int layouts = 0;
    LRESULT answer = 0;
    SkinEngine::CSkinControl* hover = nullptr;

private:
    const SkinEngine::SkinContext& m_ctx;
    HWND m_window;
};

// What an Active Accessibility client reads of one node (child id `child`
// of `acc`), and of the nodes below it.
struct AccessibleSeen {
    std::wstring name, value;
    long role = 0;
    long state = 0;
    RECT where = {};
    std::vector<AccessibleSeen> parts;
};
AccessibleSeen ReadAccessible(IAccessible* acc, long child, int depth = 0);
// The client area's object, as AccessibleObjectFromWindow gives it (null
// when none), and its whole tree (a test failure when there is none).
IAccessible* ClientObject(HWND hwnd);
AccessibleSeen ReadWindowAccessible(HWND hwnd);
// The first node of that name (and role, unless 0), depth first.
const AccessibleSeen* FindSeen(const AccessibleSeen& node, const std::wstring& name, long role = 0);
