// The browser pane in a real engine window under Wine: the web browser
// control made through the engine's `realwnd` hook, its flags, its events
// for a navigation to the demo server, the message filter's rules, and every
// object given back when the window goes.
#include "uitest.h"

#include "webpane/iectrl.h"
#include "base/textconv.h"
#include "ui/hostwnd.h"

#include <gtest/gtest.h>

#include <process.h>

#include <vector>

using namespace SkinEngine;

namespace {

struct PaneEvent {
    UINT_PTR id;
    UINT code;
    std::wstring text;
};

// The pane's parent: records the panes' notifications and the keys sent to
// it, and cancels any navigation to a URL containing "blocked".
class PaneParent : public SkinHostWnd {
public:
    std::vector<PaneEvent> events;
    std::vector<WPARAM> keys;

    bool Saw(UINT code, const std::wstring& part = L"") const
    {
        for (const auto& e : events)
            if (e.code == code && e.text.find(part) != std::wstring::npos) return true;
        return false;
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_NOTIFY && wParam != kEngineNotifyId) {
            const auto* notify = reinterpret_cast<const IECtrlNotify*>(lParam);
            events.push_back({notify->hdr.idFrom, notify->hdr.code, notify->text ? notify->text : L""});
            return notify->hdr.code == kIENotifyBeforeNavigate && events.back().text.find(L"blocked") != std::wstring::npos;
        }
        if (msg == WM_KEYDOWN) keys.push_back(wParam);
        return SkinHostWnd::HandleMessage(msg, wParam, lParam);
    }
};

class BrowserPane : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gdiplus.ok());
        ASSERT_TRUE(server.ok()) << "demo server not running";
        source.AddXml(kXmlStrings, "<string/>");
        source.AddXml(kXmlSkins, "<skins/>");
        source.AddXml(kXmlStyles, "<style/>");
        source.AddXml(kXmlObjAttr, "<objattr/>");
        ASSERT_TRUE(pools.Load(source));
        RegisterBrowserPane(L"");
    }
    void TearDown() override
    {
        parent.Destroy();
        RegisterRealWndCreator("IECTRL", nullptr);
    }
    HWND Open(const std::string& body)
    {
        EXPECT_TRUE(doc.Load("<layer title=\"pane\" width=\"400\" height=\"300\"><body>" + body + "</body></layer>"));
        return parent.Create(doc, pools, source);
    }
    CIECtrl* Pane(int id)
    {
        auto* element = parent.FindAs<CSkinRealWnd>(id);
        return element ? CIECtrl::FromHandle(element->Handle()) : nullptr;
    }
    LRESULT Filter(UINT message, HWND hwnd, WPARAM wParam = 0, POINT pt = {0, 0})
    {
        MSG msg = {};
        msg.hwnd = hwnd;
        msg.message = message;
        msg.wParam = wParam;
        msg.pt = pt;
        return parent.PreTranslateMessage(msg);
    }

    CGdiplusSession gdiplus;
    ServerAtDemo server;
    MemorySource source;
    ResourcePools pools;
    LayerDocument doc;
    PaneParent parent;
};

TEST_F(BrowserPane, ControlMadeForTheLayoutNavigatesAndIsGivenBackWithItsWindow)
{
    const std::wstring page = AnsiToWide(DemoBaseUrl()) + L"/speedtest.htm";
    ASSERT_TRUE(Open("<realwnd id=\"22\" pos=\"10,10,-10,-10\" wndclass=\"IECTRL\" wndname=\"about:blank\""
                     " NoScrollBar=\"1\" NoContextMenu=\"0x0\"/>"
                     "<realwnd id=\"23\" pos=\"0,0,50,50\" wndclass=\"IECTRL\" wndname=\"about:blank\""
                     " NoScrollBar=\"junk\"/>"));
    CIECtrl* shown = Pane(22);
    CIECtrl* plain = Pane(23);
    ASSERT_TRUE(shown && plain);
    EXPECT_FALSE(IsWindowVisible(shown->Handle())) << "hidden until the page asks for it";
    EXPECT_EQ(GetParent(shown->Handle()), parent.Window());
    EXPECT_EQ(GetDlgCtrlID(shown->Handle()), 22);
    EXPECT_EQ(0x4000Cu, shown->DocHostFlags());
    EXPECT_EQ(0x40004u, plain->DocHostFlags());
    EXPECT_NE(CBrowserEvents::kNotConnected, shown->SinkCookie());
    EXPECT_EQ(2u, parent.FilterCount());
    EXPECT_TRUE(parent.Saw(kIENotifyCreate));

    // The control asks its site for the UI handler, which answers with the pane's flags.
    IOleObject* object = nullptr;
    ASSERT_HRESULT_SUCCEEDED(shown->Browser()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)));
    IOleClientSite* site = nullptr;
    ASSERT_HRESULT_SUCCEEDED(object->GetClientSite(&site));
    object->Release();
    IDocHostUIHandler* handler = nullptr;
    ASSERT_HRESULT_SUCCEEDED(site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)));
    DOCHOSTUIINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_HRESULT_SUCCEEDED(handler->GetHostInfo(&info));
    EXPECT_EQ(0x4000Cu, info.dwFlags);
    EXPECT_EQ(E_NOTIMPL, handler->ShowContextMenu(0, nullptr, nullptr, nullptr));
    handler->Release();

    // A second sink connects to the same control once only.
    struct Ignore : IBrowserEventHandler {
        void OnBrowserEvent(DISPID, DISPPARAMS&) override {}
    } ignore;
    auto* sink = new CBrowserEvents(ignore);
    ASSERT_HRESULT_SUCCEEDED(sink->Connect(shown->Browser()));
    EXPECT_EQ(E_FAIL, sink->Connect(shown->Browser()));
    sink->Disconnect();
    EXPECT_EQ(CBrowserEvents::kNotConnected, sink->Cookie());
    EXPECT_EQ(0u, sink->Release());

    // A navigation the parent cancels never reaches the server; the one
    // after it, allowed, does.
    ASSERT_TRUE(DemoReset());
    const std::wstring blocked = AnsiToWide(DemoBaseUrl()) + L"/blocked.htm";
    ASSERT_TRUE(shown->Navigate(blocked));
    ASSERT_TRUE(PumpUntil([&] { return parent.Saw(kIENotifyBeforeNavigate, blocked); }));
    ASSERT_TRUE(shown->Navigate(page));
    ASSERT_TRUE(PumpUntil([&] { return DemoGet("/_demo/requests").find("GET /speedtest.htm") != std::string::npos; }));
    EXPECT_TRUE(parent.Saw(kIENotifyBeforeNavigate, page));
    EXPECT_EQ(std::string::npos, DemoGet("/_demo/requests").find("blocked")) << "a cancelled navigation went on";
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("BeforeNavigate2 " + WideToAnsi(blocked) + ": cancelled"));

    // The window goes: every object of ours is released, and the control
    // has let go of its site (the test's reference is the last).
    parent.events.clear();
    parent.Destroy();
    EXPECT_TRUE(parent.Saw(kIENotifyDestroy));
    EXPECT_EQ(0u, parent.FilterCount());
    EXPECT_EQ(0u, site->Release());
    EXPECT_EQ(0, BrowserObjectsAlive());
}

