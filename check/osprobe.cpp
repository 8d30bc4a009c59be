#include "check/osprobe.h"

#include "base/log.h"
#include "base/textconv.h"
#include "check/checkitem.h"

#include <string.h>

namespace {

const wchar_t* ProductEdition(DWORD type)
{
    switch (type) {
    case 1: return L"Ultimate Edition";
    case 2: return L"Home Basic Edition";
    case 3: return L"Home Premium Edition";
    case 4:
    case 10: return L"Enterprise Edition";
    case 6: return L"Business Edition";
    case 7: return L"Standard Edition";
    case 8: return L"Datacenter Edition";
    case 9: return L"Small Business Server";
    case 11: return L"Starter Edition";
    case 12: return L"Datacenter Edition (core installation)";
    case 13: return L"Standard Edition (core installation)";
    case 14: return L"Enterprise Edition (core installation)";
    case 15: return L"Enterprise Edition for Itanium-based Systems";
    case 17: return L"Web Server Edition";
    case 18: return L"Cluster Server Edition";
    case 25: return L"Small Business Server Premium Edition";
    case 48: return L"Professional";
    default: return L"";
    }
}

void SetArchitecture(SystemInfo* info, const char* text)
{
    strcpy(info->architecture, text);
}

// Windows Server 2003 family editions; returns whether one was appended.
bool AppendServer2003Edition(WORD arch, WORD suite, SystemInfo* info, std::wstring* name)
{
    if (arch == PROCESSOR_ARCHITECTURE_IA64) {
        if (suite & VER_SUITE_DATACENTER) *name += L"Datacenter Edition for Itanium-based Systems";
        else if (suite & VER_SUITE_ENTERPRISE) *name += L"Enterprise Edition for Itanium-based Systems";
        else return false;
        return true;
    }
    if (arch == PROCESSOR_ARCHITECTURE_AMD64) {
        if (suite & VER_SUITE_DATACENTER) *name += L"Datacenter x64 Edition";
        else if (suite & VER_SUITE_ENTERPRISE) *name += L"Enterprise x64 Edition";
        else *name += L"Standard x64 Edition";
        SetArchitecture(info, "X64");
        return true;
    }
    if (suite & 0x4000) *name += L"Compute Cluster Edition";
    else if (suite & VER_SUITE_DATACENTER) *name += L"Datacenter Edition";
    else if (suite & VER_SUITE_ENTERPRISE) *name += L"Enterprise Edition";
    else if (suite & VER_SUITE_BLADE) *name += L"Web Edition";
    else *name += L"Standard Edition";
    return true;
}

} // namespace

bool DescribeOperatingSystem(const OSFacts& facts, SystemInfo* info, std::wstring* name,
                             std::string* servicePack)
{
    const OSVERSIONINFOEXW& v = facts.version;
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT || v.dwMajorVersion <= 4) {
        *name = L"未知windows操作系统";
        info->unknownOS = 1;
        return false;
    }

    const bool workstation = v.wProductType == VER_NT_WORKSTATION;
    const WORD suite = v.wSuiteMask;
    *name = L"Microsoft ";

    if (v.dwMajorVersion == 6) {
        if (v.dwMinorVersion == 0) {
            if (workstation) { *name += L"Windows Vista "; info->windowsVista = 1; }
            else { *name += L"Windows Server 2008 "; info->server2008 = 1; }
        } else if (v.dwMinorVersion == 1) {
            if (workstation) { *name += L"Windows 7 "; info->windows7 = 1; }
            else { *name += L"Windows Server 2008 R2 "; info->server2008 = 1; }
        } else if (v.dwMinorVersion == 2) {
            if (workstation) { *name += L"Windows 8 "; info->windows8 = 1; }
            else { *name += L"Windows Server 2012 "; info->server2012 = 1; }
        } else if (v.dwMinorVersion == 3) {
            if (workstation) { *name += L"Windows 8.1 "; info->windows8 = 1; }
            else { *name += L"Windows Server 2012 R2 "; info->server2012 = 1; }
        }
        if (facts.haveProductInfo) *name += ProductEdition(facts.productType);
    }

    // Windows 10 and everything since answer 10.0: the build tells them
    // apart. The flags are those of the nearest system the rest of the
    // program knows: a workstation's installer choice is Windows 8's, and a
    // server's trusted sites also go to the enhanced-security zone map.
    if (v.dwMajorVersion == 10) {
        if (workstation) {
            *name += v.dwBuildNumber >= 22000 ? L"Windows 11 " : L"Windows 10 ";
            info->windows8 = 1;
        } else {
            *name += v.dwBuildNumber >= 20348   ? L"Windows Server 2022 "
                     : v.dwBuildNumber >= 17763 ? L"Windows Server 2019 "
                                                : L"Windows Server 2016 ";
            info->server2012 = 1;
        }
        if (facts.haveProductInfo) *name += ProductEdition(facts.productType);
    }

    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2) {
        bool xp64 = false;
        if (facts.serverR2) *name += L"Windows Server 2003 R2, ";
        else if (suite & VER_SUITE_STORAGE_SERVER) *name += L"Windows Storage Server 2003";
        else if (suite & 0x8000) *name += L"Windows Home Server";
        else if (workstation && facts.architecture == PROCESSOR_ARCHITECTURE_AMD64) {
            *name += L"Windows XP Professional x64 Edition";
            info->windowsXP = 1;
            SetArchitecture(info, "X64");
            xp64 = true;
        } else *name += L"Windows Server 2003, ";

        if (!xp64) {
            info->server2003 = 1;
            if (!workstation && AppendServer2003Edition(facts.architecture, suite, info, name))
                info->serverEdition = 1;
        }
    }

    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) {
        *name += L"Windows XP ";
        *name += (suite & VER_SUITE_PERSONAL) ? L"Home Edition" : L"Professional";
        info->windowsXP = 1;
    }

    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) {
        *name += L"Windows 2000 ";
        if (workstation) *name += L"Professional";
        else if (suite & VER_SUITE_DATACENTER) *name += L"Datacenter Server";
        else if (suite & VER_SUITE_ENTERPRISE) *name += L"Advanced Server";
        else *name += L"Server";
        info->windows2000 = 1;
    }

    if (v.szCSDVersion[0]) *servicePack = WideToAnsi(v.szCSDVersion);

    if (v.dwMajorVersion > 5) {
        if (facts.architecture == PROCESSOR_ARCHITECTURE_AMD64) {
            *name += L", 64-bit";
            SetArchitecture(info, "X64");
        } else if (facts.architecture == PROCESSOR_ARCHITECTURE_INTEL) {
            *name += L", 32-bit";
            SetArchitecture(info, "X86");
        }
    }
    return true;
}

