// Saving the settings dialog's fields: checked first, written whole, the
// user's other lines kept, the server trusted.
#include "testutil.h"

#include "app/setup.h"
#include "base/settings.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "browser/trustsites.h"

#include <gtest/gtest.h>

namespace {

class SaveSettings : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeKey(user.real(), kTrustedZoneKey));
        saved = g_serverSettings;
        g_serverSettings.serverAddr = "old.example";
        g_serverSettings.serverIp = "10.1.1.1";
        g_serverSettings.serverPort = 80;
        g_serverSettings.version = "9.1";
        g_serverSettings.edition = "pro";
    }
    void TearDown() override { g_serverSettings = saved; }
    // The address of trusted-site range 1 under `key`.
    std::string FirstRange(const char* key)
    {
        RegValue value = ReadRegValue(user.real(), std::string(key) + "\\Range1", L":Range");
        return WideToAnsi(std::wstring(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / 2).c_str());
    }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
    ServerSettings saved;
    std::string path = scope.folder() + "local.ini";
};

}  // namespace

TEST_F(SaveSettings, RefusedFieldsChangeNothingAndGoodOnesKeepEveryOtherByte)
{
    const std::string users = "; written by hand\r\n[para]\r\nserver_addr=old.example\r\nipinfo_host = 10.0.0.1\r\n\r\n"
                              "[other]\r\nkeep=me\r\n";
    ASSERT_TRUE(WriteFileBytes(path, users));
    EXPECT_EQ(kSaveEmptyField, SaveServerSettings({"a", "", "/x"}, path));
    EXPECT_EQ(users, ReadFileBytes(path));
    EXPECT_EQ("old.example", g_serverSettings.serverAddr) << "memory changed before the check";
    ASSERT_EQ(1u, scope.boxes.size());
    EXPECT_EQ("服务器地址、端口、虚拟目录均不能为空", scope.boxes[0].text);

    // 70000 is kept in 16 bits; new keys go where the section ends.
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.5", "70000", "/norvik/login.htm"}, path));
    EXPECT_EQ("; written by hand\r\n[para]\r\nserver_addr=192.168.0.5\r\nipinfo_host = 10.0.0.1\r\nserver_port=4464\r\n"
              "server_website=/norvik/login.htm\r\nversion=9.1\r\nedition=pro\r\n\r\n[other]\r\nkeep=me\r\n",
              ReadFileBytes(path));
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverIp);
    EXPECT_EQ(4464, g_serverSettings.serverPort);
    EXPECT_EQ("", ReadFileBytes(path + ".tmp")) << "temporary file left behind";
    EXPECT_EQ("192.168.0.5", FirstRange(kZoneMapRanges));
    EXPECT_EQ("", FirstRange(kZoneMapEscRanges)) << "a workstation has no enhanced-security map";

    // Not a number is port 0; a name that does not resolve keeps the IP
    // the program had, and is saved all the same.
    EXPECT_EQ(kSaveDone, SaveServerSettings({"no-such-host.invalid", "abc", "/x"}, path));
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("server_addr=no-such-host.invalid\r\nipinfo_host = 10.0.0.1\r\nserver_port=0\r\n"));
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverIp);
}

TEST_F(SaveSettings, ServersTrustBothZoneMapsAndUnreadableOrReadOnlyFilesAreHandled)
{
    SystemInfo& system = CurrentSystemInfo();
    const SystemInfo before = system;
    system.server2008 = 1;  // 2008 R2 among them
    // A file the reader refuses (a key twice) is kept as the backup.
    const std::string broken = "[para]\r\nserver_addr=a\r\nserver_addr=b\r\n";
    ASSERT_TRUE(WriteFileBytes(path, broken));
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.7", "81", "/y"}, path));
    system = before;
    EXPECT_EQ("192.168.0.7", FirstRange(kZoneMapRanges));
    EXPECT_EQ("192.168.0.7", FirstRange(kZoneMapEscRanges));
    EXPECT_EQ(broken, ReadFileBytes(path + ".bak"));
    EXPECT_EQ("[para]\r\nserver_addr=192.168.0.7\r\nserver_port=81\r\nserver_website=/y\r\nversion=9.1\r\nedition=pro\r\n",
              ReadFileBytes(path));

    // A read-only file is logged and left as it was; memory takes the values.
    const std::string kept = ReadFileBytes(path);
    ASSERT_TRUE(SetFileAttributesW(AnsiToWide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.8", "82", "/z"}, path));
    SetFileAttributesW(AnsiToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(kept, ReadFileBytes(path));
    EXPECT_EQ("192.168.0.8", g_serverSettings.serverAddr);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("CLocalIniSettings Save:" + path));
    // LF files stay LF, and a last line without its end gets one.
    EXPECT_EQ("[para]\na=0\nb=2\n", SetIniValues("[para]\na=0", "para", {{"b", "2"}}));
}
