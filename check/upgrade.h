#pragma once
// The browser installer the workstation needs, and running it.
#include <windows.h>

#include <string>

std::string BrowserInstallerName();
std::string BrowserInstallerUrl();
// The installer's exit code, or the system error when it cannot start.
DWORD RunInstaller(const std::string& path);
