#pragma once
// The client check: the nine checks in their fixed order, each record
// handed to a reporter as soon as it is finished.
#include "check/checkitem.h"

const int kCheckItemCount = 9;

// Receives the run's records. The main window turns them into rows; the
// console runner prints them; tests record them.
class CheckReporter {
public:
    virtual ~CheckReporter() = default;
    // The record stays untouched by the run until this returns.
    virtual void OnCheckRow(CheckItem& item) = 0;
    virtual void OnCheckDone() = 0;
};

// Runs the whole check on the calling thread. An unreachable server ends
// the run after the connectivity record; a browser that fails its check
// leaves out the browser-settings and patch records.
void RunClientCheck(CheckItem (&items)[kCheckItemCount], CheckReporter& reporter);
