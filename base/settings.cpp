#include "base/settings.h"

#include <stdio.h>

ServerSettings g_serverSettings;
ComponentTable g_componentTable;
std::map<std::string, std::string> g_installerHashes;

std::string SitePrefix(const std::string& website)
{
    size_t at = website.find("/login.htm");
    return at == std::string::npos ? std::string() : website.substr(0, at);
}

std::string ServerFileUrl(const ServerSettings& settings, const char* folder, const char* name)
{
    char url[2048];
    snprintf(url, sizeof url, "http://%s:%d%s/%s/%s", settings.serverAddr.c_str(),
             settings.serverPort, SitePrefix(settings.serverWebsite).c_str(), folder, name);
    return url;
}
