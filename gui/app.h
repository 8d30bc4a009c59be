#pragma once
// The application object: start-up, message loop and shutdown.
#include "base/sysinfo.h"

#include <windows.h>

#include <memory>
#include <string>

#include "ui/resources.h"

class CMainDlg;
namespace SkinEngine {
class CSkinSystem;
}

class CVelmoraChatApp {
public:
    CVelmoraChatApp(HINSTANCE instance, const wchar_t* commandLine);
    virtual ~CVelmoraChatApp();

    virtual bool InitInstance();
    virtual void ExitInstance();
    virtual int Run();
    virtual HWND CreateMainWindow();
    virtual int MessageLoop();
    virtual bool PreTranslateMessage(MSG* msg);
    virtual bool OnIdle(int idleCount);
    virtual bool LoadLoginIcon();
    // Starts the window engine over the program's own resources; false when
    // they do not load.
    bool StartSkinEngine();

    SystemInfo m_sysInfo;
    HINSTANCE m_instance;
    std::wstring m_commandLine;
    CMainDlg* m_mainWindow;
    std::unique_ptr<SkinEngine::CSkinSystem> m_skinSystem;  // null until InitInstance starts it
    SkinEngine::LayerDocument m_mainDocument;  // the main window's layout, kept while it lives

private:
    HANDLE m_instanceMutex;
    SystemInfo* m_previousSysInfo;  // put back when this object goes
};

// The one application object, created by the entry point.
extern CVelmoraChatApp* g_pApp;

// The whole process: command-line mode, administrator check, start-up, run,
// shutdown. Returns the process exit code.
int RunApplication(HINSTANCE instance, const wchar_t* commandLine);

// True when the command line asks only to trust a local address.
bool IsTrustedSiteCommandLine(const std::wstring& commandLine);

// Vista and later: the process token must be elevated.
bool IsRunningAsAdministrator();

// Opens the single-instance mutex. False (with the message shown) when
// another instance holds it.
bool AcquireInstanceMutex(HANDLE* mutex);

const wchar_t* const kInstanceMutexName = L"PylonixClient App Mutex 2013-07-29";
const int kLoginIconId = 130;
const int kTrayIconId = 3016;
const int kMainWindowDocument = 105;
// Overlapped window with caption, system menu, sizing frame, minimise and
// maximise boxes, clipping its children.
const DWORD kMainWindowStyle = 0x02CF0000;

// Adds or removes the tray icon of `window` (icon 3016, WM_TRAY_NOTIFY)
// and makes the icon the window's small icon. False when the shell refused.
bool UpdateTrayIcon(HWND window, bool add);
