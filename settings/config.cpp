#include "settings/config.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "net/address.h"
#include "net/download.h"
#include "net/ipinfo.h"


#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace pt = boost::property_tree;

bool CLocalIniSettings::Load(const std::string& path, IniError* error)
{
    m_tree.clear();
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        WriteLog("CLocalIniSettings Load:%s cannot open file\r\n", path.c_str());
        return false;
    }
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    const bool readError = ferror(file) != 0;
    fclose(file);
    if (readError) {
        WriteLog("CLocalIniSettings Load:%s read error\r\n", path.c_str());
        return false;
    }
    IniError found;
    if (!ParseIniText(IniBytesToText(bytes), m_tree, &found)) {
        WriteLog("CLocalIniSettings Load:%s(%lu): %s\r\n", path.c_str(), found.line, found.reason.c_str());
        if (error) *error = found;
        return false;
    }
    return true;
}

void TellUnreadableIni(const std::string& path, const IniError& error)
{
    // The log alone reaches nobody: the person who edited the file is
    // usually the one looking at the screen.
    char text[1024];
    snprintf(text, sizeof text, "配置文件%s第%lu行有误：%s。\r\n程序将使用默认设置（服务器%s）。", path.c_str(),
             error.line, error.reason.c_str(), kDefaultServerAddr);
    ShowMessageBox(nullptr, text, "配置文件有误", MB_OK | MB_ICONWARNING);
}

void LoadServerSettings(const std::string& iniPath)
{
    CLocalIniSettings ini;
    IniError error;
    if (!ini.Load(iniPath, &error) && error.line > 0) TellUnreadableIni(iniPath, error);
    ReadServerSettings(ini.Tree(), &g_serverSettings);
}

std::string LocalIniPath()
{
    return ExeDirectory() + "\\" + "local.ini";
}

std::string LocalInfPath()
{
    return SystemFolder() + "\\" + "local.inf";
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
    std::string iniPath = LocalIniPath();
    if (!EnsureLocalIni(iniPath)) return false;

    LoadServerSettings(iniPath);

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

    return true;
}
