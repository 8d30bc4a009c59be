// The settings and component records read from the two INI trees; no
// <windows.h>, so the native fuzz build takes it as it is.
#include "settings/config.h"

#include <stdio.h>
#include <stdlib.h>

namespace pt = boost::property_tree;

std::string EditionDisplayName(const std::string& edition)
{
    if (edition == "pro") return "专业版";
    if (edition == "std") return "标准版";
    if (edition == "pop") return "普及版";
    return "";
}

namespace {

// Signer names, separated by ";" (a name may hold commas).
std::vector<std::string> SignerNames(const std::string& text)
{
    std::vector<std::string> names;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t") + 1);
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
}

} // namespace

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
    settings->reportUrl = tree.get<std::string>("para.report_url", "");
    settings->reportToken = tree.get<std::string>("para.report_token", "");
    settings->componentSigners = SignerNames(tree.get<std::string>("para.component_signers", ""));
    settings->browserSigners = SignerNames(tree.get<std::string>("para.browser_signers", kDefaultBrowserSigner));
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
