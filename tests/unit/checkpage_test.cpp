// The check tab's logic on a real window thread: runs started and stopped
// against the demo server, and the repairs' bookkeeping.
#include "testutil.h"

#include "base/textconv.h"
#include "browser/shortcut.h"
#include "browser/trustsites.h"
#include "check/checkpage.h"
#include "check/checkrow.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace {

// Dispatches this thread's messages until `done` holds or `ms` has passed.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done()) return true;
        if (GetTickCount() - start >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpMessagesFor(DWORD ms)
{
    PumpMessagesUntil([] { return false; }, ms);
}

// Records what the page shows; a hidden window of its own receives the run's
// messages and hands them to the page, as the main window does.
class RecordingPageView : public CheckPageView {
public:
    RecordingPageView()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CheckPageTestWindow";
        RegisterClassW(&wc);
        m_window = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RecordingPageView() override { DestroyWindow(m_window); }

    HWND Window() override { return m_window; }
    int RowCount() override { return static_cast<int>(rows.size()); }
    void ShowRowControl(int kind, int row, int slot, bool on) override {}
    void SetRowProgress(int, int, int) override {}
    void SetRowText(int kind, int row, int slot, const std::string& text) override { texts.push_back(text); }
    int SetRowResult(int result, int kind, int row) override { return page->SetRowResult(result, kind, row); }
    void Redraw() override {}
    void ShowControl(int id, bool visible) override { shown[id] = visible; }
    void SetCheckProgress(int value) override { progress = value; }
    int CheckProgress() override { return progress; }
    void DeleteAllRows() override { rows.clear(); }
    int AppendRow(const std::string& markup) override
    {
        rows.push_back(markup);
        return static_cast<int>(rows.size()) - 1;
    }
    void SetRowSkin(int kind, int row, int slot, const std::string& skin) override { skins.push_back(skin); }
    bool OpenSettingsDialog() override
    {
        ++dialogs;
        if (onDialog) return onDialog();
        return true;
    }
    bool ServerAddressPending() override { return pending; }

    CheckPage* page = nullptr;
    std::vector<std::string> rows;  // markup of the rows shown, in order
    std::vector<std::string> texts, skins;
    std::map<int, bool> shown;
    int progress = 0;
    int dialogs = 0;
    std::function<bool()> onDialog;  // what the user does in the dialog
    bool pending = false;            // a server address lookup is under way
    int doneMessages = 0;  // of every run, stale ones included

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<RecordingPageView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_CHECK_ROW) return self->page->OnCheckRow(reinterpret_cast<CheckItem*>(wParam), lParam);
        if (self && msg == WM_CHECK_DONE) {
            ++self->doneMessages;
            return self->page->OnCheckDone(lParam);
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND m_window = nullptr;
};

class CheckPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* path : {kTrustedZoneKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3",
                                 "Software\\Microsoft\\Internet Explorer\\International",
                                 "Software\\Microsoft\\Internet Explorer\\New Windows"})
            ASSERT_TRUE(MakeKey(user.real(), path));
        ASSERT_TRUE(MakeKey(machine.real(), "SOFTWARE\\Microsoft\\Internet Explorer\\Main"));
        // A browser that passes, so a run has all nine rows.
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(machine.real(), L"SOFTWARE\\Microsoft\\Internet Explorer", 0,
                                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        const wchar_t version[] = L"8.0.6001.18702";
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof version);
        RegCloseKey(key);
        ASSERT_TRUE(server.ok()) << "demo server not running";
        g_serverSettings.serverIp = "127.0.0.1";
        view.page = &page;
    }
    void TearDown() override { DeleteFileW(AnsiToWide(LoginShortcutPath(g_serverSettings)).c_str()); }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
    ServerAtDemo server;
    RecordingPageView view;
    CheckPage page{view};
};

} // namespace

TEST_F(CheckPageTest, StoppedRunsNeverReachTheRunStartedAfterThem)
{
    // Stop and start at once, over and over: every stopped run's thread runs
    // on, writing its own records and sending its rows and its end late.
    const int starts = 12;
    for (int i = 0; i < starts - 1; ++i) {
        page.StartClientCheck();
        PumpMessagesFor(i % 3 * 5);
        page.StopCheck();
        EXPECT_TRUE(view.shown[kCtlRepairAll]);
    }
    page.StartClientCheck();
    const LPARAM last = page.CurrentRun();
    // Every run, stale ones included, has ended.
    ASSERT_TRUE(PumpMessagesUntil([&] { return view.doneMessages == starts; }, 120000));
    EXPECT_FALSE(page.CheckRunning());
    EXPECT_EQ(last, page.CurrentRun());

    // Exactly one run's rows, in its order, and the bar at 100.
    ASSERT_EQ(9u, view.rows.size());
    for (int row = 0; row < 9; ++row) {
        const CheckItem& item = page.Item(row);
        EXPECT_EQ(row, item.row);
        EXPECT_EQ(BuildCheckRowMarkup(item), view.rows[static_cast<size_t>(row)]) << row;
    }
    EXPECT_EQ(kItemComponents, page.Item(8).kind);
    EXPECT_EQ(100, view.progress);
    EXPECT_FALSE(view.shown[kCtlStopCheck]);
    EXPECT_FALSE(view.shown[kCtlCheckingAnimation]);
}

