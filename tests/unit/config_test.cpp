#include "testutil.h"

#include "settings/config.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/textconv.h"

#include <boost/property_tree/ini_parser.hpp>
#include <gtest/gtest.h>

#include <io.h>
#include <windows.h>

#include <sstream>

namespace pt = boost::property_tree;

namespace {
pt::ptree Ini(const std::string& text)
{
    std::istringstream in(text);
    pt::ptree tree;
    pt::read_ini(in, tree);
    return tree;
}
} // namespace

TEST(ServerSettingsRead, EmptyFileGivesTheDefaults)
{
    ServerSettings s;
    ReadServerSettings(pt::ptree(), &s);
    EXPECT_EQ(kDefaultServerAddr, s.serverAddr);
    EXPECT_EQ(80, s.serverPort);
    EXPECT_EQ("/norvik/login.htm", s.serverWebsite);
    EXPECT_EQ("12.000.000.0000", s.version);
    EXPECT_EQ("", s.edition);
    EXPECT_EQ("", s.editionName);
    EXPECT_EQ(kDefaultIpInfoHost, s.ipInfoHost);
    ReadServerSettings(Ini("[para]\nipinfo_host=127.0.0.1:8081\n"), &s);
    EXPECT_EQ("127.0.0.1:8081", s.ipInfoHost);
}

TEST(ServerSettingsRead, PortIsTruncatedTo16BitsAndAWordMeansDefault)
{
    ServerSettings s;
    ReadServerSettings(Ini("[para]\nserver_port=70000\n"), &s);
    EXPECT_EQ(4464, s.serverPort);
    ReadServerSettings(Ini("[para]\nserver_port=http\n"), &s);
    EXPECT_EQ(80, s.serverPort);
    ReadServerSettings(Ini("[para]\nserver_addr=10.0.0.7\nserver_port=8080\nedition=std\n"), &s);
    EXPECT_EQ("10.0.0.7", s.serverAddr);
    EXPECT_EQ(8080, s.serverPort);
    EXPECT_EQ("标准版", s.editionName);
}

TEST(ServerSettingsRead, EditionNamesMatchCaseSensitively)
{
    EXPECT_EQ("专业版", EditionDisplayName("pro"));
    EXPECT_EQ("标准版", EditionDisplayName("std"));
    EXPECT_EQ("普及版", EditionDisplayName("pop"));
    EXPECT_EQ("", EditionDisplayName("Pro"));
    EXPECT_EQ("", EditionDisplayName("pro "));
}

TEST(ComponentListUrl, SitePrefixComesFromTheLoginPagePath)
{
    ServerSettings s;
    s.serverAddr = "srv";
    s.serverPort = 8080;
    s.serverWebsite = "/abc/login.htm";
    EXPECT_EQ("http://srv:8080/abc/DownLoad/ThirdParty/local.inf", ComponentListUrl(s));
    s.serverWebsite = "/abc/index.htm";
    EXPECT_EQ("http://srv:8080/DownLoad/ThirdParty/local.inf", ComponentListUrl(s));
}

TEST(ComponentTableRead, KeysWithThreeDigitSuffixesAndVersions)
{
    ComponentTable table;
    ReadComponentTable(Ini("[thirdparty]\n"
                           "thirdparty001=b.ocx\nisregister001=1\nisDownload001=true\nversion001=2.5.0.12\n"
                           "thirdparty002=a.dll\nisregister002=false\nisDownload002=maybe\nversion002=1.x.3\n"),
                       &table);
    ASSERT_EQ(2u, table.size());
    EXPECT_EQ("a.dll", table.begin()->first);  // ascending by name
    const ComponentInfo& b = table.at("b.ocx");
    EXPECT_EQ(1, b.isregister);
    EXPECT_EQ(1, b.isDownload);
    EXPECT_EQ(2, b.major);
    EXPECT_EQ(5, b.minor);
    EXPECT_EQ(0, b.build);
    EXPECT_EQ(12, b.revision);
    EXPECT_EQ(20, b.number);
    const ComponentInfo& a = table.at("a.dll");
    EXPECT_EQ(0, a.isregister);
    EXPECT_EQ(0, a.isDownload);  // not a boolean: false
    EXPECT_EQ(1, a.major);
    EXPECT_EQ(0, a.minor);
    EXPECT_EQ(3, a.build);
    EXPECT_EQ(0, a.revision);
}

TEST(ComponentTableRead, StopsAtAnEmptyNameAndKeepsTheFirstDuplicate)
{
    ComponentTable table;
    ReadComponentTable(Ini("[thirdparty]\n"
                           "thirdparty001=x.ocx\nversion001=1.0.0.0\n"
                           "thirdparty002=y.ocx\n"
                           "thirdparty003=\n"
                           "thirdparty004=z.ocx\n"),
                       &table);
    EXPECT_EQ(2u, table.size());
    EXPECT_EQ(0u, table.count("z.ocx"));

    ReadComponentTable(Ini("[thirdparty]\n"
                           "thirdparty001=x.ocx\nversion001=1.0.0.0\nthirdparty002=q.ocx\n"
                           "thirdparty003=r.ocx\nthirdparty004=s.ocx\n"
                           "thirdparty005=x.ocx\nversion005=9.9.9.9\n"),
                       &table);
    EXPECT_EQ(4u, table.size());
    EXPECT_EQ(1, table.at("x.ocx").major);
}

