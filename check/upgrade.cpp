// Placeholder until the browser upgrade lands.
#include "check/upgrade.h"

std::string BrowserInstallerName() { return std::string(); }
std::string BrowserInstallerUrl() { return std::string(); }
DWORD RunInstaller(const std::string&) { return ERROR_FILE_NOT_FOUND; }
