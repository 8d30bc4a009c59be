#include "base/paths.h"

#include "base/sysinfo.h"
#include "base/textconv.h"

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

namespace {
std::wstring g_dataFolder;
}  // namespace

void SetDataFolder(const std::wstring& folder)
{
    g_dataFolder = folder;
}

std::wstring DataFolder()
{
    return g_dataFolder;
}

std::string DataFolderNarrow()
{
    return WideToAnsi(g_dataFolder);
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
    return strcmp(CurrentSystemInfo().architecture, "X64") == 0 ? "SysWOW64" : "System32";
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
