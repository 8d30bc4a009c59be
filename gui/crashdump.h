#pragma once
#include <windows.h>

#include <string>

// Unhandled-exception filter: writes one minidump beside the executable for
// the first crash of the process, then lets the system handle the next.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exception);

// The dump file name for the given executable path and UTC time:
// "<path without extension>-yyyyMMdd-HHmmss.dmp".
std::wstring BuildDumpFileName(const std::wstring& exePath, const SYSTEMTIME& utc);
