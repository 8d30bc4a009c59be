#pragma once
// The desktop shortcut that opens the login page in its own browser process.
#include "base/settings.h"

#include <windows.h>

#include <string>

// "<system drive>\login.ico", where start-up puts the icon.
std::string LoginIconPath();

// The browser's executable as registered under App Paths (HKLM), or its
// usual place on 64-bit Windows when that cannot be read.
std::string BrowserPath();

// "<desktop>\Norvik12.0<edition display name>.lnk" for the current user.
std::string LoginShortcutPath(const ServerSettings& server);

// The browser's command-line arguments that open the login page of
// `server`: ` -nomerge "http://address:port<website>"`.
std::string LoginShortcutArguments(const ServerSettings& server);

// Writes the login shortcut unless a file of its name is already there.
void CreateLoginShortcut(const ServerSettings& server);

// Writes a shell link; narrow texts in the active code page.
HRESULT CreateShortcut(const char* target, const char* arguments, const char* linkPath,
                       const char* iconPath);
