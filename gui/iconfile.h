#pragma once
#include <windows.h>

// Writes the icon as a one-image .ico file (32-bit colour plus 1-bit mask).
bool WriteIconFile(HICON icon, const wchar_t* path);
