#pragma once
// The browser preferences the product needs: their readers and the repair.
#include "base/settings.h"

#include <string>

// The four preference readers, in the order the check asks them.
bool CheckNoClearBrowsingHistory();
bool CheckMaxScriptment();
bool CheckAllowPopUpWin();
bool CheckCompatibilityMode();

// The repair: writes the preferences, lets the server open pop-ups and puts
// the login shortcut on the desktop. False (nothing written) for a server
// IP that is not a dotted address, or at the first writer that fails.
bool SetIESetting(const ServerSettings& server);

// The writers, in the order the repair runs them.
bool SetAllowPopWindow(const std::string& serverIp);
bool SetMaxScriptment();
bool NoClearBrowsingHistory();
bool AllowPopUpWin();
bool SetCompatibilityMode();

const char* const kStylesKey = "Software\\Microsoft\\Internet Explorer\\Styles";
const char* const kNewWindowsKey = "Software\\Microsoft\\Internet Explorer\\New Windows";
const char* const kPopupAllowKey = "Software\\Microsoft\\Internet Explorer\\New Windows\\Allow";
