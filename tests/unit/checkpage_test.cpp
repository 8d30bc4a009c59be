// The check tab's logic on a real window thread: runs started and stopped
// against the demo server, and the repairs' bookkeeping.
#include "testutil.h"

#include "base/paths.h"
#include "base/textconv.h"
#include "browser/shortcut.h"
#include "browser/trustsites.h"
#include "pages/checkpage.h"
#include "pages/checkrow.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

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
        if (self && msg == WM_DOWNLOAD_PROGRESS) {
            self->page->OnDownloadProgress(TakeRecord<DownloadProgress>(wParam));
            return 0;
        }
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
    // Hundreds of runs started against the demo server, by address and by
    // a name of its own in turn, each followed at once by a save of a third server
    // (unreachable, a name of its own), as the settings dialog does on this
    // thread while the run's worker goes on. Most runs are stopped and run
    // on unseen; every tenth is seen to its end and one-click repair runs on
    // its rows while the next runs start.
    const int rounds = 200;
    ServerSettings byAddress = g_serverSettings, byName = g_serverSettings;
    byAddress.serverAddr = "127.0.0.1";
    byName.serverAddr = "norvik.test";  // its IP is the demo server's
    ServerSettings saved = g_serverSettings;
    saved.serverAddr = "saved.invalid";
    saved.serverPort = 1;
    saved.serverIp = "127.0.0.2";
    int ended = 0;
    for (int round = 0; round < rounds; ++round) {
        g_serverSettings = round % 2 ? byName : byAddress;
        page.StartClientCheck();
        ASSERT_TRUE(page.CheckRunning()) << round;
        g_serverSettings = saved;
        if (round % 10 != 9) {
            PumpMessagesFor(round % 3);
            page.StopCheck();
            continue;
        }
        ASSERT_TRUE(PumpMessagesUntil([&] { return !page.CheckRunning(); }, 120000)) << round;
        ++ended;
        EXPECT_EQ(kItemConnectivity, page.Item(1).kind);
        EXPECT_EQ(kStatePassed, page.Item(1).state) << "run " << round << " reached for the saved server";
        page.RepairAll(RepairChoice{false, false});
    }
    EXPECT_EQ(rounds / 10, ended);
    ASSERT_TRUE(PumpMessagesUntil([&] { return view.doneMessages == rounds && !page.RepairsBusy(); }, 300000))
        << view.doneMessages << " of " << rounds << " runs ended";
    g_serverSettings = byAddress;
    // Names are kept by domain, then host.
    EXPECT_TRUE(KeyExists(user.real(), std::string(kZoneMapDomains) + "\\test\\norvik"));
    EXPECT_FALSE(KeyExists(user.real(), std::string(kZoneMapDomains) + "\\invalid"))
        << "a run trusted the server saved after it began";
    EXPECT_TRUE(view.shown[kCtlRepairAll]);
}

TEST_F(CheckPageTest, RepairsEndTheRowsOfTheirOwnRunAndTheButtonsComeBack)
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
    EXPECT_EQ(-1, page.OnCheckRow(nullptr, page.CurrentRun()));
    EXPECT_EQ(0, page.OnCheckRow(&item, page.CurrentRun() + 1));
    EXPECT_TRUE(view.rows.empty());

    // A run whose components row fails: the report library is missing, and
    // the server sends it slowly enough to be in flight for a while.
    struct TableScope {
        ComponentTable saved = g_componentTable;
        ~TableScope()
        {
            g_componentTable = saved;
            DeleteFileW(AnsiToWide(SystemFolder() + "\\PylonixReport.dll").c_str());
            SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\PylonixTests\\Registered");
            DemoReset();
        }
    } table;
    g_componentTable.clear();
    ComponentInfo& listed = g_componentTable["PylonixReport.dll"];
    listed.major = 3, listed.minor = 1, listed.build = 0, listed.revision = 12;
    ASSERT_TRUE(DemoFault("/norvik/DownLoad/ThirdParty/PylonixReport.dll", "rate:40000"));
    page.StartClientCheck();
    ASSERT_TRUE(PumpMessagesUntil([&] { return !page.CheckRunning(); }, 120000));
    const LPARAM first = page.CurrentRun();
    ASSERT_EQ(9u, view.rows.size());
    const int components = page.RowOf({first, kItemComponents}), settings = page.RowOf({first, kItemBrowserSettings});
    ASSERT_EQ(kItemComponents, page.Item(components).kind);
    ASSERT_EQ(kStateFailed, page.Item(components).state);
    ASSERT_EQ(kItemBrowserSettings, page.Item(settings).kind);

    // A row's button acts only under the name its row gave it; the
    // browser-settings repair writes the preferences and passes its row.
    const int settingsButton = RowControlId(kItemBrowserSettings, kSlotActionButton);
    EXPECT_EQ(0, page.OnRowButton(settingsButton, "skin_item_watch", settings));
    EXPECT_TRUE(view.skins.empty());
    EXPECT_EQ(1, page.OnRowButton(settingsButton, "skin_item_repair", settings));
    EXPECT_EQ((std::vector<std::string>{"skin_check_right"}), view.skins);
    EXPECT_EQ(kStatePassed, page.Item(settings).state);

    // One-click repair: the component download is in flight, so the
    // buttons stay away.
    page.RepairAll();
    EXPECT_TRUE(page.RepairsBusy());
    EXPECT_FALSE(view.shown[kCtlRepairAll]);
    EXPECT_TRUE(view.shown[kCtlCheckingAnimation]);

    // A new run replaces the rows before the download ends. A repair ending
    // now belongs to rows that are gone: nothing of the new run's rows
    // changes, and no repair-all button covers the run's stop button.
    page.StartClientCheck();
    ASSERT_TRUE(page.CheckRunning());
    page.RepairEnded(kRowDownloadFailed, {first, kItemComponents});
    EXPECT_FALSE(view.shown[kCtlRepairAll]) << "the repair-all button over the stop button";
    EXPECT_TRUE(view.shown[kCtlCheckingAnimation]);
    EXPECT_TRUE(view.shown[kCtlStopCheck]);
    // The real download ends as well, into no row of the new run.
    ASSERT_TRUE(PumpMessagesUntil([&] { return !page.RepairsBusy(); }, 120000));
    ASSERT_TRUE(PumpMessagesUntil([&] { return !page.CheckRunning(); }, 120000));
    EXPECT_EQ((std::vector<std::string>{"skin_check_right"}), view.skins) << "a late repair wrote into a new row";
    for (const std::string& text : view.texts) EXPECT_NE("下载完成", text);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("check row of kind 8 of run " + std::to_string(first) +
                                                      " repaired after its rows went: passed"));
    EXPECT_TRUE(view.shown[kCtlRepairAll]);
    EXPECT_FALSE(view.shown[kCtlCheckingAnimation]);
}
