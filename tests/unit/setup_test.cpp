// Saving the settings dialog's fields: checked first, written whole, the
// user's other lines kept, the server trusted.
#include "testutil.h"

#include "settings/config.h"
#include "settings/setup.h"
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
    // A file the reader refuses (a line without "=") is kept as the backup.
    const std::string broken = "[para]\r\nserver_addr=a\r\nserver_addr b\r\n";
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

    // A file deleted since the start is written anew; one whose folder is
    // gone is logged. Neither shows the start-up's "no server" box nor puts
    // the defaults back in place of what the user typed.
    DeleteFileW(AnsiToWide(path).c_str());
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.9", "83", "/w"}, path));
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("server_addr=192.168.0.9\r\n"));
    const std::string nowhere = scope.folder() + "gone\\local.ini";
    EXPECT_EQ(kSaveDone, SaveServerSettings({"192.168.0.10", "84", "/v"}, nowhere));
    EXPECT_EQ("192.168.0.10", g_serverSettings.serverAddr);
    EXPECT_EQ(84, g_serverSettings.serverPort);
    EXPECT_EQ("9.1", g_serverSettings.version);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("CLocalIniSettings Save:" + nowhere));
    EXPECT_TRUE(scope.boxes.empty()) << scope.boxes.front().text;
    // LF files stay LF, and a last line without its end gets one.
    EXPECT_EQ("[para]\na=0\nb=2\n", SetIniValues("[para]\na=0", "para", {{"b", "2"}}));
}

TEST_F(SaveSettings, InstallerValuesChangeOnlyTheirKeysAndNeverCostTheFileItsLines)
{
    // A missing file is created with the keys alone; nothing given still
    // creates it, empty (the program's defaults).
    EXPECT_EQ("", WriteLocalIniValues(path, {}));
    EXPECT_EQ("", ReadFileBytes(path));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(AnsiToWide(path).c_str()));
    EXPECT_EQ("", WriteLocalIniValues(path, {{"report_url", "http://h/r"}, {"component_signers", "A;B C"}}));
    EXPECT_EQ("[para]\r\nreport_url=http://h/r\r\ncomponent_signers=A;B C\r\n", ReadFileBytes(path));

    // Only the keys given change; version and edition are not written.
    const std::string hand = "[para]\r\nserver_port=1\r\n; mine\r\nreport_url=old\r\n";
    ASSERT_TRUE(WriteFileBytes(path, hand));
    EXPECT_EQ("", WriteLocalIniValues(path, {{"report_url", "new"}}));
    EXPECT_EQ("[para]\r\nserver_port=1\r\n; mine\r\nreport_url=new\r\n", ReadFileBytes(path));

    // Read-only: refused when something would change, no failure when the
    // values are there already.
    ASSERT_TRUE(SetFileAttributesW(AnsiToWide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ("", WriteLocalIniValues(path, {{"report_url", "new"}}));
    EXPECT_EQ("the file is read-only", WriteLocalIniValues(path, {{"report_url", "newer"}}));
    SetFileAttributesW(AnsiToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find("report_url=new\r\n"));

    // A file that is there but cannot be read is not replaced by the keys alone.
    const std::string kept = ReadFileBytes(path);
    HANDLE locked = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ("the file cannot be read", WriteLocalIniValues(path, {{"server_addr", "x"}}));
    CloseHandle(locked);
    EXPECT_EQ(kept, ReadFileBytes(path));
    EXPECT_EQ("", ReadFileBytes(path + ".bak"));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("CLocalIniSettings Save:" + path + " the file cannot be read"));
}

namespace {
std::string Utf16Le(const std::wstring& text)
{
    std::string out = "\xFF\xFE";
    for (wchar_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>((unit >> 8) & 0xFF);
    }
    return out;
}
} // namespace

TEST_F(SaveSettings, MarkedFilesKeepTheirEncodingAndEveryOtherCharacter)
{
    // Lines in characters the code page lacks come back unchanged; the new
    // values read back through the loader.
    const std::wstring before = L"[para]\r\n; \u263A \U0001F600 备注\r\nserver_addr=old\r\nstart_page=http://x/\u263A\r\n";
    const std::wstring after = L"[para]\r\n; \u263A \U0001F600 备注\r\nserver_addr=服务器\r\nstart_page=http://x/\u263A\r\n"
                               L"server_port=81\r\nserver_website=/y\r\nversion=9.1\r\nedition=pro\r\n";
    const std::string utf8Before = u8"\uFEFF[para]\nserver_addr=old\n[more]\nk=\u263A\n";
    const std::string utf8After = u8"\uFEFF[para]\nserver_addr=服务器\nserver_port=81\nserver_website=/y\n"
                                  u8"version=9.1\nedition=pro\n[more]\nk=\u263A\n";
    const std::pair<std::string, std::string> files[] = {
        {Utf16Le(before), Utf16Le(after)},
        {utf8Before, utf8After},
    };
    for (const auto& file : files) {
        ASSERT_TRUE(WriteFileBytes(path, file.first));
        EXPECT_EQ(kSaveDone, SaveServerSettings({"服务器", "81", "/y"}, path));
        EXPECT_EQ(file.second, ReadFileBytes(path));
        EXPECT_EQ("", ReadFileBytes(path + ".bak")) << "a readable file needs no backup";
        CLocalIniSettings ini;
        ASSERT_TRUE(ini.Load(path));
        ServerSettings loaded;
        ReadServerSettings(ini.Tree(), &loaded);
        EXPECT_EQ("服务器", loaded.serverAddr);
        EXPECT_EQ(81, loaded.serverPort);
    }
}

TEST(SetIniValuesText, EveryPlaceOfAKeyGetsTheValueSoTheReaderSeesIt)
{
    // The section written twice, the header spaced and commented, the key in
    // both places: the last place is the one the reader keeps.
    const std::string text = "[ para ] ; main\r\nserver_addr=a\r\n[x]\r\nserver_addr=keep\r\n[para]\r\n"
                             " server_addr = b\r\n;server_addr=comment\r\n";
    const std::string saved = SetIniValues(text, "para", {{"server_addr", "c"}, {"server_port", "81"}});
    EXPECT_EQ("[ para ] ; main\r\nserver_addr=c\r\n[x]\r\nserver_addr=keep\r\n[para]\r\n"
              "server_addr=c\r\n;server_addr=comment\r\nserver_port=81\r\n",
              saved);
    boost::property_tree::ptree tree;
    ASSERT_TRUE(ParseIniText(saved, tree, nullptr));
    EXPECT_EQ("c", tree.get<std::string>("para.server_addr"));
    EXPECT_EQ("keep", tree.get<std::string>("x.server_addr"));
    // Text after a Ctrl-Z is not read, so nothing is put there.
    EXPECT_EQ("[para]\r\na=1\r\nb=2\r\n\x1A[para]\r\n", SetIniValues("[para]\r\na=1\r\n\x1A[para]\r\n", "para", {{"b", "2"}}));
}
