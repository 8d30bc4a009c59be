#pragma once
// The client check: the nine checks in their fixed order, each record
// handed to a reporter as soon as it is finished.
#include "base/settings.h"
#include "base/sysinfo.h"
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

// What a run reads, copied when it starts: a run on a worker never reads
// settings the window may change meanwhile (a saved settings dialog), and
// what its probes learn about the system goes into its own copy.
struct CheckInputs {
    ServerSettings server;
    ComponentTable components;
    SystemInfo system;
};
// The current settings, component table and system facts; on the window's
// thread.
CheckInputs CurrentCheckInputs();

// Runs the whole check on the calling thread, which uses a copy of
// `inputs.system` as its system facts meanwhile. An unreachable server ends
// the run after the connectivity record; a browser that fails its check
// leaves out the browser-settings and patch records.
void RunClientCheck(const CheckInputs& inputs, CheckItem (&items)[kCheckItemCount], CheckReporter& reporter);
