#include "gui/mainwnd.h"

#include "gui/controls.h"
#include "gui/dialogs.h"
#include "webpane/iectrl.h"
#include "base/log.h"
#include "base/textconv.h"
#include "browser/cache.h"
#include "check/report.h"
#include "pages/checkrow.h"
#include "ui/menu.h"
#include "ui/system.h"
#include "ui/tabctrl.h"

#include <commdlg.h>

#include <memory>

using namespace SkinEngine;

CMainDlg::CMainDlg() : m_page(*this) {}

HWND CMainDlg::Create(const LayerDocument& doc, const ResourcePools& pools, DocumentSource& source, DWORD style)
{
    m_pools = &pools;
    RegisterBrowserPane(AnsiToWide(g_serverSettings.startPage));
    HWND hwnd = SkinHostWnd::Create(doc, pools, source, nullptr, style);
    if (hwnd) ShowPage(0);
    return hwnd;
}

CMyListBox* CMainDlg::List() const
{
    return FindAs<CMyListBox>(kCtlCheckList);
}

void CMainDlg::ShowPage(int page)
{
    if (auto* tabs = FindAs<CSkinTabCtrl>(kCtlPages)) tabs->SelectTab(page);
    m_currentTab = page;
    const int buttons[] = {kCtlTabCheck, kCtlTabNetwork, kCtlTabCache};
    for (int i = 0; i < 3; ++i) SetSkinStateIndex(buttons[i], i == page ? 2 : 0);
    if (page == 0) m_page.ShowIntroduction();
    if (page == 1) ShowNetworkIntroduction();
    RequestLayout();
}

void CMainDlg::ShowNetworkIntroduction()
{
    // A test under way keeps its panes, and only the browser pane's own
    // window needs painting again (the page itself is laid out and drawn by
    // the switch); otherwise the page starts afresh.
    if (m_netState.testRunning) {
        if (auto* pane = FindAs<CSkinRealWnd>(kNetBrowserPane))
            if (pane->Handle()) RedrawWindow(pane->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return;
    }
    ShowControl(kNetTestButton, true);
    for (int id = kNetIntroFirst; id <= kNetIntroLast; ++id) ShowControl(id, true);
    ShowControl(kNetRelationLabel, true);
    ShowControl(kNetRelationText, true);
    ShowControl(kNetSplitPane, false);
    m_download.DiscardJob();
    RefreshConnectionPanel(*this);
    Redraw();
}

void CMainDlg::SetText(int id, const std::string& text)
{
    SetControlText(id, AnsiToWide(text));
}

void CMainDlg::ChooseAndUpload()
{
    // One upload at a time: a click during one does not offer a file it
    // would then not send. The test counts as running from here on.
    if (!m_upload.BeginChoosing()) return;
    wchar_t file[MAX_PATH] = L"";
    wchar_t title[MAX_PATH] = L"";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Window();
    dialog.lpstrFilter = L"请选择上传测试文件\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = title;
    dialog.nMaxFileTitle = MAX_PATH;
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
    // Cancelled: an empty path, which ends the run at once.
    if (!GetOpenFileNameW(&dialog)) file[0] = 0;
    m_upload.Start(file);
}

void CMainDlg::OpenInternetTest()
{
    auto* element = FindAs<CSkinRealWnd>(kNetBrowserPane);
    CIECtrl* pane = element ? CIECtrl::FromHandle(element->Handle()) : nullptr;
    if (!pane) {
        WriteLog("browser pane: there is no web browser control to open the test page in\r\n");
        return;
    }
    WriteLog("browser pane: internet test %s\r\n", g_serverSettings.testPage.c_str());
    pane->Navigate(AnsiToWide(g_serverSettings.testPage));
    ShowControl(kNetBrowserPane, true);
    Redraw();
}

LRESULT CMainDlg::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CHECK_ROW: return m_page.OnCheckRow(reinterpret_cast<CheckItem*>(wParam), lParam);
    case WM_CHECK_DONE: return m_page.OnCheckDone(lParam);
    case WM_DOWNLOAD_PROGRESS: {
        std::unique_ptr<DownloadProgress> record = TakeRecord<DownloadProgress>(wParam);
        if (!record) return -1;
        if (record->kind == kTransferSpeedTest)
            m_download.OnProgress(std::move(record));
        else
            m_page.OnDownloadProgress(std::move(record));
        return 0;
    }
    case WM_UPLOAD_PROGRESS: return m_upload.OnProgress(TakeRecord<UploadProgress>(wParam));
    case WM_ADDRESS_LOOKUP: OnAddressLookup(TakeRecord<AddressLookup>(wParam)); return 0;
    case WM_TRAY_NOTIFY: OnTrayNotify(static_cast<UINT>(lParam)); return 0;
    case WM_COMMAND:
        // The tray menu's items 1..3 all end the program.
        if (LOWORD(wParam) >= 1 && LOWORD(wParam) <= 3) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_CLOSE: AskAndClose(); return 0;
    case WM_SIZE:
        if (wParam == SIZE_MAXIMIZED || wParam == SIZE_RESTORED) {
            SkinHostWnd::ShowControl(kCtlRestore, wParam == SIZE_MAXIMIZED);
            SkinHostWnd::ShowControl(kCtlMaximize, wParam == SIZE_RESTORED);
        }
        break;
    }
    return SkinHostWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT CMainDlg::OnEngineNotify(const SkinNotify& notify)
{
    switch (notify.hdr.code) {
    case kNotifyClick: OnClick(notify.id); return 0;
    case kNotifyRowClick:
        if (notify.control) return m_page.OnRowButton(notify.id, notify.control->Name(), notify.rowIndex);
        return 0;
    case kNotifyTabChange: m_currentTab = notify.value; return 0;
    }
    return 0;
}

