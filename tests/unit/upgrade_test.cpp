#include "testutil.h"

#include "settings/config.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "pages/browserupgrade.h"
#include "check/upgrade.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <string.h>

#include <map>

namespace {

const char* const kXpChinese = "IE8-WindowsXP-x86-CHS.exe";

// Records what the repair does to the rows, and is the page it reports to:
// the browser-version row sits at `row` of run `run`.
class RecordingView : public RepairView, public RepairOwner {
public:
    explicit RecordingView(HWND window) : m_window(window) {}
    HWND Window() override { return m_window; }
    int RowCount() override { return 9; }
    void ShowRowControl(int kind, int row, int slot, bool visible) override
    {
        EXPECT_EQ(5, kind);
        shown.Set(slot, visible);
    }
    void SetRowProgress(int kind, int row, int percent) override { percents.push_back(percent); }
    void SetRowText(int kind, int row, int slot, const std::string& text) override
    {
        EXPECT_EQ(kSlotStatusText, slot);
        texts.push_back(text);
    }
    void Redraw() override {}
    int RowOf(const RowRef& ref) override { return ref.run == run && ref.kind == kItemBrowserVersion ? row : -1; }
    void RepairStarted() override { ++animations; }
    void RepairEnded(int result, const RowRef& ref) override
    {
        results.push_back({result, ref.kind, RowOf(ref), upgrade && upgrade->Busy()});
    }
    // The browser-version row of the current run, at `position`.
    RowRef At(int position)
    {
        row = position;
        return {run, kItemBrowserVersion};
    }

    struct Result { int result, kind, row; bool busy; };
    const ::BrowserUpgrade* upgrade = nullptr;
    LPARAM run = 1;
    int row = 5;
    int animations = 0;
    VisibilityLog shown;  // by slot
    std::vector<int> percents;
    std::vector<std::string> texts;
    std::vector<Result> results;

private:
    HWND m_window;
};

void SetSystem(SystemInfo& info, int SystemInfo::*os, const char* arch, bool english)
{
    info = SystemInfo();
    if (os) info.*os = 1;
    strcpy(info.architecture, arch);
    info.englishUI = english;
    info.simplifiedChineseUI = !english;
}

std::string StubPath() { return ExeDirectory() + "\\installer-stub.exe"; }

// The command line the stub recorded beside itself.
std::string RecordedCommandLine(const std::string& exe)
{
    std::string bytes = ReadFileBytes(exe + ".cmdline");
    return WideToAnsi(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
}

// The repair against the demo server, with the window's side recorded.
class BrowserUpgrade : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok()) << "demo server not running";
        SetSystem(scope.app().m_sysInfo, &SystemInfo::windowsXP, "X86", false);
        installer = DownloadFolder() + "\\" + kXpChinese;
        view.upgrade = &upgrade;
    }
    void TearDown() override
    {
        DemoReset();
    }

    // Feeds the posted records to the repair until the row has its result:
    // the download's done record, then (after a good download) the one the
    // installer's thread posts when the installer has run.
    bool Pump()
    {
        const size_t before = view.results.size();
        while (view.results.size() == before) {
            if (!sink.PumpUntilDone(60000, [this](DownloadProgress* record) {
                    EXPECT_TRUE(upgrade.OnInstallerDownloadProgress(*record));
                    delete record;
                }))
                return false;
        }
        return true;
    }

    AppScope scope;
    ServerAtDemo server;
    RecordSink sink;
    RecordingView view{sink.window()};
    ::BrowserUpgrade upgrade{view, view};
    std::string installer;
};

