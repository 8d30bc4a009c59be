#include "app/config.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "check/checkitem.h"
#include "check/osprobe.h"
#include "net/address.h"
#include "net/download.h"
#include "net/ipinfo.h"

#include <boost/property_tree/ini_parser.hpp>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

namespace pt = boost::property_tree;

void CLocalIniSettings::Load(const std::string& path)
{
    m_tree.clear();
    try {
        pt::read_ini(path, m_tree);
    } catch (const std::exception& error) {
        m_tree.clear();
        WriteLog("CLocalIniSettings Load:%s %s", path.c_str(), error.what());
    }
}

void CLocalIniSettings::Save(const std::string& path, const pt::ptree& tree)
{
    m_tree = tree;
    try {
        pt::write_ini(path, m_tree);
    } catch (const std::exception& error) {
        WriteLog("CLocalIniSettings Save:%s %s", path.c_str(), error.what());
    }
}

std::string LocalIniPath()
{
    return ExeDirectory() + "\\" + "local.ini";
}

std::string LocalInfPath()
{
    return SystemFolder() + "\\" + "local.inf";
}

std::string EditionDisplayName(const std::string& edition)
{
    if (edition == "pro") return "专业版";
    if (edition == "std") return "标准版";
    if (edition == "pop") return "普及版";
    return "";
}

void ReadServerSettings(const pt::ptree& tree, ServerSettings* settings)
{
    settings->serverAddr = tree.get<std::string>("para.server_addr", kDefaultServerAddr);
    // The port is kept in 16 bits; a value that is not a number counts as absent.
    boost::optional<int> port = tree.get_optional<int>("para.server_port");
    settings->serverPort = static_cast<uint16_t>(port ? *port : 80);
    settings->serverWebsite = tree.get<std::string>("para.server_website", kDefaultServerWebsite);
    settings->version = tree.get<std::string>("para.version", kDefaultVersion);
    settings->edition = tree.get<std::string>("para.edition", "");
    settings->editionName = EditionDisplayName(settings->edition);
    settings->ipInfoHost = tree.get<std::string>("para.ipinfo_host", kDefaultIpInfoHost);
    settings->startPage = tree.get<std::string>("para.start_page", "");
    settings->testPage = tree.get<std::string>("para.test_page", kDefaultTestPage);
}

std::string ComponentListUrl(const ServerSettings& settings)
{
    return ServerFileUrl(settings, "DownLoad/ThirdParty", "local.inf");
}

bool FetchComponentList(const std::string& url, const std::string& destination)
{
    // DownloadFile replaces the list only with a complete copy.
    DownloadJob job;
    job.kind = kTransferComponent;
    job.url = url;
    job.path = destination;
    int result = DownloadFile(&job, url.c_str(), 1, 1, destination.c_str());
    if (result != kDownloadOk)
        WriteLog("fetch %s failed: %d, %s kept\r\n", url.c_str(), result, destination.c_str());
    return result == kDownloadOk;
}

bool LoadGlobelSetting()
{
    {
        OSProbe probe;
        CheckItem scratch;
        CheckOperatingSystem(probe, scratch);
    }

    std::string iniPath = LocalIniPath();
    if (!EnsureLocalIni(iniPath)) return false;

    CLocalIniSettings ini;
    ini.Load(iniPath);
    ReadServerSettings(ini.Tree(), &g_serverSettings);

    return FetchComponentList(ComponentListUrl(g_serverSettings), LocalInfPath());
}

bool EnsureLocalIni(const std::string& iniPath)
{
    std::wstring iniWide = AnsiToWide(iniPath);
    if (!FileExists(iniPath)) {
        HANDLE file = CreateFileW(iniWide.c_str(), GENERIC_ALL, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            WriteLog("创建配置文件%s [fail]\r\n", iniPath.c_str());
            return false;
        }
        CloseHandle(file);
    }
    if (!FileExists(iniPath)) {
        ShowMessageBox(nullptr, "找不到服务器，请检查运行目录下Local.ini文件是否存在！", "错误", MB_OK);
        WriteLog("配置文件不存在,程序无法运行\r\n");
        g_serverSettings.serverAddr = kDefaultServerAddr;
        g_serverSettings.serverPort = 80;
        g_serverSettings.serverWebsite = kDefaultServerWebsite;
        g_serverSettings.version = kDefaultVersion;
        g_serverSettings.edition = "";
        return false;
    }
    return true;
}

void ReadComponentTable(const pt::ptree& tree, ComponentTable* table)
{
    table->clear();
    for (int i = 1; i <= 99; ++i) {
        char key[64];
        snprintf(key, sizeof key, "thirdparty.thirdparty%03d", i);
        std::string name = tree.get<std::string>(key, "");
        if (name.empty()) break;

        ComponentInfo info;
        snprintf(key, sizeof key, "thirdparty.isregister%03d", i);
        info.isregister = tree.get<bool>(key, false) ? 1 : 0;
        snprintf(key, sizeof key, "thirdparty.isDownload%03d", i);
        info.isDownload = tree.get<bool>(key, false) ? 1 : 0;
        snprintf(key, sizeof key, "thirdparty.version%03d", i);
        std::string version = tree.get<std::string>(key, "");

        int* parts[4] = {&info.major, &info.minor, &info.build, &info.revision};
        size_t start = 0;
        for (int* part : parts) {
            if (start > version.size()) break;
            size_t dot = version.find('.', start);
            *part = atoi(version.substr(start, dot - start).c_str());
            start = dot == std::string::npos ? version.size() + 1 : dot + 1;
        }
        snprintf(key, sizeof key, "thirdparty.sha256%03d", i);
        info.sha256 = tree.get<std::string>(key, "");
        table->emplace(name, info);  // a later duplicate is ignored
    }
}

void ReadInstallerHashes(const pt::ptree& tree, std::map<std::string, std::string>* hashes)
{
    hashes->clear();
    // Keys are file names, dots and all: read as they stand, not as paths.
    if (auto section = tree.get_child_optional("installers"))
        for (const auto& entry : *section) (*hashes)[entry.first] = entry.second.data();
}

bool LoadComponentList(bool resolveNow)
{
    std::string infPath = LocalInfPath();
    CLocalIniSettings inf;
    if (FileExists(infPath)) inf.Load(infPath);
    ReadComponentTable(inf.Tree(), &g_componentTable);
    ReadInstallerHashes(inf.Tree(), &g_installerHashes);

    if (resolveNow) {
        ResolveServerAddress();
    } else if (IsAddress(g_serverSettings.serverAddr.c_str())) {
        // A dotted address is the IP already; a name and the carrier
        // lookups are left to StartAddressLookups.
        g_serverSettings.serverIp = g_serverSettings.serverAddr;
    }

    const ServerSettings& s = g_serverSettings;
    WriteLog("\r\nsystem setup:\r\nserveraddr:%s\r\nserverip:%s\r\nserverport:%d\r\n"
             "serverwebsite:%s\r\nversion:%s\r\nedition:%s\r\n",
             s.serverAddr.c_str(), s.serverIp.c_str(), s.serverPort, s.serverWebsite.c_str(),
             s.version.c_str(), s.edition.c_str());
    for (const auto& component : g_componentTable)
        WriteLog("third party name:%s register:%d\r\n", component.first.c_str(),
                 component.second.isregister);

    srand(static_cast<unsigned>(time(nullptr)));
    return true;
}