TEST_F(CheckPageTest, AnUnusableServerAsksForANewOneAndTheRunWaitsForItsAddress)
{
    g_serverSettings.serverIp.clear();
    // A quit while the dialog is open: no run, and no second dialog.
    view.onDialog = [] { return false; };
    page.StartClientCheck();
    EXPECT_EQ(1, view.dialogs);
    EXPECT_EQ(0, page.CurrentRun()) << "a run started while the program was ending";

    // A new server saved: its lookup is under way, so the run waits for it
    // instead of starting on an empty address (the window's own test walks
    // this path to the end).
    view.onDialog = [this] { return view.pending = true; };
    page.StartClientCheck();
    EXPECT_EQ(2, view.dialogs);
    EXPECT_EQ(0, page.CurrentRun()) << "started before the new server's address was known";
}

TEST_F(CheckPageTest, ARunKeepsTheServerItStartedWithWhateverIsSavedMeanwhile)
{
    // Runs started against the demo server, each followed at once by a save
    // of another server (unreachable, a name of its own), as the settings
    // dialog does on this thread while the run's worker goes on; some runs
    // are stopped and run on unseen.
    const ServerSettings started = g_serverSettings;
    ServerSettings saved = started;
    saved.serverAddr = "saved.invalid";
    saved.serverPort = 1;
    for (int round = 0; round < 12; ++round) {
        g_serverSettings = started;
        page.StartClientCheck();
        g_serverSettings = saved;
        if (round % 3 != 2) {
            PumpMessagesFor(round % 2 * 5);
            page.StopCheck();
            continue;
        }
        ASSERT_TRUE(PumpMessagesUntil([&] { return !page.CheckRunning(); }, 120000)) << round;
        EXPECT_EQ(kStatePassed, page.Item(1).state) << "run " << round << " reached for the saved server";
    }
    ASSERT_TRUE(PumpMessagesUntil([&] { return view.doneMessages == 12; }, 120000));
    g_serverSettings = started;
    EXPECT_FALSE(KeyExists(user.real(), std::string(kZoneMapDomains) + "\\saved.invalid"))
        << "a run trusted the server saved after it began";
}

TEST_F(CheckPageTest, RepairsEndTheirRowsAndTheButtonsComeBack)
{
    // Nothing failed: one-click repair gives its button back at once.
    page.RepairAll();
    EXPECT_TRUE(view.shown[kCtlRepairAll]);
    EXPECT_FALSE(view.shown[kCtlCheckingAnimation]);

    // A late record of a run that is not the current one is not shown, and
    // a null record is refused.
    CheckItem item;
    item.kind = kItemBrowserSettings;
    item.state = kStateFailed;
    item.progress = 77;
    EXPECT_EQ(-1, page.OnCheckRow(nullptr, page.CurrentRun()));
    EXPECT_EQ(0, page.OnCheckRow(&item, page.CurrentRun() + 1));
    EXPECT_TRUE(view.rows.empty());

    // A row's button acts only under the name its row gave it.
    view.rows.assign(1, "row");
    EXPECT_EQ(0, page.OnRowButton(RowControlId(kItemBrowserSettings, kSlotActionButton), "skin_item_watch", 0));
    EXPECT_TRUE(view.skins.empty());
    // The browser-settings repair writes the preferences and passes the row.
    EXPECT_EQ(1, page.OnRowButton(RowControlId(kItemBrowserSettings, kSlotActionButton), "skin_item_repair", 0));
    EXPECT_EQ((std::vector<std::string>{"skin_check_right"}), view.skins);
    EXPECT_EQ(kStatePassed, page.Item(0).state);

    // A failed download turns the row's button into a watch button.
    EXPECT_EQ(1, page.SetRowResult(kRowDownloadFailed, kItemComponents, 0));
    EXPECT_EQ((std::vector<std::string>{"skin_check_right", "skin_check_wrong", "skin_item_watch"}), view.skins);
    EXPECT_EQ("下载失败", view.texts.back());
    EXPECT_EQ(0, page.SetRowResult(kRowSuccess, kItemComponents, 5)) << "no such row";

    // One-click repair while an earlier repair's downloads are in flight:
    // they still count, so the buttons stay away.
    view.busyCount = 2;
    page.RepairAll();
    EXPECT_EQ(2, view.busyCount);
    EXPECT_FALSE(view.shown[kCtlRepairAll]);
    EXPECT_TRUE(view.shown[kCtlCheckingAnimation]);
    // The last of them ends during a new run: the run's stop button and
    // animation stay, and no repair-all button covers them.
    view.busyCount = 0;
    page.StartClientCheck();
    view.rows.assign(1, "row");
    EXPECT_EQ(1, page.SetRowResult(kRowSuccess, kItemBrowserSettings, 0));
    EXPECT_FALSE(view.shown[kCtlRepairAll]) << "the repair-all button over the stop button";
    EXPECT_TRUE(view.shown[kCtlCheckingAnimation]);
    EXPECT_TRUE(view.shown[kCtlStopCheck]);
    ASSERT_TRUE(PumpMessagesUntil([&] { return !page.CheckRunning(); }, 120000));
}
