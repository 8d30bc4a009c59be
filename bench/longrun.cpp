// Long runs: many client checks in a row (each on its own thread, as
// PylonixCheck.exe runs one), then many downloads through the download path,
// in one process, with the process's handle count and private bytes printed
// at the start, along the way and at the end. Reads local.ini beside itself
// like the program does.
//   longrun [CHECKS [DOWNLOADS]]      default 200 and 100
// Ends with "steady" (exit 0) when, after the first tenth of each run, the
// handles grew by at most 5 and the private bytes by at most 2%, else with
// "growing" (exit 1); 2 when the settings do not load.
#include "settings/config.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/startup.h"
#include "check/checkrun.h"
#include "check/osprobe.h"
#include "net/download.h"

#include <windows.h>

#include <process.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <functional>

namespace {

struct Figures {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

// Wine answers the process-information calls with zeros; then the handles
// are counted one by one and the private bytes summed over the committed
// private regions of the address space.
DWORD CountHandles()
{
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

SIZE_T CommittedPrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

Figures Now()
{
    Figures f;
    if (!GetProcessHandleCount(GetCurrentProcess(), &f.handles) || !f.handles) f.handles = CountHandles();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        f.privateBytes = memory.PrivateUsage;
    if (!f.privateBytes) f.privateBytes = CommittedPrivateBytes();
    return f;
}

void Print(const char* what, int done, const Figures& f)
{
    printf("%-9s %4d  handles %5lu  private %8lu KB\n", what, done, static_cast<unsigned long>(f.handles),
           static_cast<unsigned long>(f.privateBytes / 1024));
    fflush(stdout);
}

class Quiet : public CheckReporter {
public:
    void OnCheckRow(CheckItem&) override { ++rows; }
    void OnCheckDone() override {}
    int rows = 0;
};

struct CheckRun {
    Quiet reporter;
    CheckInputs inputs = CurrentCheckInputs();
    CheckItem items[kCheckItemCount];
};

unsigned __stdcall RunCheck(void* param)
{
    auto* run = static_cast<CheckRun*>(param);
    RunClientCheck(run->inputs, run->items, run->reporter);
    return 0;
}

// Runs `step` `count` times; true when the figures stayed flat after the
// first tenth (the caches and the first-use allocations).
bool Steady(const char* what, int count, const std::function<bool()>& step)
{
    Print(what, 0, Now());
    Figures settled;
    const int settleAfter = count / 10 > 0 ? count / 10 : 1;
    int failed = 0;
    for (int i = 1; i <= count; ++i) {
        if (!step()) ++failed;
        if (i == settleAfter) settled = Now();
        if (i % (count / 5 > 0 ? count / 5 : 1) == 0) Print(what, i, Now());
    }
    const Figures end = Now();
    const bool steady = end.handles <= settled.handles + 5 && end.privateBytes <= settled.privateBytes * 102 / 100;
    printf("%-9s %d runs, %d failed: handles %lu -> %lu, private %lu -> %lu KB after the first %d: %s\n", what,
           count, failed, static_cast<unsigned long>(settled.handles), static_cast<unsigned long>(end.handles),
           static_cast<unsigned long>(settled.privateBytes / 1024), static_cast<unsigned long>(end.privateBytes / 1024),
           settleAfter, steady ? "steady" : "growing");
    return steady;
}

}  // namespace

int main(int argc, char** argv)
{
    const int checks = argc > 1 ? atoi(argv[1]) : 200;
    const int downloads = argc > 2 ? atoi(argv[2]) : 100;

    SetUpProcess();
    SendMessageBoxesToStderr();
    MakeDirectories(DownloadFolder().c_str());
    ProbeSystemInfo();
    if (!LoadGlobelSetting() || !LoadComponentList()) {
        fprintf(stderr, "longrun: the settings could not be loaded\n");
        return 2;
    }

    const bool checksSteady = Steady("checks", checks, [] {
        CheckRun run;
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunCheck, &run, 0, nullptr));
        if (!thread) return false;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        return run.reporter.rows > 0;
    });

    const std::string url = ServerFileUrl(g_serverSettings, "DownLoad/ThirdParty", "local.inf");
    const std::string path = DownloadFolder() + "\\longrun.inf";
    const bool downloadsSteady = Steady("downloads", downloads, [&] {
        DownloadJob job;
        job.url = url;
        job.path = path;
        return DownloadFile(&job, url.c_str(), 1, 1, path.c_str()) == kDownloadOk;
    });
    DeleteFileA(path.c_str());
    return checksSteady && downloadsSteady ? 0 : 1;
}
