#pragma once
// local.ini (server settings) and local.inf (component list).
#include <boost/property_tree/ptree.hpp>

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
};

struct ComponentInfo {
    int state = 0;
    int isregister = 0;
    std::string text;
    std::vector<std::string> texts;
    int number = 20;
    int major = 0, minor = 0, build = 0, revision = 0;
    int isDownload = 0;
};

using ComponentTable = std::map<std::string, ComponentInfo>;

extern ServerSettings g_serverSettings;
extern ComponentTable g_componentTable;

// INI files as a property tree. Load and Save never throw: failures are
// logged, and a file that cannot be read counts as empty.
class CLocalIniSettings {
public:
    void Load(const std::string& path);
    void Save(const std::string& path, const boost::property_tree::ptree& tree);
    boost::property_tree::ptree& Tree() { return m_tree; }

private:
    boost::property_tree::ptree m_tree;
};

const char* const kDefaultServerAddr = "update.pylonix.com";
const char* const kDefaultServerWebsite = "/norvik/login.htm";
const char* const kDefaultVersion = "12.000.000.0000";
const char* const kDefaultIpInfoHost = "ipinfo.pylonix.com";

bool LoadGlobelSetting();
bool LoadComponentList();

// The pieces of the two loads, for the settings dialog and the tests.
std::string LocalIniPath();
// A missing local.ini is created empty (all defaults); false when it cannot be.
bool EnsureLocalIni(const std::string& path);
std::string LocalInfPath();
void ReadServerSettings(const boost::property_tree::ptree& tree, ServerSettings* settings);
std::string EditionDisplayName(const std::string& edition);
std::string SitePrefix(const std::string& website);
// "http://address:port<site prefix>/<folder>/<name>" on the company server.
std::string ServerFileUrl(const ServerSettings& settings, const char* folder, const char* name);
std::string ComponentListUrl(const ServerSettings& settings);
void ReadComponentTable(const boost::property_tree::ptree& tree, ComponentTable* table);

// Fetches local.inf into its place; the old file stays untouched unless the
// new one arrived complete.
bool FetchComponentList(const std::string& url, const std::string& destination);
