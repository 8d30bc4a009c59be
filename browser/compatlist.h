#pragma once
// The browser's per-user compatibility-view site list ("UserFilter").
#include <string>

class CompatibleList {
public:
    // Loads and parses the stored list; a missing or unreadable value gives
    // an empty list.
    CompatibleList();
    ~CompatibleList();
    // True when the site was already listed, or was appended and stored.
    bool AddSite(const std::wstring& site);
};
