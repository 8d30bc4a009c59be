#include "testutil.h"

#include "browser/iesettings.h"
#include "browser/trustsites.h"
#include "browser/zonesettings.h"
#include "check/browserprobe.h"

#include <gtest/gtest.h>

namespace {

class BrowserPreferences : public testing::Test {
protected:
    void SetUp() override
    {
        // What every profile has; the preference values themselves are not there.
        for (const char* path : {kTrustedZoneKey, kInternetZoneKey, kInternationalKey, kNewWindowsKey})
            ASSERT_TRUE(MakeKey(user.real(), path));
        ASSERT_TRUE(MakeKey(machine.real(), kMachineMainKey));
    }
    void SetDword(const char* path, const wchar_t* name, DWORD value)
    {
        ASSERT_TRUE(MakeKey(user.real(), path));
        HKEY key;
        RegOpenKeyExW(user.real(), AnsiToWideTest(path).c_str(), 0, KEY_ALL_ACCESS, &key);
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    static std::wstring AnsiToWideTest(const char* text) { return std::wstring(text, text + strlen(text)); }
    int Check()
    {
        item = CheckItem();
        EXPECT_EQ(1, CheckIESetting(item));
        return item.state;
    }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
    CheckItem item;
};

} // namespace

TEST_F(BrowserPreferences, FreshProfileFailsAndTheZoneValuesAreWrittenAnyway)
{
    EXPECT_EQ(kStateFailed, Check());
    EXPECT_EQ(kItemBrowserSettings, item.kind);
    EXPECT_EQ("IE设置/优化", item.title);
    EXPECT_EQ("优化IE访问速度和InterNet选项配置", item.description);
    EXPECT_EQ("", item.optimal);
    EXPECT_TRUE(ReadRegValue(user.real(), kTrustedZoneKey, L"1201").present);
    EXPECT_TRUE(ReadRegValue(user.real(), kInternetZoneKey, L"1809").present);

    // Without its pop-up value the pop-up test passes; the others do not.
    EXPECT_TRUE(CheckAllowPopUpWin());
    RegDeleteKeyW(user.real(), L"Software\\Microsoft\\Internet Explorer\\New Windows");
    EXPECT_FALSE(CheckAllowPopUpWin()) << "but a missing key fails it";
    EXPECT_FALSE(CheckNoClearBrowsingHistory());
    EXPECT_FALSE(CheckMaxScriptment());
    EXPECT_FALSE(CheckCompatibilityMode());
}

TEST_F(BrowserPreferences, RepairThenCheckPasses)
{
    ServerSettings server = g_serverSettings;
    server.serverIp = "10.1.2.3";
    ASSERT_TRUE(SetIESetting(server));
    RegValue allow = ReadRegValue(user.real(), kPopupAllowKey, L"10.1.2.3");
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), allow.type);
    EXPECT_EQ(std::string(2, '\0'), allow.bytes);
    EXPECT_EQ(0xFFFFFFFFu, ReadRegValue(user.real(), kStylesKey, L"MaxScriptStatements").dword());
    EXPECT_EQ(0u, ReadRegValue(user.real(), kPrivacyKey, L"ClearBrowsingHistoryOnExit").dword());
    EXPECT_EQ(0u, ReadRegValue(user.real(), kNewWindowsKey, L"PopupMgr").dword());
    EXPECT_EQ(1u, ReadRegValue(user.real(), kBrowserEmulationKey, L"AllSitesCompatibilityMode").dword());
    EXPECT_EQ(kStatePassed, Check());

    scope.app().m_sysInfo.englishUI = 1;
    Check();
    EXPECT_EQ("IE Settings", item.title);
    EXPECT_EQ("Optimization of IE speed and  options", item.description);
}

TEST_F(BrowserPreferences, EachPreferenceIsJudgedExactly)
{
    SetDword(kPrivacyKey, L"ClearBrowsingHistoryOnExit", 0);
    SetDword(kStylesKey, L"MaxScriptStatements", 0xFFFFFFFFu);
    SetDword(kBrowserEmulationKey, L"AllSitesCompatibilityMode", 7);
    EXPECT_EQ(kStatePassed, Check());

    SetDword(kStylesKey, L"MaxScriptStatements", 0x7FFFFFFF);
    EXPECT_EQ(kStateFailed, Check());
    SetDword(kStylesKey, L"MaxScriptStatements", 0xFFFFFFFFu);

    SetDword(kNewWindowsKey, L"PopupMgr", 1);
    EXPECT_EQ(kStateFailed, Check());
    SetDword(kNewWindowsKey, L"PopupMgr", 0);
    EXPECT_EQ(kStatePassed, Check());

    SetDword(kPrivacyKey, L"ClearBrowsingHistoryOnExit", 1);
    EXPECT_EQ(kStateFailed, Check());
}

TEST_F(BrowserPreferences, InvalidServerIpWritesNothing)
{
    ServerSettings server = g_serverSettings;
    for (const char* bad : {"10.0.300.1", "10.0.0.255", "server.lan"}) {
        server.serverIp = bad;
        EXPECT_FALSE(SetIESetting(server)) << bad;
        EXPECT_NE(std::string::npos, ReadTodaysLog().find(std::string("SetIESetting IsAddress:") + bad + " fail\r\n"));
    }
    EXPECT_FALSE(KeyExists(user.real(), kPopupAllowKey));
    EXPECT_FALSE(KeyExists(user.real(), kStylesKey));
    EXPECT_FALSE(KeyExists(user.real(), kPrivacyKey));
}
