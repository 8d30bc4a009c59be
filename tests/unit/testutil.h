#pragma once
// Helpers shared by the unit tests.
#include "app/app.h"
#include "app/msgbox.h"

#include <string>
#include <vector>

// An application object whose data folder is a fresh scratch folder, and
// a message-box recorder, for the lifetime of a test.
class AppScope {
public:
    AppScope();
    ~AppScope();
    CVelmoraChatApp& app() { return *m_app; }
    const std::string& folder() const { return m_folder; }  // with trailing backslash
    std::vector<MessageBoxCall> boxes;

private:
    CVelmoraChatApp* m_app;
    CVelmoraChatApp* m_previous;
    std::string m_folder;
};

// Points HKEY_CURRENT_USER (or another predefined key) at a fresh scratch
// key for the lifetime of a test; `real()` reads the scratch key back
// through its own handle, unaffected by the override.
class ScratchRegistry {
public:
    explicit ScratchRegistry(HKEY predefined = HKEY_CURRENT_USER);
    ~ScratchRegistry();
    HKEY real() const { return m_scratch; }
    const std::wstring& path() const { return m_path; }

private:
    HKEY m_predefined;
    HKEY m_scratch;
    std::wstring m_path;
};

// A new empty folder under the system temp folder (no trailing backslash).
std::string MakeScratchFolder(const char* tag);
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Today's log file, read back.
std::string ReadTodaysLog();

// The demo server the test run started: its base URL and control calls.
std::string DemoBaseUrl();
bool DemoFault(const std::string& path, const std::string& mode);
bool DemoReset();
std::string DemoGet(const std::string& path);  // body of a plain GET
