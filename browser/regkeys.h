#pragma once
// Opening the browser's registry keys the one way they are all opened.
#include <windows.h>

#include <string>

// Read access plus KEY_SET_VALUE and KEY_CREATE_SUB_KEY.
const REGSAM kBrowserKeyAccess = 0x2001F;

// Opens `path` (narrow, active code page) under `root`. With `create`, a key
// that does not open is created with KEY_ALL_ACCESS. Null when neither
// works; the caller closes what it gets.
HKEY OpenBrowserKey(HKEY root, const std::string& path, bool create);

// A 4-byte REG_DWORD.
bool SetDwordValue(HKEY key, const wchar_t* name, DWORD value);

// Reads a REG_DWORD: false when it is missing (`present` false), or when it
// is of another type or size (`present` true, `value` untouched).
bool ReadDwordValue(HKEY key, const wchar_t* name, DWORD* value, bool* present);
