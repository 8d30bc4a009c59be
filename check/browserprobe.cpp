#include "check/browserprobe.h"

#include "base/log.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "browser/iesettings.h"
#include "browser/zonesettings.h"
#include "check/checkitem.h"

#include <objbase.h>
#include <wbemidl.h>

#include <stdlib.h>

std::string g_browserMajorVersion;

namespace {

// A value's reported size (bytes) and its text up to the first zero
// character. False when the size query fails (no such value) or the value
// is not text: a number's bytes read as characters are no version. The
// buffer is one character longer than the reported size, so a value stored
// without its terminating zero, or with an odd size, still ends in one.
bool ReadStringValue(HKEY key, const wchar_t* name, DWORD* size, std::wstring* text)
{
    DWORD bytes = 0, type = REG_NONE;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    *size = bytes;
    std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = bytes;
    if (bytes > 0 &&
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&buffer[0]), &got) != ERROR_SUCCESS) {
        // Changed between the two calls: nothing usable in it.
        buffer.assign(1, L'\0');
    }
    *text = buffer.c_str();
    return true;
}

// The number before the first "." (the whole text without one), read like
// a C integer: 0 when it is not a number.
long MajorNumber(const std::string& version)
{
    return strtol(version.substr(0, version.find('.')).c_str(), nullptr, 10);
}

bool VersionUnreadable(CheckItem& item)
{
    item.installed = 0;
    item.description = kVersionUnreadable;
    item.state = kStateFailed;
    return false;
}

// Releases a COM interface when the scope ends.
template <class T> class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { if (m_p) m_p->Release(); }
    T* operator->() const { return m_p; }
    T** out() { return &m_p; }
    T* get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// An owned BSTR, as the management interfaces expect for their texts.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : m_b(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(m_b); }
    operator BSTR() const { return m_b; }

private:
    BSTR m_b;
};

