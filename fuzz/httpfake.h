#pragma once
// The HTTP client's system calls for the native fuzz build: no network, no
// files. Requests are numbered handles, the body written is kept, and the
// "files" are sizes and bytes the fuzz target sets.
#include <windows.h>
#include <wininet.h>

#include "base/utf8.h"

#include <map>
#include <string>

struct FakeFailure {
    int code;
};

struct FakeFile {
    DWORD size = 0;        // what the size query answers
    std::string bytes;     // what reading gives (may be fewer: a file that shrank)
    size_t readAt = 0;
};

struct FakeNet {
    static FakeNet& Get()
    {
        static FakeNet net;
        return net;
    }
    void Reset()
    {
        files.clear();
        open.clear();
        body.clear();
        announced = 0;
        sent = ended = false;
        handles = 0;
    }
    std::map<std::wstring, FakeFile> files;
    std::map<HANDLE, FakeFile*> open;
    std::string body;
    DWORD announced = 0;
    bool sent = false, ended = false;
    int handles = 0;  // internet handles open
};

struct FakeHttpTool {
    typedef wchar_t CharType;

    [[noreturn]] static void ThrowException(int code, DWORD = 0, const wchar_t* = nullptr) { throw FakeFailure{code}; }
    [[noreturn]] static void ThrowArgument(const char*) { throw FakeFailure{0}; }

    static HINTERNET NewHandle()
    {
        ++FakeNet::Get().handles;
        return reinterpret_cast<HINTERNET>(static_cast<intptr_t>(0x1000 + FakeNet::Get().handles));
    }
    static HINTERNET OpenInternet(const wchar_t*, DWORD, const wchar_t*, const wchar_t*, DWORD) { return NewHandle(); }
    static HINTERNET OpenConnection(HINTERNET, const wchar_t*, INTERNET_PORT) { return NewHandle(); }
    static HINTERNET OpenRequest(HINTERNET, const wchar_t*, const wchar_t*, DWORD, const wchar_t*, UINT) { return NewHandle(); }
    static void AddHeader(HINTERNET, const wchar_t*, const wchar_t*, UINT) {}
    static void SendRequestEx(HINTERNET, DWORD total)
    {
        FakeNet::Get().announced = total;
        FakeNet::Get().sent = true;
    }
    static void InternetWriteFile(HINTERNET, const BYTE* bytes, DWORD count)
    {
        FakeNet& net = FakeNet::Get();
        if (!net.sent || net.ended) abort();  // body bytes outside the request
        net.body.append(reinterpret_cast<const char*>(bytes), count);
        if (net.body.size() > net.announced) abort();  // more than the length announced
    }
    static void EndRequest(HINTERNET) { FakeNet::Get().ended = true; }
    static void CloseInternetHandle(HINTERNET handle)
    {
        if (handle) --FakeNet::Get().handles;
    }

    static HANDLE OpenFile(const wchar_t* path)
    {
        FakeNet& net = FakeNet::Get();
        auto found = net.files.find(path);
        if (found == net.files.end()) return INVALID_HANDLE_VALUE;
        HANDLE handle = &found->second;
        found->second.readAt = 0;
        net.open[handle] = &found->second;
        return handle;
    }
    static DWORD GetFileSize(HANDLE file, const wchar_t*) { return FakeNet::Get().open.at(file)->size; }
    static std::string GetMimeType(HANDLE, UINT) { return "application/octet-stream"; }
    static DWORD ReadFile(HANDLE handle, void* buffer, DWORD bytes)
    {
        FakeFile& file = *FakeNet::Get().open.at(handle);
        const size_t left = file.bytes.size() - file.readAt;
        const DWORD got = static_cast<DWORD>(bytes < left ? bytes : left);
        file.bytes.copy(static_cast<char*>(buffer), got, file.readAt);
        file.readAt += got;
        return got;
    }
    static void CloseFile(HANDLE handle)
    {
        if (handle != INVALID_HANDLE_VALUE && !FakeNet::Get().open.erase(handle)) abort();  // closed twice
    }
};

// Texts as the client encodes them: UTF-8, or a one-byte stand-in for the
// code page (every unit above 0xFF as "?").
struct FakeHttpEncoder {
    static std::string Utf8Encode(const wchar_t* text)
    {
        std::u16string units;
        for (; *text; ++text) units += static_cast<char16_t>(*text);
        return Utf16ToUtf8(units);
    }
    static std::string AnsiEncode(const wchar_t* text, UINT)
    {
        std::string out;
        for (; *text; ++text) out += *text > 0xFF ? '?' : static_cast<char>(*text);
        return out;
    }
};
