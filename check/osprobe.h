#pragma once
// Operating-system and interface-language probe.
#include "base/sysinfo.h"
#include "check/checkitem.h"

#include <windows.h>

#include <string>

struct OSProbe {
    std::string servicePack;
    int profile = 1;
    int versionRead = 0;
};

// Everything the operating-system name depends on, so that the decision can
// be tested with synthetic records.
struct OSFacts {
    OSVERSIONINFOEXW version;
    WORD architecture;        // PROCESSOR_ARCHITECTURE_*
    bool haveProductInfo;
    DWORD productType;        // from GetProductInfo
    int serverR2;             // GetSystemMetrics(SM_SERVERR2)
};

const size_t kOSNameSize = 1024;

// The live facts. The calls newer than XP (GetNativeSystemInfo,
// GetProductInfo) are looked up at run time. False when the version cannot
// be read.
bool ReadOSFacts(OSFacts* facts);

// Works out the display name and sets the family flags and architecture in
// `info`. False (name "未知windows操作系统", unknownOS set) for systems older
// than Windows 2000 or outside the NT family.
bool DescribeOperatingSystem(const OSFacts& facts, SystemInfo* info, std::wstring* name,
                             std::string* servicePack);

// Reads the live facts and describes them into `buffer` (kOSNameSize
// characters), updating the application's SystemInfo.
bool GetOSDisplayName(OSProbe& probe, wchar_t* buffer);

// Sets the language flags from GetUserDefaultUILanguage, logging the choice.
void ProbeInterfaceLanguage(SystemInfo* info, LANGID language);

// Fills the operating-system row; 0 when the name cannot be worked out.
int CheckOperatingSystem(OSProbe& probe, CheckItem& item);

// The start-up probe: fills the system-information record (family,
// architecture, interface language) before anything reads it, local.inf's
// folder and the rows' language among them. The row itself is dropped.
void ProbeSystemInfo();
