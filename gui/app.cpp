#include "gui/app.h"

#include "settings/config.h"
#include "gui/controls.h"
#include "gui/crashdump.h"
#include "gui/iconfile.h"
#include "gui/mainwnd.h"
#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/startup.h"
#include "base/textconv.h"
#include "browser/trustsites.h"
#include "check/osprobe.h"
#include "ui/system.h"
#include "webpane/axhost.h"

#include <Poco/Net/HTTPStreamFactory.h>

#include <objbase.h>
#include <shellapi.h>
#include <string.h>

CVelmoraChatApp* g_pApp = nullptr;

CVelmoraChatApp::CVelmoraChatApp(HINSTANCE instance, const wchar_t* commandLine)
    : m_sysInfo(), m_instance(instance), m_commandLine(commandLine ? commandLine : L""), m_mainWindow(nullptr),
      m_instanceMutex(nullptr)
{
    // The window's own record, put in use before the shared set-up fills it.
    m_previousSysInfo = UseSystemInfo(&m_sysInfo);
    SetUpProcess();
}

CVelmoraChatApp::~CVelmoraChatApp()
{
    // The mutex stays held until the process ends; the object lives as long.
    UseSystemInfo(m_previousSysInfo);
}

bool AcquireInstanceMutex(HANDLE* mutex)
{
    *mutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    if (*mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        ShowMessageBox(nullptr, "程序已经在运行,同一时刻只能有一个实例运行!", "警告",
                       MB_OK | MB_ICONINFORMATION);
        CloseHandle(*mutex);
        *mutex = nullptr;
        return false;
    }
    return true;
}

bool CVelmoraChatApp::InitInstance()
{
    CoInitialize(nullptr);

    if (!AcquireInstanceMutex(&m_instanceMutex)) return false;

    SetUnhandledExceptionFilter(CrashDumpFilter);
    MakeDirectories(DownloadFolder().c_str());

    ProbeSystemInfo();
    if (!LoadGlobelSetting()) WriteLog("[error] LoadGlobelSetting!!!");
    if (!LoadComponentList(false) || !StartSkinEngine()) return false;

    if (!LoadLoginIcon()) WriteLog("[error] LoadLoginIcon!!!");

    Poco::Net::HTTPStreamFactory::registerFactory();
    return true;
}

bool CVelmoraChatApp::StartSkinEngine()
{
    m_skinSystem = std::make_unique<SkinEngine::CSkinSystem>(m_instance);
    RegisterApplicationControls(m_skinSystem->Controls());
    RegisterActiveXHost();
    m_skinSystem->SetResourceProvider(std::make_unique<SkinEngine::ResourceSource>(m_instance));
    return m_skinSystem->LoadResources();
}

void CVelmoraChatApp::ExitInstance()
{
    if (m_skinSystem) {
        m_skinSystem->ReleaseResourceProvider();
        m_skinSystem->ReleaseSkins();
        m_skinSystem.reset();
    }
    CoUninitialize();
}

HWND CVelmoraChatApp::CreateMainWindow()
{
    SkinEngine::DocumentSource* source = SkinEngine::LoadSkinDocument(kMainWindowDocument, m_mainDocument);
    if (!source) return nullptr;
    auto window = std::make_unique<CMainDlg>();
    HWND hwnd = window->Create(m_mainDocument, m_skinSystem->Pools(), *source, kMainWindowStyle);
    if (!hwnd) return nullptr;
    m_mainWindow = window.release();
    return hwnd;
}

bool UpdateTrayIcon(HWND window, bool add)
{
    // A shared icon, owned by the system for as long as the module is loaded:
    // never destroyed here, and still the window's small icon afterwards.
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kTrayIconId));
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kTrayIconId;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = icon;
    wcsncpy(data.szTip, L"Animated System Tray Icons", 27);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    const bool done = Shell_NotifyIconW(add ? NIM_ADD : NIM_DELETE, &data) != FALSE;
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return done;
}

