#include "app/setup.h"

#include "app/config.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/settings.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "browser/trustsites.h"
#include "net/address.h"

#include <boost/property_tree/ini_parser.hpp>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <sstream>

namespace {

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[4096];
    size_t got;
    text.clear();
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    const bool ok = !ferror(file);
    fclose(file);
    return ok;
}

bool ParsesAsIni(const std::string& text)
{
    boost::property_tree::ptree tree;
    std::istringstream in(text);
    try {
        boost::property_tree::read_ini(in, tree);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// `text` into `path` through a temporary file beside it: the old file is
// replaced only by a complete new one. Empty on success, else what failed.
std::string ReplaceFile(const std::string& path, const std::string& text)
{
    // A read-only local.ini is someone's decision (an administrator's lock):
    // replacing it through a rename would go around it.
    const DWORD attributes = GetFileAttributesW(AnsiToWide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return "the file is read-only";
    const std::string temporary = path + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) return "cannot create " + temporary;
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size() && fflush(file) == 0;
    const bool closed = fclose(file) == 0;
    if (!written || !closed) {
        DeleteFileW(AnsiToWide(temporary).c_str());
        return "cannot write " + temporary;
    }
    if (!MoveFileExW(AnsiToWide(temporary).c_str(), AnsiToWide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(AnsiToWide(temporary).c_str());
        return "cannot replace the file (error " + std::to_string(error) + ")";
    }
    return "";
}

} // namespace

int ParseServerPort(const std::string& text)
{
    return static_cast<uint16_t>(atoi(text.c_str()));
}

std::string SetIniValues(const std::string& text, const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values)
{
    const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n"
                            : text.find('\n') != std::string::npos ? "\n"
                                                                   : "\r\n";
    std::vector<bool> done(values.size(), false);
    std::string out;
    bool inSection = false, sectionSeen = false;
    size_t sectionEnd = std::string::npos;  // where missing keys go: after the section's last line
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(at, end - at);
        std::string body = line;
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
        const std::string trimmed = Trim(body);
        if (!trimmed.empty() && trimmed.front() == '[') {
            inSection = trimmed == "[" + section + "]";
            sectionSeen = sectionSeen || inSection;
            if (inSection) sectionEnd = out.size() + line.size();
        } else if (inSection) {
            const size_t equals = body.find('=');
            if (equals != std::string::npos) {
                const std::string key = Trim(body.substr(0, equals));
                for (size_t i = 0; i < values.size(); ++i) {
                    if (done[i] || key != values[i].first) continue;
                    line = values[i].first + "=" + values[i].second + line.substr(body.size());
                    done[i] = true;
                    break;
                }
            }
            if (!trimmed.empty()) sectionEnd = out.size() + line.size();
        }
        out += line;
        at = end;
    }
    std::string missing;
    for (size_t i = 0; i < values.size(); ++i)
        if (!done[i]) missing += values[i].first + "=" + values[i].second + eol;
    if (missing.empty()) return out;
    if (!sectionSeen) {
        if (!out.empty() && out.back() != '\n') out += eol;
        return out + "[" + section + "]" + eol + missing;
    }
    // The section's last line may lack its line end at the end of the file.
    if (sectionEnd > 0 && out[sectionEnd - 1] != '\n') {
        out.insert(sectionEnd, eol);
        sectionEnd += eol.size();
    }
    out.insert(sectionEnd, missing);
    return out;
}

SaveOutcome SaveServerSettings(const ServerFields& fields, const std::string& path)
{
    // Checked before anything changes: a refused confirmation leaves the
    // settings in memory and on disk as they were.
    if (fields.address.empty() || fields.port.empty() || fields.website.empty()) {
        ShowMessageBox(nullptr, "服务器地址、端口、虚拟目录均不能为空", "警告", MB_OK);
        return kSaveEmptyField;
    }
    if (!EnsureLocalIni(path)) return kSaveNoFile;

    ServerSettings& settings = g_serverSettings;
    const int port = ParseServerPort(fields.port);
    const std::vector<std::pair<std::string, std::string>> values = {
        {"server_addr", fields.address},
        {"server_port", std::to_string(port)},
        {"server_website", fields.website},
        {"version", settings.version},
        {"edition", settings.edition},
    };
    std::string old;
    ReadWholeFile(path, old);
    std::string text;
    if (ParsesAsIni(old)) {
        text = SetIniValues(old, "para", values);
    } else {
        // Whatever the user kept in it stays in the backup.
        const std::string backup = path + ".bak";
        if (CopyFileW(AnsiToWide(path).c_str(), AnsiToWide(backup).c_str(), FALSE))
            WriteLog("local.ini could not be read: the old file is kept as %s\r\n", backup.c_str());
        else
            WriteLog("local.ini could not be read, nor kept as %s (error %lu)\r\n", backup.c_str(), GetLastError());
        text = SetIniValues("", "para", values);
    }
    const std::string failure = ReplaceFile(path, text);
    if (!failure.empty()) WriteLog("CLocalIniSettings Save:%s %s\r\n", path.c_str(), failure.c_str());

    settings.serverAddr = fields.address;
    settings.serverPort = static_cast<uint16_t>(port);
    settings.serverWebsite = fields.website;
    if (IsAddress(settings.serverAddr.c_str())) settings.serverIp = settings.serverAddr;

    const SystemInfo& system = CurrentSystemInfo();
    if (system.server2003 || system.server2008 || system.server2012)
        AddTrustSites(settings.serverAddr, kZoneMapEscRanges, kZoneMapEscDomains);
    AddTrustSites(settings.serverAddr, kZoneMapRanges, kZoneMapDomains);
    return kSaveDone;
}
