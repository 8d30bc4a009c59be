#include "app/paths.h"

#include "app/app.h"
#include "app/textconv.h"

#include <windows.h>
#include <shlobj.h>

#include <string.h>

std::wstring ComputeDataFolder()
{
    wchar_t base[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return std::wstring();
    std::wstring folder = std::wstring(base) + L"\\Pylonix";
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryW(folder.c_str(), nullptr)) return std::wstring();
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::wstring();
    }
    return folder + L"\\";
}

std::string DataFolderNarrow()
{
    return g_pApp ? WideToAnsi(g_pApp->m_dataFolder) : std::string();
}

std::string DownloadFolder()
{
    return DataFolderNarrow() + "Download";
}

std::string ExeDirectory()
{
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module, n);
    size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return std::string();
    return WideToAnsi(path.substr(0, slash));
}

const char* SystemFolderName()
{
    return g_pApp && strcmp(g_pApp->m_sysInfo.architecture, "X64") == 0 ? "SysWOW64" : "System32";
}

std::string SystemFolder()
{
    wchar_t windows[MAX_PATH];
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    char folder[MAX_PATH * 2];
    snprintf(folder, sizeof folder, "%s\\%s", WideToAnsi(std::wstring(windows, n)).c_str(),
             SystemFolderName());
    return folder;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesW(AnsiToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
