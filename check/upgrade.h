#pragma once
// The browser installer the workstation needs: where it is and how it runs.
#include <windows.h>

#include <string>

// The installer's file name for this system ("" when there is none).
std::string BrowserInstallerName();
// Its URL on the company server ("" when there is no installer).
std::string BrowserInstallerUrl();

const char* const kInstallerArguments = "/passive /update-no /norestart ";
// Longest command line RunInstaller starts, terminating zero included.
const size_t kInstallerCommandLineSize = 4096;

// The installer's exit code, or the system error when it cannot start.
DWORD RunInstaller(const std::string& path);
