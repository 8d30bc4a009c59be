#pragma once
#include <winsock2.h>
// Helpers shared by the unit tests.
#include "gui/app.h"
#include "settings/config.h"
#include "base/msgbox.h"
#include "net/download.h"

#include <stdio.h>

#include <functional>
#include <map>
#include <ostream>
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
    std::wstring m_previousFolder;
    std::string m_folder;
};

// What fake views were last told about each control's visibility. A control
// nobody showed or hid reads as Untold, so a check for "hidden" passes only
// when the code under test really hid it.
enum class Visibility { Untold, Shown, Hidden };
class VisibilityLog {
public:
    void Set(int id, bool visible) { m_seen[id] = visible ? Visibility::Shown : Visibility::Hidden; }
    Visibility operator[](int id) const
    {
        auto it = m_seen.find(id);
        return it == m_seen.end() ? Visibility::Untold : it->second;
    }
    bool Told(int id) const { return m_seen.count(id) != 0; }

private:
    std::map<int, Visibility> m_seen;
};
inline void PrintTo(Visibility v, std::ostream* os)
{
    *os << (v == Visibility::Shown ? "shown" : v == Visibility::Hidden ? "hidden" : "untold");
}

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

// Reading the registry back through a real handle (`root` is usually
// ScratchRegistry::real()).
struct RegValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string bytes;
    DWORD dword() const;  // the first four bytes, little-endian
};
RegValue ReadRegValue(HKEY root, const std::string& path, const wchar_t* name);
bool KeyExists(HKEY root, const std::string& path);
bool MakeKey(HKEY root, const std::string& path);
// Names of the values a key holds, in the registry's order.
std::vector<std::wstring> ValueNames(HKEY root, const std::string& path);

// A 24-bit bottom-up BMP file whose pixel (x, y) is rgb(x, y) as 0xRRGGBB.
std::string BmpFile(int w, int h, const std::function<uint32_t(int, int)>& rgb);

// A new empty folder under the system temp folder (no trailing backslash).
std::string MakeScratchFolder(const char* tag);
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// Today's log file, read back.
std::string ReadTodaysLog();

// Points the console lines (base/console.h) at a scratch file for its
// lifetime, then back at standard output.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string Text() const;  // every byte written since, as written

private:
    std::string m_path;
    FILE* m_file;
};

// The demo server fixture's state folder as Wine sees it (through Z:, no
// trailing backslash; "" outside the test run).
std::string DemoStateFolder();

// The demo server the test run started: its base URL and control calls.
std::string DemoBaseUrl();
bool DemoFault(const std::string& path, const std::string& mode);
bool DemoReset();
std::string DemoGet(const std::string& path);  // body of a plain GET
// The raw reply the IP-information service gives for `ip`.
bool DemoIpAnswer(const std::string& ip, const std::string& body);
// "127.0.0.1:port" of the demo server.
std::string DemoHost();
// Its port; 0 when it is not running.
uint16_t DemoPort();

// Points the server settings at the demo server (127.0.0.1, its port, the
// site "/norvik/login.htm") for its lifetime, then puts them back.
class ServerAtDemo {
public:
    ServerAtDemo();
    ~ServerAtDemo();
    ServerAtDemo(const ServerAtDemo&) = delete;
    ServerAtDemo& operator=(const ServerAtDemo&) = delete;
    bool ok() const { return m_ok; }  // false when the demo server is not running

private:
    ServerSettings m_saved;
    bool m_ok;
};

// Percent-encodes every byte outside [A-Za-z0-9].
std::string PercentEncode(const std::string& bytes);

// A TCP socket bound to a free loopback port (`address` says which).
SOCKET BoundLoopbackSocket(sockaddr_in* address);
// A loopback port with nothing listening on it.
unsigned short ClosedPort();

// A message-only window that collects the progress records posted to it.
class RecordSink {
public:
    RecordSink();
    ~RecordSink();
    HWND window() const { return m_window; }
    // Pumps this thread's queue until a done record arrived or `ms` passed;
    // every record is handed to `onRecord` (which owns it) in order.
    template <class F> bool PumpUntilDone(DWORD ms, F onRecord);
    // The same, keeping copies of the records.
    bool Collect(DWORD ms);
    std::vector<DownloadProgress> records;
    std::vector<DWORD> arrival;  // GetTickCount when each record was read

private:
    HWND m_window;
};

template <class F> bool RecordSink::PumpUntilDone(DWORD ms, F onRecord)
{
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < ms) {
        if (!PeekMessageW(&msg, m_window, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
            continue;
        }
        if (msg.message != WM_DOWNLOAD_PROGRESS) continue;
        auto* record = reinterpret_cast<DownloadProgress*>(msg.wParam);
        bool done = record->done != 0;
        onRecord(record);
        if (done) return true;
    }
    return false;
}

// PylonixClient.exe beside the test, loaded for its resources only (null
// when it is not there).
HMODULE ProgramModule();

// A certificate authority (a PEM file) trusted by the machine while this
// lives: written where the system keeps its trusted roots, under the
// certificate's SHA-1, and taken out again.
class TrustedAuthority {
public:
    explicit TrustedAuthority(const std::string& pemPath);
    ~TrustedAuthority();
    TrustedAuthority(const TrustedAuthority&) = delete;
    TrustedAuthority& operator=(const TrustedAuthority&) = delete;
    bool ok() const { return !m_key.empty(); }

private:
    std::wstring m_key;
};
