#pragma once
// The client's calls into the system (WinInet, files, text conversion).
// The client takes them as a template parameter, so a test can make one
// of them fail where a real machine rarely does.
#include <windows.h>
#include <wininet.h>

#include "net/httperror.h"

#include <string>

namespace Vexel {

// The WinInet and file calls, each turning a failure into an exception.
class CHttpToolW {
public:
    typedef wchar_t CharType;
    typedef httpclientexceptionW Exception;

    // Throws the code's message; `path` replaces "%s" in the file errors.
    [[noreturn]] static void ThrowException(int code, DWORD win32Error = ::GetLastError(),
                                            const wchar_t* path = nullptr);
    // Throws code 0 with an argument-check text.
    [[noreturn]] static void ThrowArgument(const char* message);

    static std::string Unicode2Ansi(const wchar_t* text, UINT codePage = CP_ACP);

    static HINTERNET OpenInternet(const wchar_t* userAgent, DWORD accessType, const wchar_t* proxy,
                                  const wchar_t* proxyBypass, DWORD flags);
    static HINTERNET OpenConnection(HINTERNET hInternet, const wchar_t* szServerAddr, INTERNET_PORT port);
    static HINTERNET OpenRequest(HINTERNET hConnection, const wchar_t* szVerb, const wchar_t* szObjectName,
                                 DWORD flags, const wchar_t* szReferer, UINT codePage);
    static void AddHeader(HINTERNET hRequest, const wchar_t* szName, const wchar_t* szValue, UINT codePage);
    static void SendRequestEx(HINTERNET hRequest, DWORD totalBytes);
    static void InternetWriteFile(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff);
    static void EndRequest(HINTERNET hRequest);
    static void CloseInternetHandle(HINTERNET handle);

    // Invalid handle (no exception) when the file does not open.
    static HANDLE OpenFile(const wchar_t* szFilePath);
    static DWORD GetFileSize(HANDLE hFile, const wchar_t* szFilePath);
    // Sniffs the first bytes; "application/octet-stream" when that fails.
    static std::string GetMimeType(HANDLE hFile, UINT codePage);
    static DWORD ReadFile(HANDLE hFile, void* buffer, DWORD bytes);
    static void CloseFile(HANDLE hFile);
};

// The narrow twin, for the calls that go through the ANSI entry points.
class CHttpToolA {
public:
    static HINTERNET OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szObjectName,
                                 DWORD flags, const char* szReferer);
    static void AddHeader(HINTERNET hRequest, const char* szName, const char* szValue);
};

class CHttpEncoderW {
public:
    static std::string Utf8Encode(const wchar_t* szBuff);
    static std::string AnsiEncode(const wchar_t* szBuff, UINT codePage = CP_ACP);
};

} // namespace Vexel
