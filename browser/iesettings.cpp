#include "browser/iesettings.h"

#include "base/log.h"
#include "base/textconv.h"
#include "browser/regkeys.h"
#include "browser/shortcut.h"
#include "browser/zonesettings.h"
#include "net/address.h"

namespace {

enum class Absent { Fails, Passes };

// Reads one preference without creating its key and compares it.
bool PreferenceIs(const char* path, const wchar_t* name, Absent absent, bool (*holds)(DWORD))
{
    HKEY key = OpenBrowserKey(HKEY_CURRENT_USER, path, false);
    if (!key) return false;
    DWORD value = 0;
    bool present = false;
    bool read = ReadDwordValue(key, name, &value, &present);
    RegCloseKey(key);
    if (!present) return absent == Absent::Passes;
    return read && holds(value);
}

bool WritePreference(const char* path, bool create, const wchar_t* name, DWORD value)
{
    HKEY key = OpenBrowserKey(HKEY_CURRENT_USER, path, create);
    if (!key) return false;
    bool written = SetDwordValue(key, name, value);
    RegCloseKey(key);
    return written;
}

} // namespace

bool CheckNoClearBrowsingHistory()
{
    return PreferenceIs(kPrivacyKey, L"ClearBrowsingHistoryOnExit", Absent::Fails,
                        [](DWORD v) { return v == 0; });
}

bool CheckMaxScriptment()
{
    return PreferenceIs(kStylesKey, L"MaxScriptStatements", Absent::Fails,
                        [](DWORD v) { return v == 0xFFFFFFFFu; });
}

bool CheckAllowPopUpWin()
{
    return PreferenceIs(kNewWindowsKey, L"PopupMgr", Absent::Passes, [](DWORD v) { return v == 0; });
}

bool CheckCompatibilityMode()
{
    return PreferenceIs(kBrowserEmulationKey, L"AllSitesCompatibilityMode", Absent::Fails,
                        [](DWORD v) { return v != 0; });
}

bool SetAllowPopWindow(const std::string& serverIp)
{
    HKEY key = OpenBrowserKey(HKEY_CURRENT_USER, kPopupAllowKey, true);
    if (!key) return false;
    const BYTE allowed[2] = {0, 0};
    bool written = RegSetValueExW(key, AnsiToWide(serverIp).c_str(), 0, REG_BINARY, allowed,
                                  sizeof allowed) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool SetMaxScriptment()
{
    return WritePreference(kStylesKey, true, L"MaxScriptStatements", 0xFFFFFFFFu);
}

bool NoClearBrowsingHistory()
{
    return WritePreference(kPrivacyKey, true, L"ClearBrowsingHistoryOnExit", 0);
}

bool AllowPopUpWin()
{
    return WritePreference(kNewWindowsKey, false, L"PopupMgr", 0);
}

bool SetCompatibilityMode()
{
    return WritePreference(kBrowserEmulationKey, true, L"AllSitesCompatibilityMode", 1);
}

bool SetIESetting(const ServerSettings& server)
{
    const std::string& serverIp = server.serverIp;
    if (!IsAddress(serverIp.c_str())) {
        WriteLog("SetIESetting IsAddress:%s fail\r\n", serverIp.c_str());
        return false;
    }

    struct Writer {
        bool (*write)(const std::string&);
        const char* failure;
    };
    static const Writer writers[] = {
        {SetAllowPopWindow, "SetIESetting SetAllowPopWindow fail\r\n"},
        {[](const std::string&) { return SetMaxScriptment(); }, "SetIESetting SetMaxScriptment fail\r\n"},
        {[](const std::string&) { return NoClearBrowsingHistory(); }, "SetIESetting NoClearBrowsingHistory fail\r\n"},
        {[](const std::string&) { return AllowPopUpWin(); }, "SetIESetting AllowPopUpWin fail\r\n"},
        {[](const std::string&) { return SetCompatibilityMode(); }, "SetIESetting SetCompatibilityMode fail\r\n"},
    };
    for (const Writer& writer : writers) {
        if (!writer.write(serverIp)) {
            WriteLog("%s", writer.failure);
            return false;
        }
    }

    CreateLoginShortcut(server);
    return true;
}
