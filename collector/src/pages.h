#pragma once
// What the collector shows: the desks page, a desk's history, the CSV
// export and the counters as text. Plain functions of the data; every text
// from a desk is escaped.
#include "store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace collector {

// What the collector counted since it started.
struct Tally {
    std::string started;            // UTC
    std::uint64_t kept = 0;         // reports stored
    std::uint64_t refused = 0;      // wrong or missing token (403)
    std::uint64_t malformed = 0;    // not a report (400, 413, 415)
    std::uint64_t unstored = 0;     // the database failed (503)
    std::string lastRefusedFrom, lastRefusedAt;
};

// The page's address of a desk's history.
std::string DeskLink(const std::string& machine, const std::string& company);

// The desks page (GET /): counts, the filter, the sortable table.
std::string DesksPage(const std::vector<DeskRow>& desks, bool notReadyOnly, const Tally& tally);

// The desks as CSV (UTF-8 with a byte-order mark, so spreadsheets read
// the Chinese titles right; CRLF lines).
std::string DesksCsv(const std::vector<DeskRow>& desks, bool notReadyOnly);

// A desk's kept reports, newest first, each with its rows.
std::string DeskPage(const std::string& machine, const std::string& company,
                     const std::vector<HistoryEntry>& entries);

// The counters, one "name value" line each.
std::string MetricsText(const Tally& tally, std::int64_t desks, std::int64_t ready, const char* storeKind);

} // namespace collector