// The query itself, on a thread whose COM is already initialised.
void CollectHotfixes(std::set<std::string>* hotfixes)
{
    HRESULT hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    // Security set earlier for the process is as good as ours.
    if (FAILED(hr) && hr != RPC_E_TOO_LATE) {
        WriteLog("QueryHotfixes CoInitializeSecurity fail:0x%08lx\r\n", static_cast<unsigned long>(hr));
        return;
    }

    ComRef<IWbemLocator> locator;
    hr = CoCreateInstance(__uuidof(WbemLocator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                          reinterpret_cast<void**>(locator.out()));
    if (FAILED(hr) || !locator.get()) {
        WriteLog("QueryHotfixes CoCreateInstance WbemLocator fail:0x%08lx\r\n", static_cast<unsigned long>(hr));
        return;
    }

    ComRef<IWbemServices> services;
    hr = locator->ConnectServer(Bstr(L"ROOT\\CIMV2"), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.out());
    if (FAILED(hr) || !services.get()) {
        WriteLog("QueryHotfixes ConnectServer fail:0x%08lx\r\n", static_cast<unsigned long>(hr));
        return;
    }

    hr = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        WriteLog("QueryHotfixes CoSetProxyBlanket fail:0x%08lx\r\n", static_cast<unsigned long>(hr));
        return;
    }

    ComRef<IEnumWbemClassObject> results;
    hr = services->ExecQuery(Bstr(L"WQL"), Bstr(L"select hotfixid from win32_quickfixengineering"),
                             WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, results.out());
    if (FAILED(hr) || !results.get()) {
        WriteLog("QueryHotfixes ExecQuery fail:0x%08lx\r\n", static_cast<unsigned long>(hr));
        return;
    }

    for (;;) {
        ComRef<IWbemClassObject> object;
        ULONG returned = 0;
        hr = results->Next(WBEM_INFINITE, 1, object.out(), &returned);
        if (FAILED(hr) || returned == 0 || !object.get()) break;
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(object->Get(L"hotfixid", 0, &value, nullptr, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
            hotfixes->insert(WideToAnsi(value.bstrVal));
        VariantClear(&value);
    }
}

} // namespace

bool CheckBrowserVersion(CheckItem& item, int profile)
{
    bool english = EnglishUI();
    item.kind = kItemBrowserVersion;
    item.title = CheckItemTitle(kItemBrowserVersion, english);
    item.optimal = OptimalText(kItemBrowserVersion, profile, english);
    // The patch probe judges this run's browser, never an earlier one.
    g_browserMajorVersion.clear();

    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AnsiToWide(kBrowserKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        WriteLog("CheckBrowserVersion RegOpenKeyEx fail\r\n");
        return VersionUnreadable(item);
    }
    DWORD versionSize = 0, serviceSize = 0;
    std::wstring versionWide, serviceWide;
    if (!ReadStringValue(key, L"Version", &versionSize, &versionWide)) {
        RegCloseKey(key);
        WriteLog("CheckBrowserVersion Version fail\r\n");
        return VersionUnreadable(item);
    }
    ReadStringValue(key, L"svcVersion", &serviceSize, &serviceWide);
    RegCloseKey(key);
    if (versionSize == 0 && serviceSize == 0) return VersionUnreadable(item);

    std::string version = WideToAnsi(versionWide);
    std::string service = WideToAnsi(serviceWide);
    // Newer browsers keep "Version" at 9.x and the real one in "svcVersion".
    if (MajorNumber(version) < MajorNumber(service) || version.empty()) version = service;
    // Empty texts are no version at all, not a browser that passes.
    if (version.empty()) return VersionUnreadable(item);

    item.installed = 1;
    item.description = std::string(kBrowserNamePrefix) + "(" + version + ")";
    if (!IsBrowserVersionOk(version)) item.state = kStateFailed;
    return true;
}

bool IsBrowserVersionOk(const std::string& version)
{
    size_t dot = version.find('.');
    if (dot == std::string::npos) return true;
    g_browserMajorVersion = version.substr(0, dot);
    return strtol(g_browserMajorVersion.c_str(), nullptr, 10) >= 8;
}

int CheckPatch(CheckItem& item, int profile)
{
    return CheckPatch(item, profile, QueryHotfixes);
}

int CheckPatch(CheckItem& item, int profile, HotfixQuery query)
{
    bool english = EnglishUI();
    item.kind = kItemPatch;
    item.installed = 1;
    item.title = CheckItemTitle(kItemPatch, english);
    item.optimal = OptimalText(kItemPatch, profile, english);

    // The patch exists only for browser 8.
    if (g_browserMajorVersion != "8") {
        item.description.clear();
        item.state = kStatePassed;
        return 1;
    }

    std::set<std::string> hotfixes = query ? query() : std::set<std::string>();
    std::string label = english ? "No IE Patch:" : "缺少补丁:";
    if (hotfixes.count(kRequiredPatch) == 0) {
        item.description = label + kRequiredPatch;
        item.state = kStateWarning;
    } else {
        item.description = label;  // an empty list of missing patches
        item.state = kStatePassed;
    }
    return 1;
}

std::set<std::string> QueryHotfixes()
{
    std::set<std::string> hotfixes;
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        // A single-threaded apartment on this thread stays the caller's.
        WriteLog("QueryHotfixes CoInitializeEx fail:0x%08lx\r\n", static_cast<unsigned long>(hr));
        return hotfixes;
    }
    CollectHotfixes(&hotfixes);
    // Balanced with the successful initialisation above, and only that.
    CoUninitialize();
    return hotfixes;
}

int CheckIESetting(CheckItem& item)
{
    bool english = EnglishUI();
    item.kind = kItemBrowserSettings;
    item.title = CheckItemTitle(kItemBrowserSettings, english);
    item.description = CheckItemDescription(kItemBrowserSettings, english);
    item.optimal = "";

    if (!IEActiveXSetting()) WriteLog("SetIESetting IEActiveXSetting fail\r\n");
    if (!OtherIESetting()) WriteLog("SetIESetting OtherIESetting fail\r\n");

    bool good = CheckNoClearBrowsingHistory() && CheckMaxScriptment() && CheckAllowPopUpWin() &&
                CheckCompatibilityMode();
    item.state = good ? kStatePassed : kStateFailed;
    return 1;
}
