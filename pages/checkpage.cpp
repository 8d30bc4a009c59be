#include "pages/checkpage.h"

#include "base/log.h"
#include "base/settings.h"
#include "base/worker.h"
#include "browser/iesettings.h"
#include "pages/checkrow.h"
#include "net/address.h"

namespace {

class WindowReporter : public CheckReporter {
public:
    WindowReporter(HWND window, LPARAM run) : m_window(window), m_run(run) {}
    void OnCheckRow(CheckItem& item) override
    {
        SendMessageW(m_window, WM_CHECK_ROW, reinterpret_cast<WPARAM>(&item), m_run);
    }
    void OnCheckDone() override { SendMessageW(m_window, WM_CHECK_DONE, 0, m_run); }

private:
    HWND m_window;
    LPARAM m_run;
};

}  // namespace

unsigned __stdcall CheckThread(void* param)
{
    auto* job = static_cast<CheckRunJob*>(param);
    WindowReporter reporter(job->window, job->run);
    RunClientCheck(job->inputs, job->items, reporter);
    delete job;
    return 0;
}

CheckPage::CheckPage(CheckPageView& view)
    : m_view(view), m_components(view, *this), m_upgrade(view, *this)
{
}

void CheckPage::StartClientCheck()
{
    if (WaitForAddress()) return;
    const ServerSettings& server = g_serverSettings;
    if (!IsAddress(server.serverIp.c_str()) || server.serverPort == 0 || server.serverPort == 65535) {
        if (!m_view.OpenSettingsDialog()) return;
        // A new server was saved: the run needs its IP and waits for it.
        if (WaitForAddress()) return;
    }
    m_view.ShowControl(kCtlStartCheck, false);
    for (int id = kCtlIntroFirst; id <= kCtlIntroLast; ++id) m_view.ShowControl(id, false);
    m_view.ShowControl(kCtlCheckProgress, true);
    m_view.SetCheckProgress(0);
    m_view.ShowControl(kCtlCheckList, true);
    m_view.DeleteAllRows();
    m_view.ShowControl(kCtlRepairAll, false);
    for (int id : {kCtlStopCheck, kCtlListSeparator, kCtlListHeadings, kCtlCheckingAnimation})
        m_view.ShowControl(id, true);
    m_view.Redraw();

    for (CheckItem& item : m_items) item = CheckItem();
    m_rowOfKind.clear();
    // Each run has a number and a record table of its own: a stopped run's
    // thread may still be writing its records, and its late messages name
    // their run, so nothing of it reaches this one.
    auto* job = new CheckRunJob{m_view.Window(), ++m_run, CurrentCheckInputs(), {}};
    m_checkRunning = true;
    m_runStarted = GetTickCount();
    WriteLog("check run %ld started\r\n", static_cast<long>(m_run));
    if (!StartWorker(CheckThread, job)) {
        WriteLog("StartClientCheck: the check thread did not start\r\n");
        delete job;
        OnCheckDone(m_run);
    }
}

bool CheckPage::WaitForAddress()
{
    if (!m_view.ServerAddressPending()) return false;
    // The run needs the server's IP: it starts when the lookup answers.
    m_waitingForAddress = true;
    m_view.ShowControl(kCtlStartCheck, false);
    m_view.ShowControl(kCtlCheckingAnimation, true);
    m_view.Redraw();
    return true;
}

void CheckPage::OnServerAddressKnown()
{
    if (!m_waitingForAddress) return;
    m_waitingForAddress = false;
    StartClientCheck();
}

void CheckPage::StopCheck()
{
    if (m_checkRunning)
        WriteLog("check run %ld stopped after %d rows, progress %d\r\n", static_cast<long>(m_run), m_view.RowCount(),
                 m_view.CheckProgress());
    m_checkRunning = false;
    m_view.ShowControl(kCtlCheckingAnimation, false);
    m_view.ShowControl(kCtlStopCheck, false);
    m_view.ShowControl(kCtlRepairAll, true);
    m_view.Redraw();
}

