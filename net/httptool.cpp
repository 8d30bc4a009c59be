#include "net/httptool.h"

#include <objbase.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace Vexel {

namespace {

const size_t kMaxMessage = 511;

bool IsUtfCodePage(UINT codePage) { return codePage == CP_UTF8 || codePage == CP_UTF7; }

std::string Encode(UINT codePage, const wchar_t* text)
{
    if (!text || !*text) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) CHttpToolW::ThrowException(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED);
    std::string out(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, 0, text, -1, &out[0], n, nullptr, nullptr) != n)
        CHttpToolW::ThrowException(HTTPCLIENT_ERR_WIDECHARTOMULTIBYTE_FAILED);
    out.resize(static_cast<size_t>(n) - 1);
    return out;
}

} // namespace

// ------------------------------------------------------------------ tool

void CHttpToolW::ThrowException(int code, DWORD win32Error, const wchar_t* path)
{
    const wchar_t* format = GetHttpClientErrMsgW(code);
    if (!format) format = GetHttpClientErrMsgW(HTTPCLIENT_ERR_UNEXPECTED_ERROR);
    // The path can be of any length: the message is cut, never overrun.
    wchar_t text[kMaxMessage + 1];
    const wchar_t* slot = wcsstr(format, L"%s");
    if (slot) {
        std::wstring message(format, slot);
        message += path ? path : L"";
        message += slot + 2;
        wcsncpy(text, message.c_str(), kMaxMessage);
    } else {
        wcsncpy(text, format, kMaxMessage);
    }
    text[kMaxMessage] = 0;
    throw httpclientexceptionW(text, code, win32Error);
}

void CHttpToolW::ThrowArgument(const char* message)
{
    wchar_t text[kMaxMessage + 1];
    int n = MultiByteToWideChar(CP_ACP, 0, message, -1, text, kMaxMessage + 1);
    if (n <= 0) {
        // Longer than the buffer or not convertible: cut at the limit.
        n = MultiByteToWideChar(CP_ACP, 0, message, static_cast<int>(strnlen(message, kMaxMessage)), text,
                                kMaxMessage);
        if (n <= 0) ThrowException(HTTPCLIENT_ERR_MULTIBYTETOWIDECHAR_FAILED);
        text[n] = 0;
    }
    throw httpclientexceptionW(text, HTTPCLIENT_ERR_NOT_SPECIFIED, 0);
}

