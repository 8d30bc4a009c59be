#pragma once
// The components row's repair: downloads what is missing or outdated and
// installs it into the system folder.
#include "check/components.h"
#include "pages/repair.h"
#include "net/download.h"

#include <map>
#include <string>

// The component repair of the check tab's kind-8 row. The page owns one and
// hands it every kind-8 WM_DOWNLOAD_PROGRESS record; everything here runs
// on the window's thread.
class ComponentRepair {
public:
    ComponentRepair(RepairView& view, RepairOwner& owner) : m_view(view), m_owner(owner) {}

    // Downloads every missing or outdated component into the download
    // folder; the files are installed as their downloads end, and the last
    // one ends the repair of `row`. Returns 0.
    int OnDownAndRegThirdParty(const RowRef& row);

    // A kind-8 progress record; only done records count. The caller frees it.
    void OnComponentDownloadDone(const DownloadProgress& record);

    // Downloads are in flight.
    bool Busy() const { return !m_pending.empty(); }
    int componentsOk() const { return m_componentsOk; }
    // Local path -> component name of the downloads not yet finished.
    const std::map<std::string, std::string>& pending() const { return m_pending; }

private:
    void InstallDownloaded(const std::string& localPath);

    RepairView& m_view;
    RepairOwner& m_owner;
    RowRef m_row;  // the row the last start was for: the downloads end it
    int m_componentsOk = 1;
    int m_refused = 0;  // kRowHashMismatch or kRowSignatureRefused: a download of this repair was not taken
    std::map<std::string, std::string> m_pending;
};
