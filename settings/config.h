#pragma once
// local.ini (server settings) and local.inf (component list).
#include "settings/inifile.h"
#include "base/settings.h"

#include <boost/property_tree/ptree.hpp>

#include <string>

// INI files as a property tree (read as ParseIniText reads them, in the
// encoding their byte-order mark names). Load never throws: failures
// are logged, and a file that cannot be read counts as empty. Load is false
// then, and for a file that does not parse `error` says where and why.
class CLocalIniSettings {
public:
    bool Load(const std::string& path, IniError* error = nullptr);
    boost::property_tree::ptree& Tree() { return m_tree; }

private:
    boost::property_tree::ptree m_tree;
};

const char* const kDefaultServerAddr = "update.pylonix.com";
const char* const kDefaultServerWebsite = "/norvik/login.htm";
const char* const kDefaultVersion = "12.000.000.0000";
const char* const kDefaultIpInfoHost = "ipinfo.pylonix.com";
const char* const kDefaultTestPage = "http://speedtest.pylonix.com/";
// The browser installers' signer when local.ini names none: their vendor.
const char* const kDefaultBrowserSigner = "Microsoft Corporation";

// Reads local.ini into the server settings (a file that does not parse is
// told to the user once, with its line and what is wrong, and the defaults
// are used), then fetches local.inf into the system folder, which the
// system probe (ProbeSystemInfo) must have named before.
bool LoadGlobelSetting();
// The first half of LoadGlobelSetting: local.ini at `iniPath` into
// g_serverSettings, a file that does not parse told to the user.
void LoadServerSettings(const std::string& iniPath);
// The message box for a local.ini that does not parse.
void TellUnreadableIni(const std::string& path, const IniError& error);
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