LRESULT CheckPage::OnCheckRow(const CheckItem* item, LPARAM run)
{
    if (!item) return -1;
    if (!m_checkRunning || run != m_run) return 0;
    if (item->row < 0 || item->row >= kCheckItemCount || m_rowOfKind.count(item->kind)) return 0;
    const int row = m_view.AppendRow(BuildCheckRowMarkup(*item));
    if (row >= 0 && row < kCheckItemCount) {
        m_items[row] = *item;
        m_rowOfKind[item->kind] = row;
    }
    if (row >= 0 && RowControlId(item->kind, kSlotProgressBar) >= 0)
        m_view.ShowRowControl(item->kind, row, kSlotProgressBar, false);
    // The bar walks up to the record's progress, a unit at a time.
    const int target = item->progress;
    for (int value = m_view.CheckProgress(); value < target && value < 100;) {
        m_view.SetCheckProgress(++value);
        m_view.Redraw();
    }
    return 0;
}

LRESULT CheckPage::OnCheckDone(LPARAM run)
{
    if (run != m_run || !m_checkRunning) {
        // A stopped run's thread ending later: its rows were dropped.
        WriteLog("check run %ld: its thread ended after the stop\r\n", static_cast<long>(run));
        return 0;
    }
    WriteLog("check run %ld ended after %lu ms: %d rows (%s), progress %d\r\n", static_cast<long>(m_run),
             GetTickCount() - m_runStarted, m_view.RowCount(), RowStates().c_str(), m_view.CheckProgress());
    m_checkRunning = false;
    StopCheck();
    m_view.OnCheckFinished(std::vector<CheckItem>(m_items, m_items + std::min(m_view.RowCount(), kCheckItemCount)));
    return 0;
}

void CheckPage::RepairAll(const RepairChoice& choice)
{
    m_view.ShowControl(kCtlRepairAll, false);
    m_view.ShowControl(kCtlCheckingAnimation, true);
    m_view.Redraw();
    // Downloads of an earlier repair may still be in flight: they count on.
    // A new run for another server replaces the rows, so it comes last.
    bool askForServer = false;
    for (const auto& shown : std::map<int, int>(m_rowOfKind)) {
        const RowRef ref{m_run, shown.first};
        if (m_items[shown.second].state != kStateFailed) continue;
        switch (ref.kind) {
        case kItemBrowserVersion:
            if (choice.upgradeBrowser) m_upgrade.UpgradeBrowser(ref);
            break;
        case kItemBrowserSettings: RepairBrowserSettings(ref); break;
        case kItemConnectivity: askForServer = choice.askForServer; break;
        case kItemComponents: m_components.OnDownAndRegThirdParty(ref); break;
        default: break;
        }
    }
    if (askForServer && m_view.OpenSettingsDialog()) StartClientCheck();
    ShowIdleWhenDone();
}

LRESULT CheckPage::OnRowButton(int id, const std::string& name, int row)
{
    (void)row;  // the row of a kind is found by its run, not by the click
    const bool repair = name == ActionSkin(kStateFailed);
    if (id == RowControlId(kItemBrowserVersion, kSlotActionButton) && repair)
        return m_upgrade.UpgradeBrowser({m_run, kItemBrowserVersion});
    if (id == RowControlId(kItemBrowserSettings, kSlotActionButton) && repair)
        return RepairBrowserSettings({m_run, kItemBrowserSettings});
    if (id == RowControlId(kItemConnectivity, kSlotActionButton) && repair) {
        if (m_view.OpenSettingsDialog()) StartClientCheck();
        return 0;
    }
    if (id == RowControlId(kItemComponents, kSlotActionButton) && repair)
        return m_components.OnDownAndRegThirdParty({m_run, kItemComponents});
    if (id == RowControlId(kItemPatch, kSlotActionButton) && name == ActionSkin(kStateWarning)) ShowPatchNotice();
    return 0;
}

