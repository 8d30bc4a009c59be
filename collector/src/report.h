#pragma once
// What a desk's report says, read from the JSON it posts. Three shapes:
//   [row, ...]                                     a check (PylonixCheck --json)
//   {"before": [...], "repairs": [...], "after": [row, ...], "exit": N}
//                                                  an unattended repair; the desk is as "after"
//   {"rows": [row, ...], "download": "…" | null, "upload": "…" | null}
//                                                  the desktop program after a check
// A row is {"kind": N, "title": "…", "state": 1 | 2 | 3, "description": "…", ...}
// (passed, failed, warning); other keys are ignored.
#include <string>
#include <vector>

namespace collector {

enum class ReportSource { Check, Repair, Desktop };

// "check", "repair" or "desktop".
const char* SourceName(ReportSource source);

enum RowState { kPassed = 1, kFailed = 2, kWarning = 3 };

// A full check has this many rows; a run that stopped early (the server
// unreachable) has fewer.
const int kRowsOfFullCheck = 9;

struct ReportRow {
    int kind = 0;
    int state = 0;
    std::string title;
    std::string description;
};

struct ReportSummary {
    ReportSource source = ReportSource::Check;
    std::vector<ReportRow> rows;   // the desk's state as the report leaves it
    std::string download, upload;  // speed figures, "" when the report has none

    // Ready for the web application: a full check and no row failed.
    bool Ready() const;
    // The titles of the failed rows, in the report's order.
    std::vector<std::string> FailedTitles() const;
};

// Reads a report. False, with what is wrong, for anything but the three
// shapes: not JSON, a row without an integer kind, a title or a known
// state, texts that are not UTF-8 or hold control characters, more than
// 64 rows.
bool ReadReport(const std::string& json, ReportSummary& summary, std::string& error);

} // namespace collector
