#pragma once
// The browser's per-user compatibility-view site list ("UserFilter").
#include "base/binbuffer.h"
#include "browser/compatparse.h"

#include <stdint.h>

#include <set>
#include <string>

class CompatibleList {
public:
    // Loads and parses the stored list; a missing or unreadable value gives
    // an empty list.
    CompatibleList();
    ~CompatibleList();
    CompatibleList(const CompatibleList&) = delete;
    CompatibleList& operator=(const CompatibleList&) = delete;

    // True when the site was already listed, or was appended and stored.
    bool AddSite(const std::wstring& site);

    // What was loaded and added, for the tests.
    const std::set<std::wstring>& sites() const { return m_sites; }
    bool headerLoaded() const { return m_headerLoaded; }
    uint32_t headerWord(int index) const { return m_header[index]; }
    uint32_t entryAreaSize() const { return m_entries.size(); }

private:
    void Load();

    bool m_headerLoaded = false;  // the stored value had at least 24 bytes
    BinBuffer m_value;            // the whole value as last loaded or built
    uint32_t m_header[kCompatHeaderWords];
    BinBuffer m_entries;          // everything after the header, kept byte for byte
    std::set<std::wstring> m_sites;
};