int CheckPage::RepairBrowserSettings(const RowRef& ref)
{
    const int row = RowOf(ref);
    if (row < 0) return 0;
    m_view.ShowRowControl(kItemBrowserSettings, row, kSlotActionButton, false);
    const bool changed = SetIESetting(g_serverSettings);
    RepairEnded(changed ? kRowSuccess : kRowNoChange, ref);
    return changed ? 1 : 0;
}

int CheckPage::RowOf(const RowRef& ref)
{
    if (ref.run != m_run) return -1;
    const auto shown = m_rowOfKind.find(ref.kind);
    if (shown == m_rowOfKind.end() || shown->second >= m_view.RowCount()) return -1;
    return shown->second;
}

void CheckPage::RepairStarted()
{
    m_view.ShowControl(kCtlCheckingAnimation, true);
    m_view.Redraw();
}

void CheckPage::RepairEnded(int result, const RowRef& ref)
{
    const int row = RowOf(ref);
    if (row >= 0) {
        SetRowResult(result, ref.kind, row);
    } else {
        WriteLog("check row of kind %d of run %ld repaired after its rows went: %s\r\n", ref.kind,
                 static_cast<long>(ref.run), RowResultName(result));
    }
    ShowIdleWhenDone();
}

void CheckPage::ShowIdleWhenDone()
{
    // The last repair ending gives the buttons back, unless a run has
    // started meanwhile: its stop button and animation stay.
    if (RepairsBusy() || m_checkRunning) return;
    m_view.ShowControl(kCtlCheckingAnimation, false);
    m_view.ShowControl(kCtlRepairAll, true);
    m_view.Redraw();
}

void CheckPage::SetRowResult(int result, int kind, int row)
{
    if (RowControlId(kind, kSlotStateIcon) < 0 || RowControlId(kind, kSlotActionButton) < 0) return;
    CheckItem& record = m_items[row];
    switch (result) {
    case kRowSuccess:
        m_view.SetRowSkin(kind, row, kSlotStateIcon, StateIconSkin(kStatePassed));
        m_view.ShowRowControl(kind, row, kSlotActionButton, false);
        record.state = kStatePassed;
        break;
    case kRowDownloadFailed:
    case kRowInstallFailed:
    case kRowHashMismatch:
    case kRowSignatureRefused:
        m_view.SetRowSkin(kind, row, kSlotStateIcon, StateIconSkin(kStateFailed));
        m_view.SetRowSkin(kind, row, kSlotActionButton, ActionSkin(kStateWarning));
        m_view.SetRowText(kind, row, kSlotStatusText, RowResultText(result));
        record.state = kStateFailed;
        break;
    default: break;
    }
    WriteLog("check row %d repaired: %s\r\n", row, RowResultName(result));
    m_view.OnRowRepaired(result, kind, row);
    m_view.Redraw();
}

void CheckPage::OnDownloadProgress(std::unique_ptr<DownloadProgress> record)
{
    if (!record) return;
    if (record->kind == kTransferComponent)
        m_components.OnComponentDownloadDone(*record);
    else if (record->kind == kTransferBrowserInstaller)
        m_upgrade.OnInstallerDownloadProgress(*record);
}

std::string CheckPage::RowStates() const
{
    std::string states;
    for (int i = 0; i < m_view.RowCount() && i < kCheckItemCount; ++i)
        states += m_items[i].state == kStatePassed ? 'P' : m_items[i].state == kStateFailed ? 'F' : 'W';
    return states;
}

void CheckPage::ShowIntroduction()
{
    if (m_checkRunning) return;
    for (int id : {kCtlCheckList, kCtlCheckProgress, kCtlRepairAll, kCtlStopCheck, kCtlListSeparator,
                   kCtlListHeadings, kCtlCheckingAnimation})
        m_view.ShowControl(id, false);
    m_view.ShowControl(kCtlStartCheck, true);
    for (int id = kCtlIntroFirst; id <= kCtlIntroLast; ++id) m_view.ShowControl(id, true);
    m_view.Redraw();
}