bool ReadOSFacts(OSFacts* out)
{
    OSFacts facts = {};
    facts.version.dwOSVersionInfoSize = sizeof facts.version;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&facts.version))) return false;

    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SYSTEM_INFO system = {};
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    auto nativeInfo = reinterpret_cast<NativeInfoFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
    if (nativeInfo) nativeInfo(&system);
    else GetSystemInfo(&system);
    facts.architecture = system.wProcessorArchitecture;

    typedef BOOL(WINAPI * ProductInfoFn)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    auto productInfo = reinterpret_cast<ProductInfoFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetProductInfo")));
    if (productInfo && facts.version.dwMajorVersion >= 6) {
        facts.haveProductInfo = true;
        productInfo(facts.version.dwMajorVersion, facts.version.dwMinorVersion, 0, 0,
                    &facts.productType);
    }
    facts.serverR2 = GetSystemMetrics(SM_SERVERR2);
    *out = facts;
    return true;
}

bool GetOSDisplayName(OSProbe& probe, wchar_t* buffer)
{
    OSFacts facts;
    if (!ReadOSFacts(&facts)) return false;
    std::wstring name;
    SystemInfo* info = &CurrentSystemInfo();
    bool known = DescribeOperatingSystem(facts, info, &name, &probe.servicePack);
    wcsncpy(buffer, name.c_str(), kOSNameSize - 1);
    buffer[kOSNameSize - 1] = L'\0';
    if (known) probe.versionRead = 1;
    return known;
}

void ProbeInterfaceLanguage(SystemInfo* info, LANGID language)
{
    int primary = language & 0x3FF;
    int sub = language >> 10;
    if (primary == LANG_ENGLISH) {
        info->englishUI = 1;
        WriteLog("Operate system Language English\r\n");
    } else if (primary == LANG_CHINESE && sub == 2) {
        info->simplifiedChineseUI = 1;
        WriteLog("Operate system Language simple Chinese\r\n");
    } else if (primary == LANG_CHINESE && sub == 1) {
        info->traditionalChineseUI = 1;
        WriteLog("Operate system Language traditional Chinese\r\n");
    }
}

int CheckOperatingSystem(OSProbe& probe, CheckItem& item)
{
    SystemInfo* info = &CurrentSystemInfo();
    item.kind = kItemOperatingSystem;
    item.installed = 1;
    item.title = CheckItemTitle(kItemOperatingSystem, info->englishUI != 0);
    item.optimal = OptimalText(kItemOperatingSystem, probe.profile, info->englishUI != 0);

    // On the stack: the start-up probe and a check run's thread each get
    // their own.
    wchar_t name[kOSNameSize];
    wmemset(name, 0, kOSNameSize);
    if (!GetOSDisplayName(probe, name)) return 0;

    ProbeInterfaceLanguage(info, GetUserDefaultUILanguage());
    item.description = WideToAnsi(name);
    return 1;
}

void ProbeSystemInfo()
{
    OSProbe probe;
    CheckItem scratch;
    CheckOperatingSystem(probe, scratch);
}
