#pragma once
// The main window: document 105 on the engine's host window, the caption's
// buttons, the three pages, and the client-check page's view.
#include "base/messages.h"
#include "pages/checkpage.h"
#include "net/ipinfo.h"
#include "pages/networkpage.h"
#include "ui/hostwnd.h"

class CMyListBox;

class CMainDlg : public SkinEngine::SkinHostWnd, public CheckPageView, public NetworkTabView {
public:
    CMainDlg();
    // Builds the window from `doc` over `pools` and `source` (which must
    // outlive it), hidden, in its first page's opening state.
    HWND Create(const SkinEngine::LayerDocument& doc, const SkinEngine::ResourcePools& pools,
                SkinEngine::DocumentSource& source, DWORD style = 0);

    CheckPage& Page() { return m_page; }
    // The server-address lookups run on a worker from now on; a check
    // asked for before the server IP is known starts when it is.
    bool StartLookups(const ServerSettings& settings);
    bool LookupPending() const { return m_lookupPending; }
    int CurrentTab() const { return m_currentTab; }
    // Page 0, 1 or 2 with its tab button pushed.
    void ShowPage(int page);

    // --- CheckPageView ---
    HWND Window() override { return SkinHostWnd::Window(); }
    int RowCount() override;
    void ShowRowControl(int kind, int row, int slot, bool visible) override;
    void SetRowProgress(int kind, int row, int percent) override;
    void SetRowText(int kind, int row, int slot, const std::string& text) override;
    void Redraw() override { SkinHostWnd::Redraw(); }
    void ShowControl(int id, bool visible) override { SkinHostWnd::ShowControl(id, visible); }
    void SetCheckProgress(int value) override { SetProgress(kCtlCheckProgress, value); }
    int CheckProgress() override;
    void DeleteAllRows() override;
    int AppendRow(const std::string& markup) override;
    void SetRowSkin(int kind, int row, int slot, const std::string& skin) override;
    bool OpenSettingsDialog() override;
    bool ServerAddressPending() override { return m_lookupPending; }
    // With a collector in local.ini, the run's rows and the last speed
    // figures are posted to it in the background.
    void OnCheckFinished(const std::vector<CheckItem>& rows) override;

    // --- NetworkTabView (Window, ShowControl and Redraw as above) ---
    void SetProgress(int id, int percent) override { SkinHostWnd::SetProgress(id, percent); }
    void SetText(int id, const std::string& text) override;
    const NetworkTestState& NetworkState() const { return m_netState; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnEngineNotify(const SkinEngine::SkinNotify& notify) override;

private:
    void OnClick(int id);
    void OnTrayNotify(UINT mouseMessage);
    // The close prompt, then what it chose: end, hide to the tray, or nothing.
    void AskAndClose();
    // Button 21: the standard file dialog, then the upload of the chosen file.
    void ChooseAndUpload();
    // Button 15: the test page in the browser pane, shown.
    void OpenInternetTest();
    // Page 1 as it opens: the introduction and the connection texts.
    void ShowNetworkIntroduction();
    void OnAddressLookup(std::unique_ptr<AddressLookup> lookup);
    CMyListBox* List() const;
    // A dialog (settings, close prompt) is open over the window while one lives.
    struct ModalScope {
        explicit ModalScope(CMainDlg& window) : m_window(window) { m_window.m_modalOpen = true; }
        ~ModalScope() { m_window.m_modalOpen = false; }
        CMainDlg& m_window;
    };
    void AfterModal();

    const SkinEngine::ResourcePools* m_pools = nullptr;
    CheckPage m_page;
    NetworkTestState m_netState;
    DownloadSpeedTest m_download{*this, m_netState};
    UploadSpeedTest m_upload{*this, m_netState};
    int m_currentTab = 0;
    bool m_lookupPending = false;  // the server IP is not known yet
    bool m_modalOpen = false;
    bool m_addressKnownDuringModal = false;  // a waiting check is to be told
};

// Main-window controls besides the check page's.
enum MainWindowControl {
    kCtlClose = 1,
    kCtlMaximize = 2,
    kCtlRestore = 3,
    kCtlMinimize = 4,
    kCtlSettings = 5,
    kCtlTabCheck = 6,
    kCtlTabNetwork = 7,
    kCtlTabCache = 8,
    kCtlCleanCache = 23,
    kCtlPages = 103,
};
const unsigned kTrayMenuDocument = 602;
