#include "testutil.h"

#include "settings/config.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "browser/shortcut.h"
#include "browser/trustsites.h"
#include "check/checkrun.h"
#include "check/report.h"

#include <Poco/JSON/Parser.h>

#include <gtest/gtest.h>

namespace {

class RecordingReporter : public CheckReporter {
public:
    void OnCheckRow(CheckItem& item) override
    {
        EXPECT_EQ(0, done) << "row after the end";
        rows.push_back(item);
    }
    void OnCheckDone() override { ++done; }

    std::vector<CheckItem> rows;
    int done = 0;
};

class CheckRun : public testing::Test {
protected:
    void SetUp() override
    {
        // A workstation profile: zones and browser keys, a browser of `version`.
        for (const char* path : {kTrustedZoneKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3",
                                 "Software\\Microsoft\\Internet Explorer\\International",
                                 "Software\\Microsoft\\Internet Explorer\\New Windows"})
            ASSERT_TRUE(MakeKey(user.real(), path));
        ASSERT_TRUE(MakeKey(machine.real(), "SOFTWARE\\Microsoft\\Internet Explorer\\Main"));
        ASSERT_TRUE(server.ok()) << "demo server not running";
        g_serverSettings.serverIp = "127.0.0.1";
        g_serverSettings.edition = g_serverSettings.editionName = "";
        DeleteFileW(AnsiToWide(LoginShortcutPath(g_serverSettings)).c_str());
    }
    void TearDown() override
    {
        DeleteFileW(AnsiToWide(LoginShortcutPath(g_serverSettings)).c_str());
    }
    void SetBrowserVersion(const wchar_t* version)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(machine.real(), L"SOFTWARE\\Microsoft\\Internet Explorer", 0,
                                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    std::vector<int> Kinds() const
    {
        std::vector<int> kinds;
        for (const CheckItem& row : reporter.rows) kinds.push_back(row.kind);
        return kinds;
    }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
    ServerAtDemo server;
    RecordingReporter reporter;
    CheckItem items[kCheckItemCount];
};

} // namespace

TEST_F(CheckRun, UnreachableServerEndsAfterTheConnectivityRecord)
{
    g_serverSettings.serverPort = ClosedPort();
    RunClientCheck(CurrentCheckInputs(), items, reporter);
    EXPECT_EQ((std::vector<int>{kItemCpu, kItemConnectivity}), Kinds());
    ASSERT_EQ(2u, reporter.rows.size());
    EXPECT_EQ(11, reporter.rows[0].progress);
    EXPECT_EQ(22, reporter.rows[1].progress);
    EXPECT_EQ(1, reporter.rows[1].row);
    EXPECT_EQ(kStateFailed, reporter.rows[1].state);
    EXPECT_EQ(1, reporter.done);
    // Nothing after the connectivity test ran.
    EXPECT_FALSE(KeyExists(user.real(), kZoneMapRanges));
}

TEST_F(CheckRun, NineRecordsInTheirOrderWithTheTrustedSiteAndShortcut)
{
    SetBrowserVersion(L"8.0.6001.18702");
    // The run works on the system facts it was given, and what its OS probe
    // learns stays in its own copy: the process's record is left as it was.
    scope.app().m_sysInfo = SystemInfo();
    CheckInputs inputs = CurrentCheckInputs();
    inputs.system.englishUI = 1;
    RunClientCheck(inputs, items, reporter);
    const SystemInfo untouched = SystemInfo();
    EXPECT_EQ(0, memcmp(&scope.app().m_sysInfo, &untouched, sizeof untouched)) << "the run wrote the process's facts";
    ASSERT_FALSE(reporter.rows.empty());
    EXPECT_EQ(CheckItemTitle(kItemCpu, true), reporter.rows[0].title);
    EXPECT_NE(CheckItemTitle(kItemCpu, true), std::string(CheckItemTitle(kItemCpu, false)));
    EXPECT_EQ((std::vector<int>{kItemCpu, kItemConnectivity, kItemMemory, kItemOperatingSystem, kItemServicePack,
                                kItemBrowserVersion, kItemBrowserSettings, kItemPatch, kItemComponents}),
              Kinds());
    for (size_t i = 0; i < reporter.rows.size(); ++i) {
        EXPECT_EQ(static_cast<int>(i), reporter.rows[i].row);
        EXPECT_EQ(i == 8 ? 100 : static_cast<int>(11 * (i + 1)), reporter.rows[i].progress);
        EXPECT_EQ(reporter.rows[i].kind, items[i].kind) << "records are the run's table";
    }
    EXPECT_EQ(1, reporter.done);
    EXPECT_TRUE(ReadRegValue(user.real(), std::string(kZoneMapRanges) + "\\Range1", L":Range").present);
    EXPECT_TRUE(FileExists(LoginShortcutPath(g_serverSettings)));
}

TEST_F(CheckRun, OldBrowserLeavesOutItsSettingsAndPatch)
{
    SetBrowserVersion(L"7.0.5730.13");
    RunClientCheck(CurrentCheckInputs(), items, reporter);
    ASSERT_EQ(7u, reporter.rows.size());
    const CheckItem& last = reporter.rows.back();
    EXPECT_EQ(kItemComponents, last.kind);
    EXPECT_EQ(6, last.row);
    EXPECT_EQ(100, last.progress);
    EXPECT_EQ(kStateFailed, reporter.rows[5].state);
    EXPECT_EQ(1, reporter.done);
}

// The window's report after a finished check, posted in the background:
// the caller never waits, even on a collector that takes the connection
// and never answers; a collector that answers gets the rows, the figures,
// the desk's name and the company's token, the texts in UTF-8.
TEST(Report, PostedInTheBackgroundWithTheRowsFiguresAndToken)
{
    AppScope scope;
    ASSERT_TRUE(DemoPort()) << "the demo server is not running";
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    sockaddr_in address;
    SOCKET silent = BoundLoopbackSocket(&address);
    ASSERT_EQ(0, listen(silent, 4));
    const std::string away = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/report";
    ASSERT_TRUE(PostReportInBackground(away, "t0k", "{}", done));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(done, 0)) << "the caller waited for the collector";
    closesocket(silent);  // the collector goes away: the post fails, quietly
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("report to " + away + " failed"));

    CheckItem cpu;
    cpu.kind = 1;
    cpu.row = 0;
    cpu.state = kStatePassed;
    cpu.title = "CPU\xbc\xec\xb2\xe2";  // "CPU检测" in code page 936
    CheckItem server = cpu;
    server.kind = 7;
    server.row = 1;
    server.state = kStateFailed;
    server.description = "a \"quoted\"\nline";
    ResetEvent(done);
    ASSERT_TRUE(PostReportInBackground(DemoBaseUrl() + "/norvik/SM/Report/Collect.aspx", "t0k",
                                       WindowReport({cpu, server}, "16381KB/s", ""), done));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
    CloseHandle(done);
    EXPECT_EQ("t0k", DemoGet("/_demo/reports?last=token"));
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    EXPECT_EQ(AnsiToUtf8(WideToAnsi(name)), DemoGet("/_demo/reports?last=machine"));
    Poco::JSON::Object::Ptr report =
        Poco::JSON::Parser().parse(DemoGet("/_demo/reports?last=report")).extract<Poco::JSON::Object::Ptr>();
    Poco::JSON::Array::Ptr rows = report->getArray("rows");
    ASSERT_EQ(2u, rows->size());
    EXPECT_EQ(u8"CPU检测", rows->getObject(0)->getValue<std::string>("title"));
    EXPECT_EQ(2, rows->getObject(1)->getValue<int>("state"));
    EXPECT_EQ(7, rows->getObject(1)->getValue<int>("kind"));
    EXPECT_EQ("a \"quoted\"\nline", rows->getObject(1)->getValue<std::string>("description"));
    EXPECT_EQ("16381KB/s", report->getValue<std::string>("download"));
    EXPECT_TRUE(report->isNull("upload"));
}
