#include "config.h"

#include "text.h"

#include <Poco/AutoPtr.h>
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/NumberParser.h>
#include <Poco/Path.h>
#include <Poco/String.h>
#include <Poco/Util/IniFileConfiguration.h>

#include <cctype>
#include <map>
#include <set>

namespace collector {
namespace {

using Poco::Util::AbstractConfiguration;

const std::set<std::string> kServerKeys = {"listen", "threads"};
const std::set<std::string> kStoreKeys = {"database", "history"};

struct Fault {
    std::string what;
};

[[noreturn]] void Fail(const std::string& section, const std::string& key, const std::string& what)
{
    throw Fault{"[" + section + "]" + (key.empty() ? "" : " " + key) + ": " + what};
}

unsigned ReadNumber(const AbstractConfiguration& ini, const std::string& section, const std::string& key,
                    unsigned low, unsigned high, unsigned fallback)
{
    const std::string name = section + "." + key;
    if (!ini.has(name)) return fallback;
    const std::string text = Poco::trim(ini.getRawString(name));
    unsigned value = 0;
    if (text.empty() || text[0] == '-' || !Poco::NumberParser::tryParseUnsigned(text, value) || value < low ||
        value > high)
        Fail(section, key, "'" + text + "' is not a whole number from " + std::to_string(low) + " to " +
                               std::to_string(high));
    return value;
}

void ReadListen(const AbstractConfiguration& ini, Config& config)
{
    if (!ini.has("server.listen")) return;
    const std::string text = Poco::trim(ini.getRawString("server.listen"));
    const std::size_t colon = text.rfind(':');
    unsigned port = 0;
    if (colon == std::string::npos || colon == 0 ||
        !Poco::NumberParser::tryParseUnsigned(text.substr(colon + 1), port) || port > 65535)
        Fail("server", "listen", "'" + text + "' is not ADDRESS:PORT (a port from 0 to 65535)");
    try {
        Poco::Net::SocketAddress address(text);
        config.host = address.host().toString();
        config.port = port;
    } catch (const Poco::Exception& e) {
        Fail("server", "listen", "'" + text + "' is not an address of this machine's: " + e.message());
    }
}

void ReadStore(const AbstractConfiguration& ini, const std::string& folder, Config& config)
{
    std::string text = "sqlite:collector.db";
    if (ini.has("store.database")) text = Poco::trim(ini.getRawString("store.database"));
    if (text.compare(0, 7, "sqlite:") == 0) {
        const std::string file = text.substr(7);
        if (file.empty()) Fail("store", "database", "sqlite: names no file");
        Poco::Path path(file);
        if (path.isRelative()) path = Poco::Path(folder).resolve(path);
        config.sqlitePath = path.toString();
        Poco::Path parent(config.sqlitePath);
        parent.makeParent();
        if (!Poco::File(parent).exists())
            Fail("store", "database", "the folder of " + config.sqlitePath + " does not exist");
        return;
    }
    const bool uri = text.compare(0, 13, "postgresql://") == 0 || text.compare(0, 11, "postgres://") == 0;
    if (!uri && text.find('=') == std::string::npos)
        Fail("store", "database",
             "'" + text + "' is neither sqlite:PATH nor a PostgreSQL connection string (key=value ... or postgresql://...)");
    config.postgres = text;
}

void ReadTokens(const AbstractConfiguration& ini, Config& config)
{
    AbstractConfiguration::Keys companies;
    ini.keys("tokens", companies);
    std::map<std::string, std::string> owner;   // token → company
    for (const std::string& company : companies) {
        for (char c : company)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
                Fail("tokens", company, "a company name is letters, digits, '-' and '_'");
        const std::string token = Poco::trim(ini.getRawString("tokens." + company));
        if (token.size() < 16 || token.size() > 200)
            Fail("tokens", company, "the token has " + std::to_string(token.size()) +
                                        " characters; it needs 16 to 200");
        for (char c : token)
            if (c <= ' ' || c > '~')
                Fail("tokens", company, "the token holds a space or a character that is not printable ASCII");
        if (!owner.emplace(token, company).second)
            Fail("tokens", company, "the same token as " + owner[token] + "'s; each company needs its own");
        config.tokens.push_back({company, token});
    }
    if (config.tokens.empty()) Fail("tokens", "", "no company has a token, so no desk could report");
}

void RejectUnknown(const AbstractConfiguration& ini)
{
    AbstractConfiguration::Keys sections;
    ini.keys(sections);
    for (const std::string& section : sections) {
        AbstractConfiguration::Keys keys;
        ini.keys(section, keys);
        if (keys.empty()) throw Fault{section + ": a key outside any section"};
        const std::string lower = Poco::toLower(section);
        if (lower == "tokens") continue;
        const std::set<std::string>* known = lower == "server" ? &kServerKeys
                                             : lower == "store" ? &kStoreKeys
                                                                : nullptr;
        if (!known) throw Fault{"[" + section + "]: unknown section (known: server, store, tokens)"};
        for (const std::string& key : keys)
            if (!known->count(Poco::toLower(key))) Fail(lower, key, "unknown key");
    }
}

} // namespace

bool LoadConfig(const std::string& path, Config& config, std::string& error)
{
    config = Config();
    Poco::AutoPtr<Poco::Util::IniFileConfiguration> ini;
    try {
        ini = new Poco::Util::IniFileConfiguration(path);
    } catch (const Poco::Exception& e) {
        error = path + ": cannot be read: " + e.displayText();
        return false;
    }
    try {
        RejectUnknown(*ini);
        ReadListen(*ini, config);
        config.threads = ReadNumber(*ini, "server", "threads", 1, 1024, config.threads);
        Poco::Path folder(Poco::Path(path).absolute());
        folder.makeParent();
        ReadStore(*ini, folder.toString(), config);
        config.history = ReadNumber(*ini, "store", "history", 1, 100000, config.history);
        ReadTokens(*ini, config);
    } catch (const Fault& fault) {
        error = path + ": " + fault.what;
        return false;
    }
    return true;
}

std::string CompanyOfToken(const Config& config, const std::string& token)
{
    std::string company;
    // Every token is compared, so the time taken does not tell which matched.
    for (const CompanyToken& t : config.tokens)
        if (SameSecret(token, t.token)) company = t.company;
    return company;
}

} // namespace collector
