#pragma once
// WinInet's types and constants for the native fuzz build (see windows.h).
#include "windows.h"

typedef void* HINTERNET;
typedef WORD INTERNET_PORT;

#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443
#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_FLAG_SECURE 0x00800000
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_FLAG_NUMBER 0x20000000

inline BOOL HttpQueryInfoW(HINTERNET, DWORD, void*, DWORD*, DWORD*) { return FALSE; }
