#pragma once
// Where the program keeps and finds its files.
#include <string>

// The user's roaming application-data folder + "Pylonix", created when
// missing, with a trailing backslash; "" when it cannot be had.
std::wstring ComputeDataFolder();

// The data folder in use (set at start-up, or by a test), with a trailing
// backslash; "" before it is set.
void SetDataFolder(const std::wstring& folder);
std::wstring DataFolder();
std::string DataFolderNarrow();

// Data folder + "Download" (no trailing backslash).
std::string DownloadFolder();

// The executable's folder without a trailing backslash.
std::string ExeDirectory();

// "System32", or "SysWOW64" when the probed architecture is "X64".
const char* SystemFolderName();

// Windows directory + "\\" + SystemFolderName().
std::string SystemFolder();

bool FileExists(const std::string& path);
