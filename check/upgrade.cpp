#include "check/upgrade.h"

#include "base/console.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/sysinfo.h"
#include "base/textconv.h"

#include <string.h>

namespace {

const char* const kInstallerFolder = "Download/IE";

}  // namespace

std::string BrowserInstallerName()
{
    const SystemInfo& info = CurrentSystemInfo();
    // 64-bit systems get the Chinese 32-bit package whatever the language.
    bool english = strcmp(info.architecture, "X86") == 0 && info.englishUI;
    if (info.server2003)
        return english ? "IE8-WindowsServer2003-x86-ENU.exe" : "IE8-WindowsServer2003-x86-CHS.exe";
    if (info.windowsXP)
        return english ? "IE8-WindowsXP-x86-ENU.exe" : "IE8-WindowsXP-x86-CHS.exe";
    // There is no English Vista package on the server; the Server 2003 one
    // installs there.
    if (info.windowsVista || info.server2008)
        return english ? "IE8-WindowsServer2003-x86-ENU.exe" : "IE8-WindowsVista-x86-CHS.exe";
    return std::string();
}

std::string BrowserInstallerUrl()
{
    std::string name = BrowserInstallerName();
    if (name.empty()) return std::string();
    return ServerFileUrl(g_serverSettings, kInstallerFolder, name.c_str());
}

namespace {

// The installer's start failures are told on the console, beside the
// command line ("cmd:"), for whoever runs the program from one.
DWORD InstallerNotStarted(DWORD error)
{
    ConsolePrint("here\r\n");
    return error ? error : ERROR_GEN_FAILURE;
}

} // namespace

DWORD RunInstaller(const std::string& path)
{
    // The path is quoted: with no application name, an unquoted path with
    // blanks (as under "Documents and Settings") would let CreateProcess try
    // "C:\Documents.exe" and the like first.
    wchar_t commandLine[kInstallerCommandLineSize];
    std::wstring wide = L"\"" + AnsiToWide(path) + L"\" " + AnsiToWide(kInstallerArguments);
    if (path.empty()) return InstallerNotStarted(ERROR_FILE_NOT_FOUND);
    // A cut command line would start some other file, or the installer
    // without its silent switches.
    if (wide.size() >= kInstallerCommandLineSize) return InstallerNotStarted(ERROR_FILENAME_EXCED_RANGE);
    wcsncpy(commandLine, wide.c_str(), kInstallerCommandLineSize - 1);
    commandLine[kInstallerCommandLineSize - 1] = L'\0';
    ConsolePrint("cmd:%s\r\n", WideToAnsi(commandLine).c_str());

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, &process)) {
        return InstallerNotStarted(GetLastError());
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    // An unreadable exit code is no proof of a good installation.
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) {
        exitCode = GetLastError();
        if (!exitCode) exitCode = ERROR_GEN_FAILURE;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}
