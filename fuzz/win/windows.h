#pragma once
// The few Windows types, constants and calls the HTTP client's headers and
// the row markup need, for the native fuzz build only. Nothing here talks to
// a system: the calls a fuzz target reaches are answered by its own tool.
#include <stddef.h>
#include <stdint.h>
#include <strings.h>
#include <wchar.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef LONG HRESULT;
typedef void* HANDLE;
typedef void* LPVOID;

#define TRUE 1
#define FALSE 0
#define WINAPI
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

#define CP_ACP 0
#define CP_UTF7 65000
#define CP_UTF8 65001

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};

// No GUIDs here: the client keeps its fixed boundary.
inline HRESULT CoCreateGuid(GUID*) { return static_cast<HRESULT>(0x80004005); }
inline DWORD GetLastError() { return 0; }

// A double-byte code page's lead bytes (0x81..0xFE, as code page 936).
inline BOOL IsDBCSLeadByte(BYTE c) { return c >= 0x81 && c <= 0xFE; }

#define _wcsicmp wcscasecmp
#define _wcsnicmp wcsncasecmp
#define _snwprintf swprintf
