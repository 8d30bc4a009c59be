#pragma once
// The browser's version and the browser patch.
#include "check/checkitem.h"

#include <set>
#include <string>

// True when a version was read; on failure the record's state is 2.
bool CheckBrowserVersion(CheckItem& item, int profile);
bool IsBrowserVersionOk(const std::string& version);
int CheckPatch(CheckItem& item, int profile);
// Installed hot-fix identifiers (empty when the management service cannot
// be reached).
std::set<std::string> QueryHotfixes();