TEST_F(BrowserPane, FilterSwallowsRightPressesSendsEscUpAndOffersTheControlOnlyItsOwnMessages)
{
    ASSERT_TRUE(Open("<realwnd id=\"22\" pos=\"100,100,-10,-10\" wndclass=\"IECTRL\" wndname=\"about:blank\""
                     " NoContextMenu=\"0\"/><button id=\"5\" pos=\"0,0,20,20\"/>"));
    CIECtrl* pane = Pane(22);
    ASSERT_TRUE(pane);
    ShowWindow(parent.Window(), SW_SHOW);
    parent.ShowControl(22, true);
    ASSERT_TRUE(IsWindowVisible(pane->Handle()));
    SetForegroundWindow(parent.Window());
    SetFocus(parent.Window());
    RECT rect;
    GetWindowRect(pane->Handle(), &rect);
    const POINT inside = {rect.left + 20, rect.top + 20};
    const auto paneHasFocus = [&] { return GetFocus() == pane->Handle() || IsChild(pane->Handle(), GetFocus()); };

    // Neither keys nor mouse: passed untouched, even with the cursor over the pane.
    EXPECT_FALSE(Filter(WM_PAINT, pane->Handle(), 0, inside));
    EXPECT_FALSE(paneHasFocus());
    // Another window's press, the cursor over the pane: not the pane's business.
    EXPECT_FALSE(Filter(WM_LBUTTONDOWN, parent.Window(), 0, inside));
    EXPECT_FALSE(paneHasFocus());
    // The pane's own press takes the focus into it.
    Filter(WM_LBUTTONDOWN, pane->Handle(), 0, inside);
    EXPECT_TRUE(paneHasFocus());

    // Right presses reach the control only while its context menu is allowed.
    EXPECT_FALSE(Filter(WM_RBUTTONDOWN, pane->Handle(), 0, inside));
    pane->Properties().noContextMenu = 1;
    EXPECT_TRUE(Filter(WM_RBUTTONDOWN, pane->Handle(), 0, inside));

    // Esc in the pane also reaches the main window.
    Filter(WM_KEYDOWN, pane->Handle(), VK_ESCAPE);
    Filter(WM_KEYDOWN, pane->Handle(), 'A');
    EXPECT_EQ(std::vector<WPARAM>{VK_ESCAPE}, parent.keys);
}

}  // namespace

namespace {

// A pane made and destroyed on a thread of its own, which may have started
// OLE itself first. Then a multithreaded apartment is asked for: granted
// only to a thread that OLE's single-threaded apartment has let go.
struct PaneThread {
    bool ownOle;
    bool created = false;
    HRESULT afterPane = E_FAIL, afterOwnEnd = E_FAIL;
};

HRESULT AskForMultithreaded()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr;
}

unsigned __stdcall MakeAndDropAPane(void* context)
{
    auto* run = static_cast<PaneThread*>(context);
    if (run->ownOle) OleInitialize(nullptr);
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    {
        CIECtrl pane;
        const RECT rect = {0, 0, 200, 200};
        run->created = pane.Create(parent, rect, L"", 0, 0, 22) != nullptr && pane.Browser();
    }
    DestroyWindow(parent);
    run->afterPane = AskForMultithreaded();
    if (run->ownOle) OleUninitialize();
    run->afterOwnEnd = AskForMultithreaded();
    return 0;
}

}  // namespace

TEST(BrowserPaneOle, ThePaneEndsTheOleItStartedAndLeavesTheThreadsOwn)
{
    for (bool ownOle : {false, true}) {
        PaneThread run{ownOle};
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, MakeAndDropAPane, &run, 0, nullptr));
        ASSERT_NE(nullptr, thread);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 120000));
        CloseHandle(thread);
        EXPECT_TRUE(run.created) << ownOle;
        // The pane's own OLE is gone with it; the thread's own stays until the thread ends it.
        EXPECT_EQ(ownOle ? RPC_E_CHANGED_MODE : S_OK, run.afterPane) << ownOle;
        EXPECT_EQ(S_OK, run.afterOwnEnd) << ownOle;
    }
}
