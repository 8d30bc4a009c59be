#pragma once
// Every message box the user sees goes through here, so that tests can
// record it instead of blocking on it.
#include <windows.h>

#include <functional>
#include <string>

struct MessageBoxCall {
    HWND owner;
    std::string text;     // narrow, active code page
    std::string caption;
    UINT type;
};

// Shows a system message box (texts converted to UTF-16 here).
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// Installs a recorder that replaces the real box; its result is returned to
// the caller. An empty function restores the real box.
void SetMessageBoxRecorder(std::function<int(const MessageBoxCall&)> recorder);
