#include "browser/trustsites.h"

#include "base/log.h"
#include "base/textconv.h"
#include "browser/compatlist.h"
#include "browser/regkeys.h"
#include "net/address.h"

#include <stdio.h>

namespace {

const DWORD kTrustedZone = 2;
const DWORD kZoneFlags = 0x43;  // lets the zone list http sites, not only https

std::string AfterDoubleSlash(const std::string& text)
{
    size_t at = text.find("//");
    return at == std::string::npos ? text : text.substr(at + 2);
}

// The ":Range" text of an existing RangeN key, cut at its first NUL.
bool ReadRangeText(HKEY key, std::string* text)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, L":Range", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, L":Range", nullptr, nullptr, reinterpret_cast<BYTE*>(&buffer[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    *text = WideToAnsi(std::wstring(buffer.c_str()));
    return true;
}

// Finds `site` among Range1, Range2, ... or writes it at the first free
// number. Existing entries are never changed.
bool AddRangeEntry(const std::string& site, const std::string& rangesKey)
{
    for (int n = 1;; ++n) {
        HKEY ranges = OpenBrowserKey(HKEY_CURRENT_USER, rangesKey, true);
        if (!ranges) return false;
        RegCloseKey(ranges);

        char number[32];
        snprintf(number, sizeof number, "\\Range%d", n);
        std::string rangePath = rangesKey + number;
        if (HKEY range = OpenBrowserKey(HKEY_CURRENT_USER, rangePath, false)) {
            std::string listed;
            bool same = ReadRangeText(range, &listed) && listed == site;
            RegCloseKey(range);
            if (same) return true;
            continue;
        }

        HKEY range = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, AnsiToWide(rangePath).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &range, nullptr) != ERROR_SUCCESS)
            return false;
        // Stored without a terminating NUL. The registry adds one on its own
        // when the text is followed by a NUL in memory, so it is not.
        std::wstring text = AnsiToWide(site) + L" ";
        DWORD bytes = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
        bool written = SetDwordValue(range, L"*", kTrustedZone) &&
                       RegSetValueExW(range, L":Range", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                                      bytes) == ERROR_SUCCESS;
        RegCloseKey(range);
        return written;
    }
}

// Host a.b.c goes to <domains>\b.c\a.
bool AddDomainEntry(const std::string& site, const std::string& domainsKey)
{
    std::vector<std::string> labels = SplitPieces(site, '.');
    if (labels.size() < 2) {
        WriteLog("Wrong site:%s\r\n", site.c_str());
        return false;
    }
    labels[0] = AfterDoubleSlash(labels[0]);

    std::string domainPath = domainsKey + "\\";
    for (size_t i = 1; i < labels.size(); ++i) domainPath += (i > 1 ? "." : "") + labels[i];
    HKEY domain = OpenBrowserKey(HKEY_CURRENT_USER, domainPath, true);
    if (!domain) {
        WriteLog("Create key:%s fail!\r\n", domainPath.c_str());
        return false;
    }
    RegCloseKey(domain);

    std::string hostPath = domainPath + "\\" + labels[0];
    HKEY host = OpenBrowserKey(HKEY_CURRENT_USER, hostPath, true);
    if (!host) {
        WriteLog("Create key:%s fail!\r\n", hostPath.c_str());
        return false;
    }
    bool written = SetDwordValue(host, L"*", kTrustedZone);
    RegCloseKey(host);
    if (!written) WriteLog("AddTrustSite set key:%s  * value fail\r\n", hostPath.c_str());
    return written;
}

} // namespace

std::vector<std::string> SplitPieces(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        pieces.push_back(text.substr(start, at - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

bool AddTrustSites(std::string site, std::string rangesKey, std::string domainsKey)
{
    WriteLog("添加可信任站点:%s\r\n", site.c_str());

    HKEY zone = OpenBrowserKey(HKEY_CURRENT_USER, kTrustedZoneKey, false);
    if (!zone) {
        WriteLog("AddTrustSites fail RegOpenKeyEx:%s\r\n", kTrustedZoneKey);
        return false;
    }
    bool flagged = SetDwordValue(zone, L"Flags", kZoneFlags);
    RegCloseKey(zone);
    if (!flagged) return false;

    // "http://host:port/..." → "//host" → "host"; a bare host stays as it is.
    std::vector<std::string> pieces = SplitPieces(site, ':');
    site = AfterDoubleSlash(pieces.size() >= 2 ? pieces[1] : pieces[0]);

    {
        CompatibleList list;
        list.AddSite(AnsiToWide(site));
    }

    if (IsAddress(site.c_str())) return AddRangeEntry(site, rangesKey);
    return AddDomainEntry(site, domainsKey);
}