TEST_F(BrowserUpgrade, InstallerNameAndUrlFollowTheSystem)
{
    const struct { int SystemInfo::*os; const char* arch; bool english; const char* name; } cases[] = {
        {&SystemInfo::server2003, "X86", true, "IE8-WindowsServer2003-x86-ENU.exe"},
        {&SystemInfo::server2003, "X86", false, "IE8-WindowsServer2003-x86-CHS.exe"},
        {&SystemInfo::server2003, "X64", true, "IE8-WindowsServer2003-x86-CHS.exe"},
        {&SystemInfo::windowsXP, "X86", true, "IE8-WindowsXP-x86-ENU.exe"},
        {&SystemInfo::windowsXP, "X86", false, "IE8-WindowsXP-x86-CHS.exe"},
        {&SystemInfo::windowsXP, "X64", true, "IE8-WindowsXP-x86-CHS.exe"},
        {&SystemInfo::windowsVista, "X86", true, "IE8-WindowsServer2003-x86-ENU.exe"},
        {&SystemInfo::windowsVista, "X86", false, "IE8-WindowsVista-x86-CHS.exe"},
        {&SystemInfo::windowsVista, "X64", true, "IE8-WindowsVista-x86-CHS.exe"},
        {&SystemInfo::server2008, "X86", true, "IE8-WindowsServer2003-x86-ENU.exe"},
        {&SystemInfo::server2008, "X64", false, "IE8-WindowsVista-x86-CHS.exe"},
        {&SystemInfo::windows7, "X86", false, ""},
        {&SystemInfo::windows8, "X64", true, ""},
        {&SystemInfo::unknownOS, "X86", false, ""},
        {nullptr, "X86", true, ""},
    };
    for (const auto& c : cases) {
        SetSystem(scope.app().m_sysInfo, c.os, c.arch, c.english);
        EXPECT_EQ(c.name, BrowserInstallerName()) << c.arch << " english=" << c.english;
    }
    // The first matching system flag decides.
    SetSystem(scope.app().m_sysInfo, &SystemInfo::windowsXP, "X86", false);
    scope.app().m_sysInfo.server2003 = 1;
    EXPECT_EQ("IE8-WindowsServer2003-x86-CHS.exe", BrowserInstallerName());

    g_serverSettings.serverAddr = "10.1.2.3";
    g_serverSettings.serverPort = 8080;
    g_serverSettings.serverWebsite = "/norvik/login.htm";
    SetSystem(scope.app().m_sysInfo, &SystemInfo::windowsXP, "X86", false);
    EXPECT_EQ("http://10.1.2.3:8080/norvik/Download/IE/IE8-WindowsXP-x86-CHS.exe", BrowserInstallerUrl());
    g_serverSettings.serverWebsite = "/norvik/";
    EXPECT_EQ("http://10.1.2.3:8080/Download/IE/IE8-WindowsXP-x86-CHS.exe", BrowserInstallerUrl());
    SetSystem(scope.app().m_sysInfo, &SystemInfo::windows7, "X86", false);
    EXPECT_EQ("", BrowserInstallerUrl());
}

TEST_F(BrowserUpgrade, RunInstallerReturnsExitCodeOrStartErrorAndTellsTheConsole)
{
    // A folder with blanks: the path must reach the installer as one word.
    std::string folder = MakeScratchFolder("installer") + "\\with blank";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string exe = folder + "\\setup stub.exe";
    ASSERT_TRUE(CopyFileA(StubPath().c_str(), exe.c_str(), FALSE)) << StubPath();
    ConsoleCapture console;

    EXPECT_EQ(0u, RunInstaller(exe));
    const std::string commandLine = "\"" + exe + "\" /passive /update-no /norestart ";
    EXPECT_EQ(commandLine, RecordedCommandLine(exe));

    ASSERT_TRUE(WriteFileBytes(exe + ".exit", "3"));
    EXPECT_EQ(3u, RunInstaller(exe));

    DWORD missing = RunInstaller(folder + "\\absent.exe");
    EXPECT_TRUE(missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND) << missing;

    // Too long for the command line: refused, not cut to some other file.
    std::string longPath = folder + "\\" + std::string(4090, 'a') + ".exe";
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), RunInstaller(longPath));

    // Every command line, and every start that failed, on the console
    // channel the entry point chose, not on standard output of their own.
    const std::string absentLine = "\"" + folder + "\\absent.exe\" /passive /update-no /norestart ";
    EXPECT_EQ("cmd:" + commandLine + "\r\ncmd:" + commandLine + "\r\ncmd:" + absentLine + "\r\nhere\r\nhere\r\n",
              console.Text());
}

TEST_F(BrowserUpgrade, DownloadsAndInstallsIntoTheRow)
{
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(5)));
    EXPECT_TRUE(upgrade.Downloading());
    EXPECT_EQ(1, upgrade.InstallerDownloadOk());
    EXPECT_TRUE(upgrade.Busy());
    EXPECT_EQ(1, view.animations);
    EXPECT_EQ(Visibility::Shown, view.shown[kSlotProgressBar]);
    EXPECT_EQ(Visibility::Hidden, view.shown[kSlotActionButton]);
    ASSERT_EQ(1u, view.texts.size());
    EXPECT_EQ("下载中...", view.texts[0]);
    // A second click while the download runs does nothing.
    EXPECT_EQ(-1, upgrade.UpgradeBrowser(view.At(5)));
    EXPECT_EQ(1, view.animations);

    ASSERT_TRUE(Pump());
    EXPECT_FALSE(upgrade.Downloading());
    EXPECT_EQ(Visibility::Hidden, view.shown[kSlotProgressBar]);
    ASSERT_EQ(1u, view.results.size());
    EXPECT_EQ(0, view.results[0].result);
    EXPECT_EQ(5, view.results[0].kind);
    EXPECT_EQ(5, view.results[0].row);
    EXPECT_FALSE(view.results[0].busy);
    EXPECT_EQ((std::vector<std::string>{"下载中...", "下载完成", "安装成功"}), view.texts);
    // The downloaded installer itself ran, silently.
    EXPECT_EQ("\"" + installer + "\" /passive /update-no /norestart ", RecordedCommandLine(installer));
    EXPECT_NE(std::string::npos,
              ReadTodaysLog().find("Download ie :" + DemoBaseUrl() + "/norvik/Download/IE/" + kXpChinese));
}

