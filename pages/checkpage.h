#pragma once
// The client-check tab's logic: starting and stopping a check run, the
// run's rows and its end, one-click repair, the row buttons and the rows'
// results. The main window owns one and implements its view; tests record
// the view. Everything here runs on the window's thread; the run itself
// works on a thread of its own and talks back by WM_CHECK_ROW/WM_CHECK_DONE.
#include "base/messages.h"
#include "check/checkrun.h"
#include "pages/browserupgrade.h"
#include "pages/componentrepair.h"

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Controls of the tab.
enum CheckPageControl {
    kCtlStartCheck = 9,
    kCtlRepairAll = 11,
    kCtlStopCheck = 13,
    kCtlCheckProgress = 1130,
    kCtlCheckList = 1131,
    kCtlIntroFirst = 1132,
    kCtlIntroLast = 1137,
    kCtlListSeparator = 1138,
    kCtlListHeadings = 1139,
    kCtlCheckingAnimation = 1140,
};

class CheckPageView : public RepairView {
public:
    virtual void ShowControl(int id, bool visible) = 0;
    // The overall progress bar 1130.
    virtual void SetCheckProgress(int value) = 0;
    virtual int CheckProgress() = 0;
    virtual void DeleteAllRows() = 0;
    // Appends a row from markup (active code page); its position, or -1.
    virtual int AppendRow(const std::string& markup) = 0;
    // A row control's skin; for the button also its name, which says what
    // a click on it means.
    virtual void SetRowSkin(int kind, int row, int slot, const std::string& skin) = 0;
    // The settings dialog, modal. False when the program is ending (a quit
    // arrived while it was open) or it could not be shown: nothing more
    // may start then. A saved new server makes ServerAddressPending() true.
    virtual bool OpenSettingsDialog() = 0;
    // The server's name is still being resolved on a worker.
    virtual bool ServerAddressPending() { return false; }
    // A repair's outcome has been put into its row.
    virtual void OnRowRepaired(int result, int kind, int row) {}
    // A run has ended (not stopped) with these rows.
    virtual void OnCheckFinished(const std::vector<CheckItem>& rows) {}
};

// What the one-click repair may do beyond the repairs that need nobody.
struct RepairChoice {
    bool upgradeBrowser = true;  // download and run the browser installer
    bool askForServer = true;    // an unreachable server opens the settings dialog
};

class CheckPage : public RepairOwner {
public:
    explicit CheckPage(CheckPageView& view);

    // Button 9 (and the connectivity row's repair): a new run; while the
    // server's address is being looked up, the run waits for it. An unusable
    // server opens the settings dialog first; the run starts after it (once
    // a new server's address is known), unless the program is ending.
    void StartClientCheck();
    // The lookup has answered: a waiting run starts.
    void OnServerAddressKnown();
    // Button 13: the run's rows stop; its thread runs on unseen.
    void StopCheck();
    // WM_CHECK_ROW: -1 for a null record, else 0.
    LRESULT OnCheckRow(const CheckItem* item, LPARAM run);
    LRESULT OnCheckDone(LPARAM run);
    // Button 11, or an unattended repair with a narrower choice.
    void RepairAll(const RepairChoice& choice = RepairChoice());
    // A click on row control `id` (notification 15), whose name is `name`.
    LRESULT OnRowButton(int id, const std::string& name, int row);
    // Repairs started by RepairAll or a row's button are still at work.
    bool RepairsBusy() const { return m_components.Busy() || m_upgrade.Busy(); }

    // --- RepairOwner ---
    int RowOf(const RowRef& ref) override;
    void RepairStarted() override;
    // Puts the outcome into the row and its record, while the row's run is
    // the one shown.
    void RepairEnded(int result, const RowRef& ref) override;
    // WM_DOWNLOAD_PROGRESS of the tab's repairs (components, the browser
    // installer); a record of another kind is dropped.
    void OnDownloadProgress(std::unique_ptr<DownloadProgress> record);
    // Showing the tab while no run is active puts the introduction back.
    void ShowIntroduction();

    bool CheckRunning() const { return m_checkRunning; }
    const CheckItem& Item(int index) const { return m_items[index]; }
    LPARAM CurrentRun() const { return m_run; }
    // One letter per row shown: P passed, F failed, W warning.
    std::string RowStates() const;

private:
    int RepairBrowserSettings(const RowRef& ref);
    void SetRowResult(int result, int kind, int row);
    // With no run and no repair at work, the one-click repair button and
    // not the animation.
    void ShowIdleWhenDone();

    // True when the server's address is still being looked up: the run is
    // put off until OnServerAddressKnown.
    bool WaitForAddress();

    CheckPageView& m_view;
    // The current run's records, by row position.
    CheckItem m_items[kCheckItemCount];
    std::map<int, int> m_rowOfKind;  // the current run's rows: kind -> position
    bool m_checkRunning = false;
    LPARAM m_run = 0;  // the number of the last run started
    bool m_waitingForAddress = false;
    DWORD m_runStarted = 0;
    ComponentRepair m_components;
    BrowserUpgrade m_upgrade;
};

// A run's thread: the check against `window`, its records its own. `param`
// is a CheckRunJob, freed at the end.
struct CheckRunJob {
    HWND window;
    LPARAM run;
    CheckInputs inputs;
    CheckItem items[kCheckItemCount];
};
unsigned __stdcall CheckThread(void* param);
