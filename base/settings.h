#pragma once
// The server settings (from local.ini) and the component table (from
// local.inf): plain records shared by every layer, and the server's URLs.
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

struct ServerSettings {
    std::string serverAddr;
    uint16_t serverPort = 0;
    std::string serverWebsite;   // the login page's path, e.g. "/norvik/login.htm"
    std::string version;
    std::string edition;
    std::string editionName;
    std::string serverIp;        // dotted IPv4, set by ResolveServerAddress
    std::string ipInfoHost;      // the IP-information service, "host" or "host:port"
    std::string startPage;       // the browser pane's first page ("": the layout's own)
    std::string testPage;        // the page the internet test opens in the pane
    std::string reportUrl;       // the company's report collector ("": none)
    std::string reportToken;     // the company's token for it
    // Whose signatures the company's own components may carry, and the
    // browser installers (empty: any file, unchecked).
    std::vector<std::string> componentSigners;
    std::vector<std::string> browserSigners;
};

struct ComponentInfo {
    int state = 0;
    int isregister = 0;
    std::string text;
    std::vector<std::string> texts;
    int number = 20;
    int major = 0, minor = 0, build = 0, revision = 0;
    int isDownload = 0;
    std::string sha256;  // what the file must hash to; "" when the list gives none
};

using ComponentTable = std::map<std::string, ComponentInfo>;

// Written at start-up (and by the settings dialog) on the main thread only.
extern ServerSettings g_serverSettings;
extern ComponentTable g_componentTable;
// The browser installers' SHA-256 by file name, when the list gives them.
extern std::map<std::string, std::string> g_installerHashes;

// The virtual directory: the login page's path before "/login.htm" ("" if
// it has none).
std::string SitePrefix(const std::string& website);
// "http://address:port<site prefix>/<folder>/<name>" on the company server.
std::string ServerFileUrl(const ServerSettings& settings, const char* folder, const char* name);
