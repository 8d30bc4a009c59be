#pragma once
// The browser's trusted sites (per-user zone map).
#include <string>

const char* const kZoneMapRanges =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Ranges";
const char* const kZoneMapDomains =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";

// Adds the host of `site` to the trusted sites under the given pair of
// zone-map keys. Not written yet: the zone-map work lands with the browser
// configuration, and until then this changes nothing and returns false.
bool AddTrustSites(const std::string& site, const char* rangesKey, const char* domainsKey);
