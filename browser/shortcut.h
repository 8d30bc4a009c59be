#pragma once
// The desktop shortcut that opens the login page in its own browser process.
#include <windows.h>

#include <string>

// "<system drive>\login.ico", where start-up puts the icon.
std::string LoginIconPath();

// Writes the login shortcut unless a file of its name is already there.
void CreateLoginShortcut();

// Writes a shell link; narrow texts in the active code page.
HRESULT CreateShortcut(const char* target, const char* arguments, const char* linkPath,
                       const char* iconPath);
