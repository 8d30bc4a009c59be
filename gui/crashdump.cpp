#include "gui/crashdump.h"

#include <dbghelp.h>

namespace {
volatile LONG g_dumpWritten = 0;
}

std::wstring BuildDumpFileName(const std::wstring& exePath, const SYSTEMTIME& utc)
{
    std::wstring name = exePath;
    size_t dot = name.rfind(L'.');
    size_t slash = name.rfind(L'\\');
    // A name without an extension keeps its full path.
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) name.erase(dot);

    wchar_t date[32] = L"";
    wchar_t time[32] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &utc, L"yyyyMMdd-", date, 32);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &utc, L"HHmmss", time, 32);
    return name + L"-" + date + time + L".dmp";
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exception)
{
    if (InterlockedExchange(&g_dumpWritten, 1) != 0) return EXCEPTION_CONTINUE_SEARCH;

    HMODULE dbghelp = LoadLibraryW(L"DBGHELP.DLL");
    if (!dbghelp) return EXCEPTION_CONTINUE_EXECUTION;

    typedef BOOL(WINAPI * MiniDumpWriteDumpFn)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                               PMINIDUMP_EXCEPTION_INFORMATION,
                                               PMINIDUMP_USER_STREAM_INFORMATION,
                                               PMINIDUMP_CALLBACK_INFORMATION);
    auto writeDump =
        reinterpret_cast<MiniDumpWriteDumpFn>(GetProcAddress(dbghelp, "MiniDumpWriteDump"));
    if (writeDump) {
        wchar_t module[1024];
        DWORD n = GetModuleFileNameW(nullptr, module, 1024);
        SYSTEMTIME now;
        GetSystemTime(&now);
        std::wstring path = BuildDumpFileName(std::wstring(module, n), now);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            MINIDUMP_EXCEPTION_INFORMATION info;
            info.ThreadId = GetCurrentThreadId();
            info.ExceptionPointers = exception;
            info.ClientPointers = FALSE;
            writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info,
                      nullptr, nullptr);
            CloseHandle(file);
        }
    }
    FreeLibrary(dbghelp);
    // The faulting instruction runs again; its second fault finds the flag set.
    return EXCEPTION_CONTINUE_EXECUTION;
}
