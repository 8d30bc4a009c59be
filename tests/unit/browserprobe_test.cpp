#include "testutil.h"

#include "base/textconv.h"
#include "check/browserprobe.h"
#include "check/checkitem.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

class BrowserVersion : public testing::Test {
protected:
    // nullptr leaves the value out.
    void SetVersions(const wchar_t* version, const wchar_t* service)
    {
        ASSERT_TRUE(MakeKey(machine.real(), kBrowserKey));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(machine.real(), AnsiToWide(kBrowserKey).c_str(), 0, KEY_ALL_ACCESS, &key));
        const wchar_t* names[] = {L"Version", L"svcVersion"};
        const wchar_t* texts[] = {version, service};
        for (int i = 0; i < 2; ++i) {
            RegDeleteValueW(key, names[i]);
            if (texts[i])
                RegSetValueExW(key, names[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(texts[i]),
                               static_cast<DWORD>((wcslen(texts[i]) + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }
    bool Check(const wchar_t* version, const wchar_t* service = nullptr)
    {
        SetVersions(version, service);
        item = CheckItem();
        return CheckBrowserVersion(item, kCheckProfile);
    }
    void ExpectUnreadable(const char* what)
    {
        EXPECT_EQ(kStateFailed, item.state) << what;
        EXPECT_EQ(0, item.installed) << what;
        EXPECT_EQ("获取IE版本失败", item.description) << what;
    }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    AppScope scope;
    CheckItem item;
};

int g_queries = 0;
std::set<std::string> CountedNoHotfixes() { ++g_queries; return {"KB999"}; }
std::set<std::string> PatchInstalled() { ++g_queries; return {"KB1", "KB2416400-IE8"}; }

} // namespace

TEST_F(BrowserVersion, NewerBrowserIsReadFromSvcVersion)
{
    EXPECT_TRUE(Check(L"9.10.9200.16384", L"10.0.9200.16384"));
    EXPECT_EQ(kItemBrowserVersion, item.kind);
    EXPECT_EQ(kStatePassed, item.state);
    EXPECT_EQ(1, item.installed);
    EXPECT_EQ("Microsoft Internet Explorer (10.0.9200.16384)", item.description);
    EXPECT_EQ("浏览器(IE)", item.title);
    EXPECT_EQ(std::string(OptimalText(kItemBrowserVersion, kCheckProfile, false)), item.optimal);
    EXPECT_EQ("10", g_browserMajorVersion);

    EXPECT_TRUE(Check(L"10.0.1", L"9.11.1"));
    EXPECT_EQ("Microsoft Internet Explorer (10.0.1)", item.description) << "the higher major wins";
    EXPECT_TRUE(Check(L"", L"11.0.9600.1"));
    EXPECT_EQ("Microsoft Internet Explorer (11.0.9600.1)", item.description);

    scope.app().m_sysInfo.englishUI = 1;
    Check(L"8.0.6001.18702");
    EXPECT_EQ("Browser(IE)", item.title);
}

TEST_F(BrowserVersion, EightPassesSevenFails)
{
    EXPECT_TRUE(Check(L"8.0.6001.18702"));
    EXPECT_EQ(kStatePassed, item.state);
    EXPECT_EQ("8", g_browserMajorVersion);

    EXPECT_TRUE(Check(L"7.0.5730.13")) << "a version was read";
    EXPECT_EQ(kStateFailed, item.state);
    EXPECT_EQ(1, item.installed);
    EXPECT_EQ("7", g_browserMajorVersion);

    EXPECT_FALSE(IsBrowserVersionOk("beta.1"));
    EXPECT_TRUE(IsBrowserVersionOk("12.0"));

    // Without a "." it passes, and the major version is not the last run's.
    EXPECT_TRUE(Check(L"8"));
    EXPECT_EQ(kStatePassed, item.state);
    EXPECT_EQ("Microsoft Internet Explorer (8)", item.description);
    EXPECT_EQ("", g_browserMajorVersion) << "not an earlier run's";

    g_browserMajorVersion = "10";
    EXPECT_TRUE(IsBrowserVersionOk("8"));
    EXPECT_EQ("10", g_browserMajorVersion);
}

TEST_F(BrowserVersion, UnreadableVersionsFailInChineseEverywhere)
{
    scope.app().m_sysInfo.englishUI = 1;
    item = CheckItem();
    EXPECT_FALSE(CheckBrowserVersion(item, kCheckProfile));
    ExpectUnreadable("no key");
    EXPECT_EQ("Browser(IE)", item.title);

    EXPECT_FALSE(Check(nullptr, L"10.0.9200.16384"));
    ExpectUnreadable("no Version");
    EXPECT_FALSE(Check(L"", L""));
    ExpectUnreadable("both empty");
    EXPECT_FALSE(Check(L""));
    ExpectUnreadable("empty Version alone");
}

TEST(BrowserPatch, OnlyBrowserEightIsJudged)
{
    AppScope scope;
    CheckItem item;
    for (const char* major : {"", "7", "10", "80", "8 "}) {
        g_browserMajorVersion = major;
        g_queries = 0;
        item.description = "stale";
        EXPECT_EQ(1, CheckPatch(item, kCheckProfile, CountedNoHotfixes));
        EXPECT_EQ(0, g_queries) << major;
        EXPECT_EQ("", item.description) << major;
        EXPECT_EQ(kStatePassed, item.state) << major;
    }
    EXPECT_EQ(kItemPatch, item.kind);
    EXPECT_EQ(1, item.installed);
    EXPECT_EQ("系统/IE补丁检测", item.title);

    g_browserMajorVersion = "8";
    CheckPatch(item, kCheckProfile, CountedNoHotfixes);
    EXPECT_EQ(1, g_queries);
    EXPECT_EQ("缺少补丁:KB2416400-IE8", item.description);
    EXPECT_EQ(kStateWarning, item.state);
    CheckPatch(item, kCheckProfile, PatchInstalled);
    EXPECT_EQ("缺少补丁:", item.description);
    EXPECT_EQ(kStatePassed, item.state);

    scope.app().m_sysInfo.englishUI = 1;
    CheckPatch(item, kCheckProfile, CountedNoHotfixes);
    EXPECT_EQ("No IE Patch:KB2416400-IE8", item.description);
    EXPECT_EQ("System/IE Patch", item.title);
    CheckPatch(item, kCheckProfile, PatchInstalled);
    EXPECT_EQ("No IE Patch:", item.description);
    g_browserMajorVersion.clear();
}

namespace {

struct LiveQuery {
    bool apartment = false;  // run inside a single-threaded apartment
    std::set<std::string> hotfixes;
    HRESULT afterwards = E_FAIL;  // what COM says about the thread after the query
    CheckItem item;
};

DWORD WINAPI RunLiveQuery(void* param)
{
    auto* run = static_cast<LiveQuery*>(param);
    if (run->apartment) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    run->hotfixes = QueryHotfixes();
    if (!run->apartment) CheckPatch(run->item, kCheckProfile);
    run->afterwards = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoUninitialize();
    if (run->apartment) CoUninitialize();
    return 0;
}

bool RunOnThread(LiveQuery* run)
{
    HANDLE thread = CreateThread(nullptr, 0, RunLiveQuery, run, 0, nullptr);
    bool finished = WaitForSingleObject(thread, 120000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return finished;
}

} // namespace

TEST(BrowserPatch, LiveQueryAnswersAndLeavesComAsItFoundIt)
{
    AppScope scope;
    g_browserMajorVersion = "8";
    LiveQuery run;
    ASSERT_TRUE(RunOnThread(&run)) << "the query hung";
    g_browserMajorVersion.clear();
    EXPECT_EQ(S_OK, run.afterwards) << "COM still initialised after the query";
    // Every system lists at least one update (Wine one of its own), so the
    // identifiers below are really read.
    ASSERT_FALSE(run.hotfixes.empty()) << "the query read no updates";
    for (const std::string& id : run.hotfixes) {
        EXPECT_FALSE(id.empty());
        for (unsigned char c : id) EXPECT_GE(c, 0x20) << "control character in " << id;
    }
    bool patched = run.hotfixes.count(kRequiredPatch) > 0;
    EXPECT_EQ(patched ? kStatePassed : kStateWarning, run.item.state);

    LiveQuery sta;
    sta.apartment = true;
    ASSERT_TRUE(RunOnThread(&sta));
    EXPECT_TRUE(sta.hotfixes.empty()) << "a single-threaded apartment gets nothing";
    EXPECT_EQ(S_FALSE, sta.afterwards) << "the caller's apartment survived";
}
