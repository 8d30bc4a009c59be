#include "settings/setup.h"

#include "settings/config.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/settings.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "browser/trustsites.h"
#include "net/address.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

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

const std::vector<std::string>& LocalIniKeys()
{
    static const std::vector<std::string> keys = {
        "server_addr", "server_port",  "server_website", "report_url",  "report_token", "component_signers",
        "browser_signers", "ipinfo_host", "start_page",  "test_page",   "version",      "edition",
    };
    return keys;
}

std::string WriteLocalIniValues(const std::string& path, const IniValues& values)
{
    std::string old;
    std::string failure;
    const bool read = ReadWholeFile(path, old);
    if (!read && GetFileAttributesW(AnsiToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Written without its lines, the file would lose them.
        failure = "the file cannot be read";
    } else {
        IniEncoding encoding = kIniAnsi;
        boost::property_tree::ptree readable;
        std::string text;
        if (ParseIniText(IniBytesToText(old, &encoding), readable, nullptr)) {
            if (encoding == kIniAnsi) {
                text = SetIniValues(old, "para", values);
            } else {
                // A marked file is edited in UTF-8 and written back in its own
                // encoding: lines in characters the code page lacks stay intact.
                IniValues utf8Values;
                for (const auto& value : values) utf8Values.emplace_back(value.first, AnsiToUtf8(value.second));
                text = Utf8ToIniBytes(SetIniValues(IniBytesToUtf8(old, encoding), "para", utf8Values), encoding);
            }
        } else {
            // Whatever the user kept in it stays in the backup.
            const std::string backup = path + ".bak";
            if (CopyFileW(AnsiToWide(path).c_str(), AnsiToWide(backup).c_str(), FALSE))
                WriteLog("local.ini could not be read: the old file is kept as %s\r\n", backup.c_str());
            else
                WriteLog("local.ini could not be read, nor kept as %s (error %lu)\r\n", backup.c_str(), GetLastError());
            text = SetIniValues("", "para", values);
        }
        // Nothing to change (the values are there already): a file locked
        // read-only is no failure then.
        if (!read || text != old) failure = ReplaceFile(path, text);
    }
    if (!failure.empty()) WriteLog("CLocalIniSettings Save:%s %s\r\n", path.c_str(), failure.c_str());
    return failure;
}

SaveOutcome SaveServerSettings(const ServerFields& fields, const std::string& path)
{
    // Checked before anything changes: a refused confirmation leaves the
    // settings in memory and on disk as they were.
    if (fields.address.empty() || fields.port.empty() || fields.website.empty()) {
        ShowMessageBox(nullptr, "服务器地址、端口、虚拟目录均不能为空", "警告", MB_OK);
        return kSaveEmptyField;
    }
    // No start-up path here (it can show its box and reset the settings): a
    // missing file is written anew, an unwritable one is logged.
    ServerSettings& settings = g_serverSettings;
    const int port = ParseServerPort(fields.port);
    WriteLocalIniValues(path, {
                                  {"server_addr", fields.address},
                                  {"server_port", std::to_string(port)},
                                  {"server_website", fields.website},
                                  {"version", settings.version},
                                  {"edition", settings.edition},
                              });

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
