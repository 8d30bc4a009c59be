#pragma once
// The browser-version row's repair (download, then the silent install) and
// the patch row's notice.
#include "pages/repair.h"
#include "net/download.h"

#include <windows.h>

#include <functional>
#include <string>

// The browser-version row's repair. The page owns one; it keeps the
// installer download in flight and the outcome of the last download.
class BrowserUpgrade {
public:
    BrowserUpgrade(RepairView& view, RepairOwner& owner);
    ~BrowserUpgrade();
    BrowserUpgrade(const BrowserUpgrade&) = delete;
    BrowserUpgrade& operator=(const BrowserUpgrade&) = delete;

    // 0 when a download was started, -1 otherwise.
    int UpgradeBrowser(const RowRef& row);
    // A kind-5 WM_DOWNLOAD_PROGRESS record; the caller still owns it.
    // False for records of other kinds.
    bool OnInstallerDownloadProgress(const DownloadProgress& record);

    bool Downloading() const { return m_job != nullptr; }
    // Downloading or installing.
    bool Busy() const { return m_job != nullptr || m_installing; }
    // The downloaded installer is running (on a thread of its own).
    bool Installing() const { return m_installing; }
    int InstallerDownloadOk() const { return m_installerDownloadOk; }

private:
    // The row's outcome once the installer has run (or the download failed).
    void FinishUpgrade(const std::string& path, DWORD installerResult);
    // The status text of the row, while it is shown.
    void SetStatus(const char* text);

    RepairView& m_view;
    RepairOwner& m_owner;
    RowRef m_row;
    DownloadJob* m_job = nullptr;
    int m_installerDownloadOk = 0;
    bool m_installing = false;
};

// The patch row's watch button: names the missing patch, then opens the
// vendor's download search for it.
void ShowPatchNotice();
extern const char* const kPatchPageUrl;

// How ShowPatchNotice opens the page: the verb, file and show command of
// ShellExecuteW. Tests record it; an empty function restores ShellExecuteW.
using PageOpener = std::function<void(const wchar_t* verb, const wchar_t* file, int show)>;
void SetPatchPageOpener(PageOpener opener);
