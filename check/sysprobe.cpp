#include "check/sysprobe.h"

#include "base/sysinfo.h"
#include "base/textconv.h"
#include "check/checkitem.h"
#include "net/address.h"

#include <cpuid.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

void SetTexts(CheckItem& item, int kind, int profile)
{
    bool english = EnglishUI();
    item.kind = kind;
    item.title = CheckItemTitle(kind, english);
    item.optimal = OptimalText(kind, profile, english);
}

} // namespace

void ReadCpuBrand(char* brand)
{
    memset(brand, 0, kCpuBrandSize);
    // Processors without the extended leaves report a lower maximum here;
    // their name stays empty.
    if (__get_cpuid_max(0x80000000, nullptr) < 0x80000004) return;
    for (unsigned int leaf = 0; leaf < 3; ++leaf) {
        unsigned int regs[4] = {};
        __cpuid(0x80000002 + leaf, regs[0], regs[1], regs[2], regs[3]);
        memcpy(brand + 16 * leaf, regs, sizeof regs);
    }
    brand[kCpuBrandSize - 1] = '\0';
}

std::string DescribeCpu(const char* brand, unsigned long processors)
{
    std::string text(brand, strnlen(brand, kCpuBrandSize - 1));
    char count[24];
    snprintf(count, sizeof count, "(%d)", static_cast<int>(processors));
    return text + count;
}

unsigned int WholeMegabytes(unsigned long long bytes)
{
    return static_cast<unsigned int>(bytes >> 20);
}

std::string DescribeMemory(unsigned long long totalBytes, unsigned long long availableBytes,
                           bool english)
{
    const char* physical = english ? "Physical" : "物理内存";
    const char* available = english ? "Available" : "可用内存";
    char text[128];
    int used = snprintf(text, sizeof text, "[%s:%uMB", physical, WholeMegabytes(totalBytes));
    if (used < 0 || used >= static_cast<int>(sizeof text)) used = sizeof text - 1;
    snprintf(text + used, sizeof text - used, ";%s:%uMB]", available, WholeMegabytes(availableBytes));
    return text;
}

int CheckCpu(CheckItem& item, int profile)
{
    SetTexts(item, kItemCpu, profile);
    item.installed = 1;

    char brand[kCpuBrandSize];
    ReadCpuBrand(brand);
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    item.description = DescribeCpu(brand, system.dwNumberOfProcessors);
    return 1;
}

int CheckMemory(CheckItem& item, int profile)
{
    SetTexts(item, kItemMemory, profile);
    item.installed = 1;

    // Zeroed first: should the call fail, the row shows 0MB rather than
    // whatever the stack held.
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    item.description = DescribeMemory(status.ullTotalPhys, status.ullAvailPhys, EnglishUI());
    return 1;
}

int CheckServicePack(OSProbe& probe, CheckItem& item)
{
    SetTexts(item, kItemServicePack, probe.profile);

    if (!probe.versionRead) {
        OSVERSIONINFOEXW version = {};
        version.dwOSVersionInfoSize = sizeof version;
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return 0;
        version.szCSDVersion[sizeof version.szCSDVersion / sizeof(wchar_t) - 1] = L'\0';
        probe.servicePack = WideToAnsi(version.szCSDVersion);
        probe.versionRead = 1;
    }

    item.description = probe.servicePack;
    item.installed = probe.servicePack.empty() ? 0 : 1;
    return 1;
}

bool IsServerConnetced(const char* host, uint16_t port, CheckItem& row)
{
    bool english = EnglishUI();
    row.kind = kItemConnectivity;
    row.title = CheckItemTitle(kItemConnectivity, english);
    row.description = CheckItemDescription(kItemConnectivity, english);
    row.installed = 1;
    bool connected = ConnectToServer(host, port);
    row.state = connected ? kStatePassed : kStateFailed;
    return connected;
}