TEST_F(BrowserUpgrade, WindowKeepsAnsweringWhileTheInstallerRuns)
{
    // An installer held running until the test lets it go. Meanwhile another
    // thread asks the window (this thread, pumping) five times, and never
    // waits more than a second for an answer.
    ASSERT_TRUE(CreateDirectoryA(DownloadFolder().c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string hold = "PylonixInstallerHold" + std::to_string(GetCurrentProcessId());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, hold.c_str());
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, (hold + ".started").c_str());
    ASSERT_TRUE(release && started);
    ASSERT_TRUE(WriteFileBytes(installer + ".hold", hold));
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(5)));
    std::atomic<bool> released(false);
    std::atomic<int> answered(0), unanswered(0);
    std::thread asker([&] {
        if (WaitForSingleObject(started, 60000) == WAIT_OBJECT_0) {
            for (int i = 0; i < 5; ++i) {
                DWORD_PTR result = 0;
                if (SendMessageTimeoutW(sink.window(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) ++answered;
                else ++unanswered;
            }
        }
        released = true;
        SetEvent(release);
    });
    const bool ended = Pump();
    const bool endedAfterRelease = released.load();
    asker.join();
    DeleteFileA((installer + ".hold").c_str());
    CloseHandle(started);
    CloseHandle(release);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(endedAfterRelease) << "the row ended before the installer did";
    EXPECT_EQ(0, unanswered.load());
    EXPECT_EQ(5, answered.load()) << "the installer never reported it started";
    EXPECT_FALSE(upgrade.Installing());
    EXPECT_EQ("安装成功", view.texts.back());
}

TEST_F(BrowserUpgrade, FailedDownloadThenFailingInstallerThenSuccess)
{
    ASSERT_TRUE(DemoFault(std::string("/norvik/Download/IE/") + kXpChinese, "404"));
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(3)));
    ASSERT_TRUE(Pump());
    EXPECT_EQ(0, upgrade.InstallerDownloadOk());
    ASSERT_EQ(1u, view.results.size());
    EXPECT_EQ(1, view.results[0].result);
    EXPECT_EQ("下载失败", view.texts.back());
    EXPECT_FALSE(FileExists(installer + ".cmdline"));

    ASSERT_TRUE(DemoReset());
    ASSERT_TRUE(CreateDirectoryA(DownloadFolder().c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteFileBytes(installer + ".exit", "3"));
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(3)));
    ASSERT_TRUE(Pump());
    ASSERT_EQ(2u, view.results.size());
    EXPECT_EQ(3, view.results[1].result);
    EXPECT_EQ("安装失败", view.texts.back());

    ASSERT_TRUE(WriteFileBytes(installer + ".exit", "0"));
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(3)));
    ASSERT_TRUE(Pump());
    ASSERT_EQ(3u, view.results.size());
    EXPECT_EQ(0, view.results[2].result);
    EXPECT_EQ(1, upgrade.InstallerDownloadOk());
    EXPECT_EQ("安装成功", view.texts.back());
    EXPECT_FALSE(view.results[2].busy);
}

