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
        g_serverSettings.serverWebsite = "/a/login.htm";
        g_serverSettings.version = "9.1";
        g_serverSettings.edition = "pro";
        path = scope.folder() + "local.ini";
    }
    void TearDown() override { g_serverSettings = saved; }
    // The addresses of the trusted-site ranges under `key`, blank-separated.
    std::string Ranges(const char* key)
    {
        std::string found;
        for (int n = 1; n < 10; ++n) {
            RegValue value = ReadRegValue(user.real(), std::string(key) + "\\Range" + std::to_string(n), L":Range");
            if (value.bytes.empty()) break;
            std::wstring wide(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / 2);
            found += WideToAnsi(wide.c_str()) + " ";
        }
        return found;
    }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
    ServerSettings saved;
    std::string path;
};

const char kUsersFile[] = "; written by hand\r\n"
                          "[para]\r\n"
                          "server_addr=old.example\r\n"
                          "ipinfo_host = 10.0.0.1\r\n"
                          "\r\n"
                          "[other]\r\n"
                          "keep=me\r\n";

}  // namespace

TEST_F(SaveSettings, RefusedFieldsChangeNothingAndGoodOnesKeepEveryOtherByte)
{
    ASSERT_TRUE(WriteFileBytes(path, kUsersFile));
    for (ServerFields empty : {ServerFields{"", "8080", "/x"}, ServerFields{"a", "", "/x"}, ServerFields{"a", "1", ""}}) {
        EXPECT_EQ(kSaveEmptyField, SaveServerSettings(empty, path));
        EXPECT_EQ(kUsersFile, ReadFileBytes(path));
        EXPECT_EQ("old.example", g_serverSettings.serverAddr) << "memory changed before the check";
        EXPECT_EQ(80, g_serverSettings.serverPort);
    }
    ASSERT_EQ(3u, scope.boxes.size());
    EXPECT_EQ("服务器地址、端口、虚拟目录均不能为空", scope.boxes[0].text);

    // 70000 is kept in 16 bits; the new keys go where the section ends.
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.5", "70000", "/norvik/login.htm"}, path));
    EXPECT_EQ("; written by hand\r\n"
              "[para]\r\n"
              "server_addr=192.168.0.5\r\n"
              "ipinfo_host = 10.0.0.1\r\n"
              "server_port=4464\r\n"
              "server_website=/norvik/login.htm\r\n"
              "version=9.1\r\n"
              "edition=pro\r\n"
              "\r\n"
              "[other]\r\n"
              "keep=me\r\n",
              ReadFileBytes(path));
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverAddr);
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverIp);
    EXPECT_EQ(4464, g_serverSettings.serverPort);
    EXPECT_EQ("", ReadFileBytes(path + ".tmp")) << "temporary file left behind";
    EXPECT_EQ("192.168.0.5 ", Ranges(kZoneMapRanges));
    EXPECT_EQ("", Ranges(kZoneMapEscRanges)) << "a workstation has no enhanced-security map";

    // Not a number is port 0, saved as such; a name that does not resolve
    // keeps the IP the program had, and is saved and trusted all the same.
    EXPECT_EQ(kSaveDone, SaveServerSettings({"no-such-host.invalid", "abc", "/x/login.htm"}, path));
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("\r\nserver_port=0\r\n"));
    EXPECT_EQ(0, g_serverSettings.serverPort);
    EXPECT_EQ("192.168.0.5", g_serverSettings.serverIp);
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("server_addr=no-such-host.invalid\r\n"));
}

TEST_F(SaveSettings, ServersTrustBothZoneMapsAndUnreadableOrReadOnlyFilesAreHandled)
{
    // A server system (2008 R2 among them) trusts in both zone maps.
    SystemInfo& system = CurrentSystemInfo();
    const SystemInfo before = system;
    system.server2008 = 1;
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.9", "80", "/x"}, path));
    system = before;
    EXPECT_EQ("192.168.0.9 ", Ranges(kZoneMapRanges));
    EXPECT_EQ("192.168.0.9 ", Ranges(kZoneMapEscRanges));

    // A file the reader refuses is kept as the backup; the new one has the five keys.
    const std::string broken = "[para]\r\nserver_addr=a\r\nserver_addr=b\r\n";  // a duplicate key
    ASSERT_TRUE(WriteFileBytes(path, broken));
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.7", "81", "/y"}, path));
    EXPECT_EQ(broken, ReadFileBytes(path + ".bak"));
    EXPECT_EQ("[para]\r\nserver_addr=192.168.0.7\r\nserver_port=81\r\nserver_website=/y\r\nversion=9.1\r\n"
              "edition=pro\r\n",
              ReadFileBytes(path));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("kept as " + path + ".bak"));

    // A read-only file is logged and left as it was; memory takes the values.
    const std::string kept = ReadFileBytes(path);
    ASSERT_TRUE(SetFileAttributesW(AnsiToWide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.8", "82", "/z"}, path));
    SetFileAttributesW(AnsiToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(kept, ReadFileBytes(path));
    EXPECT_EQ("192.168.0.8", g_serverSettings.serverAddr);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("CLocalIniSettings Save:" + path));
    EXPECT_EQ("", ReadFileBytes(path + ".tmp"));
}

TEST(SetIniValues, LineEndsAndMissingSections)
{
    // LF files stay LF; a last line without its end gets one before new keys.
    EXPECT_EQ("[para]\na=1\nb=2\n", SetIniValues("[para]\na=0\n", "para", {{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ("[para]\na=0\nb=2\n", SetIniValues("[para]\na=0", "para", {{"b", "2"}}));
    // Only the named section's keys change; a missing section is appended.
    EXPECT_EQ("[x]\r\na=0\r\n[para]\r\na=1\r\n", SetIniValues("[x]\r\na=0\r\n", "para", {{"a", "1"}}));
}
