#include "browser/shortcut.h"

#include "base/settings.h"
#include "base/textconv.h"

#include <io.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const char kDefaultBrowser[] = "C:\\Program Files (x86)\\Internet Explorer\\iexplore.exe";
const wchar_t kLinkDescription[] = L"Norvik Pylonix";

std::string DesktopFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE)) return "";
    return WideToAnsi(folder);
}

} // namespace

std::string LoginIconPath()
{
    char system[259] = "";
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system, strnlen(system, 2)) + "\\login.ico";
}

std::string BrowserPath()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return kDefaultBrowser;
    char data[259] = "";
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    LONG status = RegQueryValueExA(key, nullptr, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    // A longer value (ERROR_MORE_DATA) or one that is not text is no path we can use.
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return kDefaultBrowser;
    // The stored data need not end in a zero.
    return std::string(data, strnlen(data, size));
}

std::string LoginShortcutPath(const ServerSettings& server)
{
    return DesktopFolder() + "\\Norvik12.0" + server.editionName + ".lnk";
}

std::string LoginShortcutArguments(const ServerSettings& server)
{
    char port[16];
    snprintf(port, sizeof port, "%d", static_cast<int>(server.serverPort));
    return " -nomerge \"http://" + server.serverAddr + ":" + port + server.serverWebsite + "\"";
}

void CreateLoginShortcut(const ServerSettings& server)
{
    std::string icon = LoginIconPath();
    std::string browser = BrowserPath();
    // S_FALSE (COM already set up on this thread) counts; it is balanced all the same.
    if (FAILED(CoInitialize(nullptr))) return;
    std::string link = LoginShortcutPath(server);
    // A link the user kept (or edited) stays as it is.
    if (_access(link.c_str(), 0) != 0) {
        std::string arguments = LoginShortcutArguments(server);
        CreateShortcut(browser.c_str(), arguments.c_str(), link.c_str(), icon.c_str());
    }
    CoUninitialize();
}

HRESULT CreateShortcut(const char* target, const char* arguments, const char* linkPath,
                       const char* iconPath)
{
    if (!target || !*target || !arguments || !linkPath || !*linkPath || !iconPath)
        return E_INVALIDARG;

    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(hr)) return hr;

    link->SetPath(AnsiToWide(target).c_str());
    link->SetArguments(AnsiToWide(arguments).c_str());
    link->SetDescription(kLinkDescription);
    link->SetShowCmd(SW_SHOW);
    if (*iconPath) link->SetIconLocation(AnsiToWide(iconPath).c_str(), 0);

    IPersistFile* file = nullptr;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        wchar_t path[MAX_PATH];
        // A path that does not fit is refused rather than saved cut short elsewhere.
        if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, path, MAX_PATH) == 0)
            hr = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        else
            hr = file->Save(path, TRUE);
        file->Release();
    }
    link->Release();
    return hr;
}
