#include "testutil.h"

#include "app/config.h"
#include "base/paths.h"

#include <boost/property_tree/ini_parser.hpp>
#include <gtest/gtest.h>

#include <io.h>

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

TEST(CLocalIniSettingsSave, KeepsUnknownKeysWhenRewritten)
{
    AppScope scope;
    std::string path = scope.folder() + "local.ini";
    ASSERT_TRUE(WriteFileBytes(path, "[para]\nserver_addr=a\nextra=keep\n[other]\nk=v\n"));
    CLocalIniSettings ini;
    ini.Load(path);
    pt::ptree tree = ini.Tree();
    tree.put("para.server_addr", "b");
    ini.Save(path, tree);
    CLocalIniSettings again;
    again.Load(path);
    EXPECT_EQ("b", again.Tree().get<std::string>("para.server_addr"));
    EXPECT_EQ("keep", again.Tree().get<std::string>("para.extra"));
    EXPECT_EQ("v", again.Tree().get<std::string>("other.k"));
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
