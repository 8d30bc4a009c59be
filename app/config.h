#pragma once
// local.ini (server settings) and local.inf (component list).
#include "base/settings.h"

#include <boost/property_tree/ptree.hpp>

#include <string>

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
const char* const kDefaultTestPage = "http://speedtest.pylonix.com/";

bool LoadGlobelSetting();
// `resolveNow`: the server name and the carrier lookups run here, before
// it returns; otherwise only a dotted address is taken, and the window
// has the rest done on a worker (StartAddressLookups).
bool LoadComponentList(bool resolveNow = true);

// The pieces of the two loads, for the settings dialog and the tests.
std::string LocalIniPath();
// A missing local.ini is created empty (all defaults); false when it cannot be.
bool EnsureLocalIni(const std::string& path);
std::string LocalInfPath();
void ReadServerSettings(const boost::property_tree::ptree& tree, ServerSettings* settings);
std::string EditionDisplayName(const std::string& edition);
std::string ComponentListUrl(const ServerSettings& settings);
void ReadComponentTable(const boost::property_tree::ptree& tree, ComponentTable* table);
// [installers]: installer file name = its SHA-256.
void ReadInstallerHashes(const boost::property_tree::ptree& tree, std::map<std::string, std::string>* hashes);

// Fetches local.inf into its place; the old file stays untouched unless the
// new one arrived complete.
bool FetchComponentList(const std::string& url, const std::string& destination);
