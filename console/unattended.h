#pragma once
// The unattended check and repair of PylonixCheck.exe --repair, for IT staff:
// the client check, the one-click repair of every failed row that needs no
// person (browser settings, components; the browser upgrade only when asked
// for), a wait for its downloads and registrations, and the check again.
// No window is shown and nothing waits on a person.
#include "check/checkitem.h"

#include <windows.h>

#include <vector>

struct UnattendedRun {
    struct Repair {
        int kind;
        int row;
        int result;  // RowResult
    };
    std::vector<CheckItem> before;
    std::vector<Repair> repairs;  // in the order they ended
    std::vector<CheckItem> after;
};

enum UnattendedExit {
    kUnattendedAllPassed = 0,
    kUnattendedStillFailing = 1,
    kUnattendedNotRun = 3,
};

// Runs everything on this thread's message loop; `run` gets both checks'
// records. `timeoutMs` bounds each of the three waits.
int RunUnattendedRepair(bool upgradeBrowser, UnattendedRun* run, DWORD timeoutMs = 30 * 60 * 1000);
