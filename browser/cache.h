#pragma once
// Clearing the browser's stored data through the Internet-options applet.
#include <windows.h>

#include <functional>

// Starts the applet four times and returns at once; always true.
bool ClearIECache();

// How ClearIECache starts a program: the arguments of ShellExecuteW.
using ShellLauncher = std::function<HINSTANCE(HWND owner, const wchar_t* verb, const wchar_t* file,
                                              const wchar_t* parameters, const wchar_t* directory,
                                              int show)>;

// Replaces the launcher (tests record the launches instead of starting
// processes); an empty one restores ShellExecuteW.
void SetShellLauncher(ShellLauncher launcher);