TEST(ComponentTableRead, HashesOfComponentsAndInstallersWhenListed)
{
    const auto ini = Ini("[thirdparty]\nthirdparty001=x.ocx\nsha256001=ABC123\nthirdparty002=y.ocx\n"
                         "[installers]\nIE8-WindowsXP-x86-CHS.exe=00ff\n");
    ComponentTable table;
    ReadComponentTable(ini, &table);
    EXPECT_EQ("ABC123", table.at("x.ocx").sha256);
    EXPECT_EQ("", table.at("y.ocx").sha256);  // none listed: not checked
    std::map<std::string, std::string> hashes{{"stale.exe", "1"}};
    ReadInstallerHashes(ini, &hashes);
    EXPECT_EQ((std::map<std::string, std::string>{{"IE8-WindowsXP-x86-CHS.exe", "00ff"}}), hashes);
}

TEST(LocalInf, LivesInSysWow64OnlyWhenTheArchitectureIsX64)
{
    AppScope scope;
    std::string path = LocalInfPath();
    EXPECT_NE(std::string::npos, path.find("\\System32\\local.inf")) << path;
    strcpy(scope.app().m_sysInfo.architecture, "X64");
    path = LocalInfPath();
    EXPECT_NE(std::string::npos, path.find("\\SysWOW64\\local.inf")) << path;
}

TEST(CLocalIniSettingsLoad, MalformedFileCountsAsEmptyAndIsLogged)
{
    AppScope scope;
    std::string path = scope.folder() + "bad.ini";
    ASSERT_TRUE(WriteFileBytes(path, "[para]\nserver_addr=1.2.3.4\nthis line has no equals sign\n"));
    CLocalIniSettings ini;
    ini.Load(path);
    EXPECT_TRUE(ini.Tree().empty());
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("CLocalIniSettings Load:" + path));
}

TEST(LocalIni, MissingFileIsCreatedEmptyAndReadsAsDefaults)
{
    AppScope scope;
    std::string path = scope.folder() + "local.ini";
    ASSERT_TRUE(EnsureLocalIni(path));
    EXPECT_EQ("", ReadFileBytes(path));
    EXPECT_EQ(0, _access(path.c_str(), 0));

    CLocalIniSettings ini;
    ini.Load(path);
    ServerSettings s;
    ReadServerSettings(ini.Tree(), &s);
    EXPECT_EQ(80, s.serverPort);
    EXPECT_EQ("/norvik/login.htm", s.serverWebsite);
    EXPECT_EQ("", ReadFileBytes(path));  // nothing written into it

    // An existing file is left as it is.
    ASSERT_TRUE(WriteFileBytes(path, "[para]\r\nserver_port=81\r\n"));
    ASSERT_TRUE(EnsureLocalIni(path));
    EXPECT_EQ("[para]\r\nserver_port=81\r\n", ReadFileBytes(path));
    EXPECT_TRUE(scope.boxes.empty());
}

TEST(LocalIni, UncreatableFileFailsAndIsLogged)
{
    AppScope scope;
    std::string path = scope.folder() + "no-such-folder\\local.ini";
    EXPECT_FALSE(EnsureLocalIni(path));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("创建配置文件" + path + " [fail]\r\n"));
}

