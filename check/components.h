#pragma once
// The print and report components the web application needs: the check of
// the system folder, and the repair that downloads and registers them.
#include "base/settings.h"
#include "check/checkitem.h"
#include "check/repair.h"
#include "net/download.h"

#include <map>
#include <string>
#include <vector>

// 1 when every component of `table` is present, else 0.
int CheckComponents(const ComponentTable& table, CheckItem& item, int profile);

// One entry per table component, in table order: the table's record, with
// `text` the component's file name and `state` 1 when the component is
// present and new enough.
struct ComponentList {
    std::vector<ComponentInfo> entries;
    std::string systemFolder;
};

// The table's components, each examined by CheckComponentFile.
ComponentList BuildComponentList(const ComponentTable& table);

// Sets the entry's state from the file and the version the entry lists; a
// present library new enough is registered.
void CheckComponentFile(ComponentInfo& entry, const std::string& systemFolder);

struct ModuleVersion {
    unsigned major = 0, minor = 0, build = 0, revision = 0;
};

// The version resource of a library file; 0.0.0.0 without one, or when it
// does not describe a Windows DLL or static library.
ModuleVersion ReadModuleVersion(const std::string& path);

// Component names come from the server's list and end up in file paths and
// in a command line: only a plain file name without shell specials is used.
bool IsUsableComponentName(const std::string& name);

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
    bool m_hashMismatch = false;  // a download of this repair was not the listed file
    std::map<std::string, std::string> m_pending;
};

const char* const kComponentFolder = "DownLoad/ThirdParty";
