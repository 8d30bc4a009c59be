#pragma once
// The browser's trusted sites (per-user zone map).
#include <string>
#include <vector>

const char* const kZoneMapRanges =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Ranges";
const char* const kZoneMapDomains =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
// The separate zone map of server editions with enhanced security.
const char* const kZoneMapEscRanges =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\EscRanges";
const char* const kZoneMapEscDomains =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\EscDomains";
// The Trusted sites zone.
const char* const kTrustedZoneKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\2";

// Makes the host of `site` (an address, host name or URL) a trusted site
// under the given pair of zone-map keys, lets the zone list plain http
// sites and puts the host on the compatibility-view list. True when the
// host is in the zone map afterwards; what went wrong goes to the log.
bool AddTrustSites(std::string site, std::string rangesKey, std::string domainsKey);

// Splits at every `separator`; empty pieces count, and so does the piece
// after the last separator.
std::vector<std::string> SplitPieces(const std::string& text, char separator);