TEST_F(BrowserUpgrade, AnInstallerThatIsNotTheListedOneNeverRuns)
{
    const std::string listed(64, 'b');
    g_installerHashes[kXpChinese] = listed;
    DeleteFileW(AnsiToWide(installer + ".cmdline").c_str());
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(5)));
    ASSERT_TRUE(Pump());
    g_installerHashes.clear();
    ASSERT_EQ(1u, view.results.size());
    EXPECT_EQ(int(kRowHashMismatch), view.results[0].result);
    EXPECT_FALSE(view.results[0].busy);
    EXPECT_FALSE(upgrade.Installing());
    EXPECT_EQ("", RecordedCommandLine(installer)) << "the installer ran";
    EXPECT_FALSE(FileExists(installer));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("installer " + std::string(kXpChinese) +
                                                      ": SHA-256 mismatch: listed " + listed));

    // Unlisted, but not signed by the browser's vendor, as local.ini wants
    // by default: it never runs either.
    CLocalIniSettings ini;
    ReadServerSettings(ini.Tree(), &g_serverSettings);
    ServerAtDemo demo;  // the server again, the signers as read
    ASSERT_EQ(std::vector<std::string>({"Microsoft Corporation"}), g_serverSettings.browserSigners);
    ASSERT_EQ(0, upgrade.UpgradeBrowser(view.At(5)));
    ASSERT_TRUE(Pump());
    ASSERT_EQ(2u, view.results.size());
    EXPECT_EQ(int(kRowSignatureRefused), view.results[1].result);
    EXPECT_EQ("", RecordedCommandLine(installer)) << "the installer ran";
    EXPECT_FALSE(FileExists(installer));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find(std::string(kXpChinese) + " refused: not signed"));
}

TEST_F(BrowserUpgrade, NoInstallerForTheSystemFailsAtOnce)
{
    SetSystem(scope.app().m_sysInfo, &SystemInfo::windows7, "X64", false);
    EXPECT_EQ(-1, upgrade.UpgradeBrowser(view.At(5)));
    EXPECT_FALSE(upgrade.Downloading());
    EXPECT_FALSE(upgrade.Busy());
    EXPECT_EQ(0, view.animations);
    EXPECT_EQ(Visibility::Hidden, view.shown[kSlotActionButton]);
    ASSERT_EQ(1u, view.results.size());
    EXPECT_EQ(1, view.results[0].result);
    EXPECT_EQ(5, view.results[0].row);

    // Rows that do not exist are left alone.
    EXPECT_EQ(-1, upgrade.UpgradeBrowser({view.run + 1, kItemBrowserVersion}));
    EXPECT_EQ(-1, upgrade.UpgradeBrowser({view.run, kItemComponents}));
    EXPECT_EQ(1u, view.results.size());

    // Progress records move the row's bar; records of other kinds are not ours.
    DownloadProgress record;
    record.percent = 42.7;
    EXPECT_TRUE(upgrade.OnInstallerDownloadProgress(record));
    record.kind = kTransferComponent;
    EXPECT_FALSE(upgrade.OnInstallerDownloadProgress(record));
    EXPECT_EQ(std::vector<int>{42}, view.percents);
    // Once a new run has replaced the rows, the repair's row is gone.
    ++view.run;
    record.kind = kTransferBrowserInstaller;
    EXPECT_TRUE(upgrade.OnInstallerDownloadProgress(record));
    EXPECT_EQ(std::vector<int>{42}, view.percents) << "a bar of the new run moved";
}

class PatchNotice : public testing::Test {
protected:
    void SetUp() override
    {
        SetPatchPageOpener([this](const wchar_t* verb, const wchar_t* file, int show) {
            opened.push_back({WideToAnsi(verb), WideToAnsi(file), show, scope.boxes.size()});
        });
    }
    void TearDown() override { SetPatchPageOpener(nullptr); }

    struct Opened {
        std::string verb, file;
        int show;
        size_t boxesBefore;
    };
    AppScope scope;
    std::vector<Opened> opened;
};

TEST_F(PatchNotice, NamesThePatchThenOpensItsPage)
{
    for (bool english : {false, true}) {
        scope.boxes.clear();
        opened.clear();
        scope.app().m_sysInfo.englishUI = english;
        ShowPatchNotice();
        ASSERT_EQ(1u, scope.boxes.size());
        EXPECT_EQ(nullptr, scope.boxes[0].owner);
        EXPECT_EQ(english ? "No IE Patch:KB2416400-IE8" : "缺少补丁:KB2416400-IE8", scope.boxes[0].text);
        EXPECT_EQ(english ? "Mention" : "注意", scope.boxes[0].caption);
        ASSERT_EQ(1u, opened.size());
        EXPECT_EQ(1u, opened[0].boxesBefore) << "page opened before the message was closed";
        EXPECT_EQ("open", opened[0].verb);
        EXPECT_EQ(SW_SHOWMAXIMIZED, opened[0].show);
        std::string file = opened[0].file;
        EXPECT_EQ(0u, file.find("https://"));
        EXPECT_NE(std::string::npos,
                  file.find("/zh-cn/search/DownloadsDrillInResults.aspx?q=KB2416400&cateorder=2_5_1&site="));
    }
}

}  // namespace