namespace {
// A wide text as the bytes Notepad saves for "Unicode" (LE) or
// "Unicode big endian", mark included.
std::string Utf16Bytes(const std::wstring& text, bool bigEndian)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>((unit >> 8) & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

ServerSettings LoadedSettings(const std::string& path)
{
    CLocalIniSettings ini;
    EXPECT_TRUE(ini.Load(path)) << path;
    ServerSettings settings;
    ReadServerSettings(ini.Tree(), &settings);
    return settings;
}
} // namespace

TEST(LocalIniEncodings, NotepadsFourEncodingsReadAsTheSameText)
{
    AppScope scope;
    ASSERT_EQ(936u, GetACP()) << "the tests run with the Chinese code page";
    const std::string path = scope.folder() + "local.ini";
    const std::wstring text = L"[para]\r\n; 服务器\r\nserver_addr=10.0.0.9\r\nserver_port=8081\r\nstart_page=http://x/北京\r\n";
    const std::string files[] = {
        WideToAnsi(text),                             // ANSI, code page 936
        "\xEF\xBB\xBF" + AnsiToUtf8(WideToAnsi(text)),  // UTF-8 with its mark
        Utf16Bytes(text, false),
        Utf16Bytes(text, true),
    };
    for (const std::string& bytes : files) {
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        const ServerSettings s = LoadedSettings(path);
        EXPECT_EQ("10.0.0.9", s.serverAddr);
        EXPECT_EQ(8081, s.serverPort);
        EXPECT_EQ("http://x/北京", s.startPage);  // in the code page, as the program's texts are
    }
    // A character the code page lacks does not stop the file from being read.
    ASSERT_TRUE(WriteFileBytes(path, Utf16Bytes(L"[para]\r\nstart_page=\u263A\U0001F600\r\nserver_port=82\r\n", false)));
    EXPECT_EQ(82, LoadedSettings(path).serverPort);
    EXPECT_TRUE(scope.boxes.empty());
}

TEST(LocalIniEncodings, ARepeatedKeyOrSectionKeepsTheLastValue)
{
    pt::ptree tree;
    IniError error;
    ASSERT_TRUE(ParseIniText("top=1\ntop=2\n[para]\nserver_addr=a\n[other]\nk=v\n[ para ] ; again\n"
                             "server_addr=b\nserver_port=81\n[empty]\n[para]\n",
                             tree, &error));
    EXPECT_EQ("2", tree.get<std::string>("top"));
    EXPECT_EQ("b", tree.get<std::string>("para.server_addr"));
    EXPECT_EQ("81", tree.get<std::string>("para.server_port"));
    EXPECT_EQ(2u, tree.get_child("para").size());
    EXPECT_EQ("v", tree.get<std::string>("other.k"));
    EXPECT_EQ(0u, tree.count("empty"));  // a section without keys is dropped
}

TEST(LocalIniEncodings, PlainFilesReadExactlyAsBefore)
{
    // Files the old reader took give the same tree, byte for byte.
    const char* texts[] = {
        "",
        "[para]\r\nserver_addr = 10.0.0.1 \r\n\r\n;c=1\r\n# d\r\n  server_port=8080\r\nedition=std ; not a comment\r\n",
        "k=v\n[a]\n[b]x\nname=\xB1\xB1\xBE\xA9\n[\xD5\x5D]\n\xCA\x5D=\x81\x5B\n",  // GBK trail bytes "]" and "["
        "[s]\nkey=a=b\n\tv\t=\t\f\n",
        "[para]\nserver_port=70000",
        "[para]\n[other]\nk=v\n[para]\nserver_port=1\n",  // an empty section is dropped where it stands
    };
    for (const char* text : texts) {
        pt::ptree mine;
        IniError error;
        ASSERT_TRUE(ParseIniText(text, mine, &error)) << text;
        EXPECT_EQ(Ini(text), mine) << text;
    }
    // What it refuses, with the line and the reason.
    const std::pair<const char*, unsigned long> bad[] = {
        {"[para]\nserver_addr=1\n[oops\n", 3},
        {"[para]\r\n\r\nno equals sign\r\n", 3},
        {"a=1\n = 2\n", 2},
    };
    for (const auto& item : bad) {
        pt::ptree tree;
        tree.put("kept", "1");
        IniError error;
        EXPECT_FALSE(ParseIniText(item.first, tree, &error)) << item.first;
        EXPECT_EQ(item.second, error.line) << item.first;
        EXPECT_FALSE(error.reason.empty());
        EXPECT_EQ("1", tree.get<std::string>("kept"));
    }
    // A Ctrl-Z ends the text, as it ended the old reader's file.
    pt::ptree tree;
    ASSERT_TRUE(ParseIniText("[para]\r\nserver_port=81\r\n\x1A garbage", tree, nullptr));
    EXPECT_EQ("81", tree.get<std::string>("para.server_port"));
}

TEST(LocalIniEncodings, AFileThatDoesNotParseIsToldOnceWithItsLine)
{
    AppScope scope;
    const ServerSettings saved = g_serverSettings;
    const std::string path = scope.folder() + "local.ini";
    ASSERT_TRUE(WriteFileBytes(path, Utf16Bytes(L"[para]\r\nserver_addr=10.0.0.2\r\nserver_addr 10.0.0.3\r\nbad too\r\n", false)));
    LoadServerSettings(path);
    ServerSettings s = g_serverSettings;
    g_serverSettings = saved;
    ASSERT_EQ(1u, scope.boxes.size());
    EXPECT_NE(std::string::npos, scope.boxes[0].text.find(path)) << scope.boxes[0].text;
    EXPECT_NE(std::string::npos, scope.boxes[0].text.find("第3行")) << scope.boxes[0].text;
    EXPECT_NE(std::string::npos, scope.boxes[0].text.find("缺少“=”")) << scope.boxes[0].text;
    EXPECT_EQ(kDefaultServerAddr, s.serverAddr);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("CLocalIniSettings Load:" + path + "(3)"));

    // A sound file and a missing one show nothing.
    ASSERT_TRUE(WriteFileBytes(path, "[para]\r\nserver_addr=10.0.0.2\r\n"));
    LoadServerSettings(path);
    LoadServerSettings(scope.folder() + "missing.ini");
    g_serverSettings = saved;
    EXPECT_EQ(1u, scope.boxes.size());
}
