#pragma once
// The print and report components the web application needs: the check of
// the system folder against the component table.
#include "base/settings.h"
#include "check/checkitem.h"

#include <map>
#include <string>
#include <vector>

// 1 when every component of `table` is present, else 0.
// `signers`: whose signatures the components may carry (none named: any).
int CheckComponents(const ComponentTable& table, CheckItem& item, int profile,
                    const std::vector<std::string>& signers = {});

// One entry per table component, in table order: the table's record, with
// `text` the component's file name and `state` 1 when the component is
// present and new enough.
struct ComponentList {
    std::vector<ComponentInfo> entries;
    std::string systemFolder;
};

// The table's components, each examined by CheckComponentFile.
ComponentList BuildComponentList(const ComponentTable& table, const std::vector<std::string>& signers = {});

// Sets the entry's state from the file and the version the entry lists; a
// present library new enough is registered.
// A library not signed by one of `signers` (when any are named) is never
// loaded and counts as missing.
void CheckComponentFile(ComponentInfo& entry, const std::string& systemFolder,
                        const std::vector<std::string>& signers = {});

struct ModuleVersion {
    unsigned major = 0, minor = 0, build = 0, revision = 0;
};

// The version resource of a library file; 0.0.0.0 without one, or when it
// does not describe a Windows DLL or static library.
ModuleVersion ReadModuleVersion(const std::string& path);

// Component names come from the server's list and end up in file paths and
// in a command line: only a plain file name without shell specials is used.
bool IsUsableComponentName(const std::string& name);

const char* const kComponentFolder = "DownLoad/ThirdParty";