std::string CHttpToolW::Unicode2Ansi(const wchar_t* text, UINT codePage)
{
    if (IsUtfCodePage(codePage))
        ThrowArgument("CHttpToolW::Unicode2Ansi: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    return Encode(codePage, text);
}

HINTERNET CHttpToolW::OpenInternet(const wchar_t* userAgent, DWORD accessType, const wchar_t* proxy,
                                   const wchar_t* proxyBypass, DWORD flags)
{
    HINTERNET handle = ::InternetOpenW(userAgent, accessType, proxy, proxyBypass, flags);
    if (!handle) ThrowException(HTTPCLIENT_ERR_INTERNETOPEN_FAILED);
    return handle;
}

HINTERNET CHttpToolW::OpenConnection(HINTERNET hInternet, const wchar_t* szServerAddr, INTERNET_PORT port)
{
    if (!hInternet) ThrowArgument("CHttpToolW::OpenConnection: hInternet can not be NULL.");
    if (!szServerAddr) ThrowArgument("CHttpToolW::OpenConnection: szServerAddr can not be NULL.");
    if (!*szServerAddr) ThrowArgument("CHttpToolW::OpenConnection: szServerAddr can not be an empty string.");
    HINTERNET handle =
        ::InternetConnectW(hInternet, szServerAddr, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!handle) ThrowException(HTTPCLIENT_ERR_INTERNETCONNECT_FAILED);
    return handle;
}

HINTERNET CHttpToolW::OpenRequest(HINTERNET hConnection, const wchar_t* szVerb, const wchar_t* szObjectName,
                                  DWORD flags, const wchar_t* szReferer, UINT codePage)
{
    if (!hConnection) ThrowArgument("CHttpToolW::OpenRequest: hConnection can not be NULL.");
    if (!szObjectName) ThrowArgument("CHttpToolW::OpenRequest: szObjectName can not be NULL.");
    if (!*szObjectName) ThrowArgument("CHttpToolW::OpenRequest: szObjectName can not be an empty string.");
    std::string verb = Unicode2Ansi(szVerb, codePage);
    std::string object = Unicode2Ansi(szObjectName, codePage);
    std::string referer = Unicode2Ansi(szReferer, codePage);
    return CHttpToolA::OpenRequest(hConnection, verb.c_str(), object.c_str(), flags,
                                   szReferer ? referer.c_str() : nullptr);
}

void CHttpToolW::AddHeader(HINTERNET hRequest, const wchar_t* szName, const wchar_t* szValue, UINT codePage)
{
    if (!hRequest) ThrowArgument("CHttpToolW::AddHeader: hRequest can not be NULL.");
    if (!szName) ThrowArgument("CHttpToolW::AddHeader: szName can not be NULL.");
    std::string name = Unicode2Ansi(szName, codePage);
    std::string value = Unicode2Ansi(szValue, codePage);
    CHttpToolA::AddHeader(hRequest, name.c_str(), value.c_str());
}

void CHttpToolW::SendRequestEx(HINTERNET hRequest, DWORD totalBytes)
{
    if (!hRequest) ThrowArgument("CHttpToolW::SendRequestEx: hRequest can not be NULL.");
    INTERNET_BUFFERSW buffers = {};
    buffers.dwStructSize = sizeof buffers;
    buffers.dwBufferTotal = totalBytes;
    if (!::HttpSendRequestExW(hRequest, &buffers, nullptr, 0, 0))
        ThrowException(HTTPCLIENT_ERR_HTTPSENDREQUESTEX_FAILED);
}

void CHttpToolW::InternetWriteFile(HINTERNET hRequest, const BYTE* pbyBuff, DWORD cbyBuff)
{
    if (!hRequest) ThrowArgument("CHttpToolW::InternetWriteFile: hRequest can not be NULL.");
    if (!pbyBuff) ThrowArgument("CHttpToolW::InternetWriteFile: pbyBuff can not be NULL.");
    if (!cbyBuff) ThrowArgument("CHttpToolW::InternetWriteFile: cbyBuff can not be zero.");
    while (cbyBuff) {
        DWORD written = 0;
        // A call that takes nothing would loop for ever: a failure too.
        if (!::InternetWriteFile(hRequest, pbyBuff, cbyBuff, &written) || written == 0 || written > cbyBuff)
            ThrowException(HTTPCLIENT_ERR_INTERNETWRITEFILE_FAILED);
        pbyBuff += written;
        cbyBuff -= written;
    }
}

void CHttpToolW::EndRequest(HINTERNET hRequest)
{
    if (!hRequest) ThrowArgument("CHttpToolW::EndRequest: hRequest can not be NULL.");
    if (!::HttpEndRequestW(hRequest, nullptr, 0, 0)) ThrowException(HTTPCLIENT_ERR_HTTPENDREQUEST_FAILED);
}

void CHttpToolW::CloseInternetHandle(HINTERNET handle)
{
    if (handle) ::InternetCloseHandle(handle);
}

HANDLE CHttpToolW::OpenFile(const wchar_t* szFilePath)
{
    if (!szFilePath) ThrowArgument("CHttpToolW::OpenFile: szFilePath can not be NULL.");
    return ::CreateFileW(szFilePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
}

DWORD CHttpToolW::GetFileSize(HANDLE hFile, const wchar_t* szFilePath)
{
    if (!hFile) ThrowArgument("CHttpToolW::GetFileSize: hFile can not be NULL.");
    if (!szFilePath) ThrowArgument("CHttpToolW::GetFileSize: szFilePath can not be NULL.");
    DWORD size = ::GetFileSize(hFile, nullptr);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        ThrowException(HTTPCLIENT_ERR_GETFILESIZE_FAILED, ::GetLastError(), szFilePath);
    return size;
}

std::string CHttpToolW::GetMimeType(HANDLE hFile, UINT codePage)
{
    if (!hFile) ThrowArgument("CHttpToolW::GetMimeType: hFile can not be NULL.");
    if (IsUtfCodePage(codePage))
        ThrowArgument("CHttpToolW::GetMimeType: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    BYTE head[256];
    DWORD read = ReadFile(hFile, head, sizeof head);
    if (::SetFilePointer(hFile, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        ::GetLastError() != NO_ERROR)
        ThrowException(HTTPCLIENT_ERR_SETFILEPOINTER_FAILED);

    // Loaded when needed: the sniffer is the only call into that library.
    typedef HRESULT(WINAPI * FindMime)(LPBC, LPCWSTR, LPVOID, DWORD, LPCWSTR, DWORD, LPWSTR*, DWORD);
    static FindMime find = [] {
        HMODULE module = ::LoadLibraryW(L"urlmon.dll");
        return module ? reinterpret_cast<FindMime>(reinterpret_cast<void*>(::GetProcAddress(module, "FindMimeFromData")))
                      : nullptr;
    }();
    std::string mime = "application/octet-stream";
    LPWSTR answer = nullptr;
    if (find && read && SUCCEEDED(find(nullptr, nullptr, head, read, nullptr, 0, &answer, 0)) && answer) {
        std::string converted = Unicode2Ansi(answer, codePage);
        if (!converted.empty()) mime = converted;
    }
    if (answer) ::CoTaskMemFree(answer);
    return mime;
}

DWORD CHttpToolW::ReadFile(HANDLE hFile, void* buffer, DWORD bytes)
{
    DWORD read = 0;
    if (!::ReadFile(hFile, buffer, bytes, &read, nullptr)) ThrowException(HTTPCLIENT_ERR_READFILE_FAILED);
    return read;
}

void CHttpToolW::CloseFile(HANDLE hFile)
{
    if (hFile && hFile != INVALID_HANDLE_VALUE) ::CloseHandle(hFile);
}

HINTERNET CHttpToolA::OpenRequest(HINTERNET hConnection, const char* szVerb, const char* szObjectName, DWORD flags,
                                  const char* szReferer)
{
    if (!hConnection) CHttpToolW::ThrowArgument("CHttpToolA::OpenRequest: hConnection can not be NULL.");
    if (!szObjectName) CHttpToolW::ThrowArgument("CHttpToolA::OpenRequest: szObjectName can not be NULL.");
    if (!*szObjectName)
        CHttpToolW::ThrowArgument("CHttpToolA::OpenRequest: szObjectName can not be an empty string.");
    const char* accept[] = {"*/*", nullptr};
    HINTERNET handle = ::HttpOpenRequestA(hConnection, szVerb, szObjectName, "HTTP/1.1", szReferer, accept, flags, 0);
    if (!handle) CHttpToolW::ThrowException(HTTPCLIENT_ERR_HTTPOPENREQUEST_FAILED);
    return handle;
}

void CHttpToolA::AddHeader(HINTERNET hRequest, const char* szName, const char* szValue)
{
    if (!hRequest) CHttpToolW::ThrowArgument("CHttpToolA::AddHeader: hRequest can not be NULL.");
    if (!szName) CHttpToolW::ThrowArgument("CHttpToolA::AddHeader: szName can not be NULL.");
    std::string line = std::string(szName) + ": " + (szValue ? szValue : "") + "\r\n";
    if (!::HttpAddRequestHeadersA(hRequest, line.c_str(), static_cast<DWORD>(line.size()), HTTP_ADDREQ_FLAG_ADD))
        CHttpToolW::ThrowException(HTTPCLIENT_ERR_HTTPADDREQUESTHEADERS_FAILED);
}

// ---------------------------------------------------------------- encoder

std::string CHttpEncoderW::Utf8Encode(const wchar_t* szBuff)
{
    if (!szBuff) CHttpToolW::ThrowArgument("CHttpEncoderW::Utf8Encode: szBuff can not be NULL.");
    return Encode(CP_UTF8, szBuff);
}

std::string CHttpEncoderW::AnsiEncode(const wchar_t* szBuff, UINT codePage)
{
    if (!szBuff) CHttpToolW::ThrowArgument("CHttpEncoderW::AnsiEncode: szBuff can not be NULL.");
    if (IsUtfCodePage(codePage))
        CHttpToolW::ThrowArgument("CHttpEncoderW::AnsiEncode: CP_UTF8 and CP_UTF7 can not be used for the CodePage parameter.");
    return Encode(codePage, szBuff);
}

} // namespace Vexel