void CMainDlg::OnClick(int id)
{
    switch (id) {
    case kCtlClose: AskAndClose(); break;
    case kCtlSettings: OpenSettingsDialog(); break;
    case kCtlMaximize: SendMessageW(Window(), WM_SYSCOMMAND, SC_MAXIMIZE, 0); break;
    case kCtlRestore: SendMessageW(Window(), WM_SYSCOMMAND, SC_RESTORE, 0); break;
    case kCtlMinimize: ShowWindow(Window(), SW_HIDE); break;
    case kCtlTabCheck: ShowPage(0); break;
    case kCtlTabNetwork: ShowPage(1); break;
    case kCtlTabCache: ShowPage(2); break;
    case kCtlStartCheck: m_page.StartClientCheck(); break;
    case kNetTestButton: m_download.ResetTabAndStart(); break;
    case kNetRetestButton: m_download.Start(); break;
    case kNetUploadButton: ChooseAndUpload(); break;
    case kNetInternetButton: OpenInternetTest(); break;
    case kCtlRepairAll: m_page.RepairAll(); break;
    case kCtlStopCheck: m_page.StopCheck(); break;
    case kCtlCleanCache: ClearIECache(); break;
    default: break;
    }
}

int CMainDlg::RowCount()
{
    CMyListBox* list = List();
    return list ? list->RowCount() : 0;
}

void CMainDlg::ShowRowControl(int kind, int row, int slot, bool visible)
{
    if (CMyListBox* list = List()) list->ShowInRow(row, RowControlId(kind, slot), visible);
}

void CMainDlg::SetRowProgress(int kind, int row, int percent)
{
    if (CMyListBox* list = List())
        if (auto* bar = dynamic_cast<CSkinProgress*>(list->FindInRow(row, RowControlId(kind, kSlotProgressBar))))
            bar->SetValue(percent);
}

void CMainDlg::SetRowText(int kind, int row, int slot, const std::string& text)
{
    if (CMyListBox* list = List()) list->SetTextInRow(row, RowControlId(kind, slot), AnsiToUtf8(text));
}

int CMainDlg::CheckProgress()
{
    auto* bar = FindAs<CSkinProgress>(kCtlCheckProgress);
    return bar ? bar->Value() : 0;
}

void CMainDlg::DeleteAllRows()
{
    if (CMyListBox* list = List()) list->DeleteAllRows();
}

int CMainDlg::AppendRow(const std::string& markup)
{
    CMyListBox* list = List();
    if (!list || !m_pools) return -1;
    const int row = list->AppendRow(markup, *m_pools);
    if (row >= 0) list->LayoutRows(Context());
    return row;
}