int CVelmoraChatApp::Run()
{
    HWND window = CreateMainWindow();
    if (!window) {
        // Without its window the program cannot be used or ended: a failure.
        WriteLog("the main window could not be created: exiting\r\n");
        return -1;
    }
    AnimateWindow(window, 1000, AW_ACTIVATE | AW_BLEND);
    // Wine shows the window without the fade; make sure it is on screen.
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOW);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    WriteLog("main window shown\r\n");
    // Only now the network: the window answers while the lookups wait.
    m_mainWindow->StartLookups(g_serverSettings);
    if (!UpdateTrayIcon(window, true)) WriteLog("the tray icon could not be added\r\n");
    int code = MessageLoop();
    UpdateTrayIcon(window, false);
    delete m_mainWindow;
    m_mainWindow = nullptr;
    return code;
}

int CVelmoraChatApp::MessageLoop()
{
    bool idle = true;
    int idleCount = 0;
    MSG msg;
    for (;;) {
        while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) idle = false;
        }
        int result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == -1) continue;
        if (result == 0) break;
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (msg.message != WM_PAINT && msg.message != 0x118 && msg.message != WM_MOUSEMOVE) {
            idle = true;
            idleCount = 0;
        }
    }
    return static_cast<int>(msg.wParam);
}

bool CVelmoraChatApp::PreTranslateMessage(MSG* msg)
{
    // The main window's filters (the browser pane's) see the thread's messages first.
    return m_mainWindow && m_mainWindow->PreTranslateMessage(*msg);
}

bool CVelmoraChatApp::OnIdle(int)
{
    return false;
}

bool CVelmoraChatApp::LoadLoginIcon()
{
    // Shared (LoadIconW): the system owns it, so it is not destroyed.
    HICON icon = LoadIconW(m_instance, MAKEINTRESOURCEW(kLoginIconId));
    if (!icon) return false;

    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring target = std::wstring(system, 2) + L"\\login.ico";
    std::wstring source = AnsiToWide(ExeDirectory()) + L"\\login.ico";

    if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES)
        WriteIconFile(icon, target.c_str());
    else
        CopyFileW(source.c_str(), target.c_str(), FALSE);
    return true;
}

bool IsTrustedSiteCommandLine(const std::wstring& commandLine)
{
    // The host must be the local address itself: a name that only begins
    // like it ("localhost.example.org", "127.0.0.1.example.org") or user
    // information before another host ("127.0.0.1@example.org") would put a
    // foreign site among the trusted ones.
    const std::string text = WideToAnsi(commandLine);
    for (const char* prefix : {"http://127.0.0.1", "http://localhost"}) {
        const size_t length = strlen(prefix);
        if (text.compare(0, length, prefix) != 0) continue;
        size_t at = length;
        if (at < text.size() && text[at] == ':') {
            const size_t digits = ++at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
            if (at == digits || at - digits > 5) return false;
        }
        return at == text.size() || text[at] == '/';
    }
    return false;
}

bool IsRunningAsAdministrator()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    if (version.dwMajorVersion * 256 + version.dwMinorVersion < 0x0600) return true;

    bool elevated = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation = {};
        DWORD size = 0;
        if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
            size == sizeof elevation)
            elevated = elevation.TokenIsElevated != 0;
        CloseHandle(token);
    }
    WriteLog(elevated ? "Program is running in administrator mode\r\n"
                      : "Program  is not running in administrator mode\r\n");
    return elevated;
}

int RunApplication(HINSTANCE instance, const wchar_t* commandLine)
{
    g_pApp = new CVelmoraChatApp(instance, commandLine);

    if (!g_pApp->m_commandLine.empty() && IsTrustedSiteCommandLine(g_pApp->m_commandLine)) {
        AddTrustSites(WideToAnsi(g_pApp->m_commandLine), kZoneMapRanges, kZoneMapDomains);
        return 0;
    }

    WriteStartLine("---------------------------Pylonix Start----------------------\r\n");

    if (!IsRunningAsAdministrator()) {
        ShowMessageBox(nullptr, "请以管理员身份运行该程序!", "警告", MB_OK);
        return -1;
    }

    int code = g_pApp->InitInstance() ? g_pApp->Run() : -1;
    g_pApp->ExitInstance();
    return code;
}
