#include "check/checkrun.h"

#include "base/settings.h"
#include "base/sysinfo.h"
#include "browser/iesettings.h"
#include "browser/shortcut.h"
#include "browser/trustsites.h"
#include "check/browserprobe.h"
#include "check/checkitem.h"
#include "check/components.h"
#include "check/osprobe.h"
#include "check/sysprobe.h"
#include "net/address.h"

#include <objbase.h>

namespace {

void Report(CheckReporter& reporter, CheckItem& item, int progress, int row)
{
    item.progress = progress;
    item.row = row;
    reporter.OnCheckRow(item);
}

void TrustTheServer(const ServerSettings& settings)
{
    const SystemInfo& info = CurrentSystemInfo();
    const std::string& server = settings.serverAddr;
    if (info.server2003 || info.server2012) AddTrustSites(server, kZoneMapEscRanges, kZoneMapEscDomains);
    AddTrustSites(server, kZoneMapRanges, kZoneMapDomains);
}

void PutLoginShortcut(const ServerSettings& server)
{
    if (FAILED(CoInitialize(nullptr))) return;
    CreateLoginShortcut(server);
    CoUninitialize();
}

} // namespace

CheckInputs CurrentCheckInputs()
{
    return CheckInputs{g_serverSettings, g_componentTable, CurrentSystemInfo()};
}

void RunClientCheck(const CheckInputs& inputs, CheckItem (&items)[kCheckItemCount], CheckReporter& reporter)
{
    const ServerSettings& server = inputs.server;
    SystemInfo system = inputs.system;
    ThreadSystemInfo useOwnCopy(system);
    for (CheckItem& item : items) item = CheckItem();

    CheckCpu(items[0], kCheckProfile);
    Report(reporter, items[0], 11, 0);

    bool reachable = IsServerConnetced(server.serverIp.c_str(), server.serverPort, items[1]);
    Report(reporter, items[1], 22, 1);
    if (!reachable) {
        Sleep(100);
        reporter.OnCheckDone();
        return;
    }

    CheckMemory(items[2], kCheckProfile);
    Report(reporter, items[2], 33, 2);

    OSProbe probe;
    CheckOperatingSystem(probe, items[3]);
    Report(reporter, items[3], 44, 3);
    CheckServicePack(probe, items[4]);
    Report(reporter, items[4], 55, 4);

    TrustTheServer(server);
    PutLoginShortcut(server);

    CheckBrowserVersion(items[5], kCheckProfile);
    Report(reporter, items[5], 66, 5);

    int componentsAt = 8;
    if (items[5].state != kStateFailed) {
        CheckIESetting(items[6]);
        Report(reporter, items[6], 77, 6);
        CheckPatch(items[7], kCheckProfile);
        Report(reporter, items[7], 88, 7);
    } else {
        // Without a usable browser its settings and patch are not judged:
        // the components take the next row.
        componentsAt = 6;
    }
    CheckComponents(inputs.components, items[componentsAt], kCheckProfile, server.componentSigners);
    Report(reporter, items[componentsAt], 100, componentsAt);

    reporter.OnCheckDone();
}
