#include "browser/compatlist.h"

#include "base/log.h"
#include "base/textconv.h"
#include "browser/regkeys.h"

#include <windows.h>

#include <vector>

namespace {
const char kListKey[] =
    "Software\\Microsoft\\Internet Explorer\\BrowserEmulation\\ClearableListData";
const wchar_t kListValue[] = L"UserFilter";
} // namespace

CompatibleList::CompatibleList()
{
    DefaultCompatHeader(m_header);
    Load();
}

CompatibleList::~CompatibleList()
{
    m_value.reset();
    m_entries.reset();
    m_sites.clear();
}

void CompatibleList::Load()
{
    HKEY key = OpenBrowserKey(HKEY_CURRENT_USER, kListKey, false);
    if (!key) {
        // No key, no list: create the key for the first AddSite.
        key = OpenBrowserKey(HKEY_CURRENT_USER, kListKey, true);
        if (key) RegCloseKey(key);
        return;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, kListValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    // Whatever type it was stored with, the value is taken as bytes.
    std::vector<uint8_t> bytes(size + 4);
    DWORD read = size + 4;
    LONG result = RegQueryValueExW(key, kListValue, nullptr, nullptr, bytes.data(), &read);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return;
    if (read > size) read = size;
    m_value.write(bytes.data(), read);
    m_headerLoaded = read >= kCompatHeaderSize;
    if (!m_headerLoaded) return;  // too short to be a list: replaced on the first add

    ReadCompatHeader(m_value.data(), m_header);
    m_entries.write(m_value.data() + kCompatHeaderSize, read - kCompatHeaderSize);
    for (const std::u16string& site : ParseCompatEntries(m_entries.data(), m_entries.size()))
        m_sites.insert(std::wstring(site.begin(), site.end()));
}

bool CompatibleList::AddSite(const std::wstring& site)
{
    if (m_sites.count(site)) {
        WriteLog("%s already in compatible list\r\n", WideToAnsi(site).c_str());
        return true;
    }
    if (site.size() > kCompatMaxSiteUnits) {
        WriteLog("compatible list: site of %u characters is too long\r\n",
                 static_cast<unsigned>(site.size()));
        return false;
    }
    // Kept to undo the append when the value cannot be stored, so that this
    // object keeps matching the registry.
    std::vector<uint8_t> oldEntries(m_entries.data(), m_entries.data() + m_entries.size());
    uint32_t oldHeader[kCompatHeaderWords];
    for (int i = 0; i < kCompatHeaderWords; ++i) oldHeader[i] = m_header[i];

    AppendCompatEntry(m_entries, std::u16string(site.begin(), site.end()));
    CountCompatEntry(m_header, m_headerLoaded, m_entries.size());
    BuildCompatValue(m_header, m_entries, m_value);

    bool stored = false;
    if (HKEY key = OpenBrowserKey(HKEY_CURRENT_USER, kListKey, true)) {
        stored = RegSetValueExW(key, kListValue, 0, REG_BINARY, m_value.data(), m_value.size()) ==
                 ERROR_SUCCESS;
        RegCloseKey(key);
    }
    if (stored) {
        m_sites.insert(site);
        return true;
    }
    m_entries.reset();
    m_entries.write(oldEntries.data(), oldEntries.size());
    for (int i = 0; i < kCompatHeaderWords; ++i) m_header[i] = oldHeader[i];
    return false;
}