void CMainDlg::SetRowSkin(int kind, int row, int slot, const std::string& skin)
{
    CMyListBox* list = List();
    if (!list) return;
    list->SetSkinInRow(row, RowControlId(kind, slot), skin);
    if (slot == kSlotActionButton) list->SetNameInRow(row, RowControlId(kind, slot), skin);
}

void CMainDlg::OnCheckFinished(const std::vector<CheckItem>& rows)
{
    // Read here, on the window's thread; the worker gets copies. A collector
    // that is away only costs a line in the log.
    const ServerSettings& settings = g_serverSettings;
    if (settings.reportUrl.empty()) return;
    PostReportInBackground(settings.reportUrl, settings.reportToken,
                           WindowReport(rows, m_netState.lastDownload, m_netState.lastUpload));
}

bool CMainDlg::OpenSettingsDialog()
{
    if (m_modalOpen) return false;  // one dialog at a time
    CSetUpDlg dialog;
    int result;
    {
        ModalScope modal(*this);
        result = dialog.DoModal(Window());
    }
    if (result < 0) {
        // A quit came while it was open (the loop's end follows), or it
        // could not be shown.
        WriteLog("CMainDlg: the settings dialog ended without an answer\r\n");
        return false;
    }
    // A new server: its IP and carriers are looked up again, off this thread.
    if (dialog.Saved()) StartLookups(g_serverSettings);
    AfterModal();
    return true;
}

void CMainDlg::AfterModal()
{
    // An address answer that came while a dialog was open is acted on now,
    // unless a newer lookup is under way.
    if (!m_addressKnownDuringModal || m_lookupPending) return;
    m_addressKnownDuringModal = false;
    m_page.OnServerAddressKnown();
}

void CMainDlg::AskAndClose()
{
    if (m_modalOpen) return;
    CCloseTip prompt;
    int choice;
    {
        ModalScope modal(*this);
        choice = prompt.DoModal(Window());
    }
    WriteLog("close prompt: %s\r\n", choice == kCloseExit     ? "exit"
                                       : choice == kCloseToTray ? "hide to the tray"
                                                                : "cancelled");
    switch (choice) {
    case kCloseExit:
        // The loop's end removes the tray icon and destroys the window.
        PostQuitMessage(0);
        break;
    case kCloseToTray: ShowWindow(Window(), SW_HIDE); break;
    default: break;
    }
    if (choice >= 0 && choice != kCloseExit) AfterModal();
}

bool CMainDlg::StartLookups(const ServerSettings& settings)
{
    m_lookupPending = StartAddressLookups(Window(), settings);
    if (!m_lookupPending) WriteLog("CMainDlg: the address lookups did not start\r\n");
    return m_lookupPending;
}

void CMainDlg::OnAddressLookup(std::unique_ptr<AddressLookup> lookup)
{
    if (!lookup) return;
    // An answer about a server the user has replaced since changes nothing.
    if (!ApplyAddressLookup(*lookup)) return;
    WriteLog("server address %s: ip %s%s\r\n", lookup->serverAddr.c_str(),
             lookup->serverIp.empty() ? "unresolved" : lookup->serverIp.c_str(),
             lookup->carriers ? ", carriers looked up" : "");
    // The first message carries the server IP: a waiting check starts now,
    // or once the dialog open over the window has closed.
    m_lookupPending = false;
    if (m_modalOpen)
        m_addressKnownDuringModal = true;
    else
        m_page.OnServerAddressKnown();
    if (m_currentTab == 1 && !m_netState.testRunning) RefreshConnectionPanel(*this);
}

void CMainDlg::OnTrayNotify(UINT mouseMessage)
{
    if (mouseMessage != WM_LBUTTONDBLCLK && mouseMessage != WM_RBUTTONDOWN) return;
    SetForegroundWindow(Window());
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        ShowWindow(Window(), SW_SHOWNORMAL);
        SetFocus(Window());
        return;
    }
    // The menu is read anew every time; the chosen item comes back as WM_COMMAND.
    CSkinSystem* system = CSkinSystem::Current();
    SkinMenu menu;
    if (!system || !system->ResourceProvider() || !LoadSkinMenu(*system->ResourceProvider(), kTrayMenuDocument, menu)) {
        WriteLog("CMainDlg: the tray menu does not load\r\n");
        return;
    }
    POINT at;
    GetCursorPos(&at);
    TrackSkinMenu(menu, Context(), Window(), at);
}
