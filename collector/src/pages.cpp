#include "pages.h"

#include "report.h"
#include "text.h"

#include <cstdlib>

namespace collector {
namespace {

const char* const kStyle =
    "<style>\n"
    "body{font-family:sans-serif;font-size:14px;margin:16px;color:#222}\n"
    "h1{font-size:20px;margin:0 0 8px}\n"
    "nav a{margin-right:12px}\n"
    "nav a.current{font-weight:bold;text-decoration:none;color:#222}\n"
    "table{border-collapse:collapse;margin-top:10px}\n"
    "th,td{border:1px solid #ccc;padding:3px 8px;text-align:left;vertical-align:top}\n"
    "th{background:#eef1f5}\n"
    "table.sortable th{cursor:pointer;user-select:none}\n"
    "th[aria-sort=ascending]::after{content:' \\25B2'}\n"
    "th[aria-sort=descending]::after{content:' \\25BC'}\n"
    "tr.not-ready td.ready{color:#b00020;font-weight:bold}\n"
    "tr.ready td.ready{color:#1b7a1b;font-weight:bold}\n"
    "tr.not-ready{background:#fff4f4}\n"
    "td.num{text-align:right}\n"
    "td.received,td.desk-time{white-space:nowrap}\n"
    "table.rows tr.failed td{color:#b00020}\n"
    "table.rows tr.warning td{color:#9a6700}\n"
    ".counters{color:#555}\n"
    "</style>\n";

// Sorting by a click on a column head; the order is kept in the address
// (#sort=KEY:asc|desc), so a sorted view can be bookmarked or sent.
const char* const kSortScript =
    "<script>\n"
    "(function(){\n"
    "var table=document.getElementById('desks');if(!table)return;\n"
    "var heads=table.tHead.rows[0].cells;\n"
    "function value(cell,type){var v=cell.getAttribute('data-value');if(v===null)v=cell.textContent;\n"
    " if(type==='num'){var n=parseFloat(v);return isNaN(n)?-Infinity:n;}return v;}\n"
    "function sortBy(col,dir){var body=table.tBodies[0],type=heads[col].getAttribute('data-type');\n"
    " var keyed=Array.prototype.map.call(body.rows,function(r,i){return [value(r.cells[col],type),i,r];});\n"
    " keyed.sort(function(a,b){var c=a[0]<b[0]?-1:a[0]>b[0]?1:0;if(dir==='desc')c=-c;return c||a[1]-b[1];});\n"
    " var rows=document.createDocumentFragment();keyed.forEach(function(k){rows.appendChild(k[2]);});\n"
    " body.appendChild(rows);\n"
    " for(var i=0;i<heads.length;i++)heads[i].removeAttribute('aria-sort');\n"
    " heads[col].setAttribute('aria-sort',dir==='desc'?'descending':'ascending');}\n"
    "Array.prototype.forEach.call(heads,function(head,col){head.addEventListener('click',function(){\n"
    " var dir=head.getAttribute('aria-sort')==='ascending'?'desc':'asc';sortBy(col,dir);\n"
    " history.replaceState(null,'','#sort='+head.getAttribute('data-key')+':'+dir);});});\n"
    "var m=/^#sort=([a-z-]+):(asc|desc)$/.exec(location.hash);\n"
    "if(m)Array.prototype.forEach.call(heads,function(head,col){if(head.getAttribute('data-key')===m[1])sortBy(col,m[2]);});\n"
    "})();\n"
    "</script>\n";

std::string Head(const std::string& title)
{
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width\"><title>" +
           HtmlEscape(title) + "</title>\n" + kStyle + "</head>\n<body>\n";
}

// The number a speed figure starts with ("16381KB/s" → "16381"), for sorting.
std::string FigureValue(const std::string& figure)
{
    const char* start = figure.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    return end == start ? std::string() : std::to_string(value);
}

std::string Cell(const std::string& cls, const std::string& text, const std::string& value = std::string())
{
    std::string cell = "<td class=\"" + cls + "\"";
    if (!value.empty()) cell += " data-value=\"" + HtmlEscape(value) + "\"";
    return cell + ">" + text + "</td>";
}

std::string FailedList(const std::vector<std::string>& titles)
{
    std::string text;
    for (const std::string& title : titles) text += (text.empty() ? "" : ", ") + HtmlEscape(title);
    return text;
}

std::string RowsText(int rows)
{
    return std::to_string(rows) + "/" + std::to_string(kRowsOfFullCheck);
}

const char* StateName(int state)
{
    switch (state) {
    case kPassed: return "passed";
    case kFailed: return "failed";
    default: return "warning";
    }
}

std::string RowsDetails(const std::string& body, bool open)
{
    ReportSummary summary;
    std::string error;
    if (!ReadReport(body, summary, error)) return HtmlEscape(error);
    std::string html = std::string(open ? "<details open>" : "<details>") + "<summary>" +
                       std::to_string(summary.rows.size()) +
                       " rows</summary><table class=\"rows\"><tr><th>Title</th><th>State</th><th>Description</th></tr>";
    for (const ReportRow& row : summary.rows)
        html += "<tr class=\"" + std::string(StateName(row.state)) + "\"><td>" + HtmlEscape(row.title) + "</td><td>" +
                StateName(row.state) + "</td><td>" + HtmlEscape(row.description) + "</td></tr>";
    return html + "</table></details>";
}

} // namespace

std::string DeskLink(const std::string& machine, const std::string& company)
{
    return "/desk/" + UrlComponent(machine) + "?company=" + UrlComponent(company);
}

std::string DesksPage(const std::vector<DeskRow>& desks, bool notReadyOnly, const Tally& tally)
{
    std::size_t ready = 0;
    for (const DeskRow& d : desks) ready += d.ready ? 1 : 0;
    const std::size_t notReady = desks.size() - ready;

    std::string html = Head("Desks - report collector");
    html.reserve(400 * desks.size() + 8192);
    html += "<h1>Desks</h1>\n<p class=\"summary\"><span id=\"count-all\">" + std::to_string(desks.size()) +
            "</span> desks, <span id=\"count-ready\">" + std::to_string(ready) +
            "</span> ready, <span id=\"count-not-ready\">" + std::to_string(notReady) + "</span> not ready.</p>\n";
    html += "<p class=\"counters\">Since " + HtmlEscape(tally.started) + " UTC: <span id=\"kept\">" +
            std::to_string(tally.kept) + "</span> reports kept, <span id=\"refused\">" +
            std::to_string(tally.refused) + "</span> refused (wrong or missing token";
    if (!tally.lastRefusedFrom.empty())
        html += "; the last from " + HtmlEscape(tally.lastRefusedFrom) + " at " + HtmlEscape(tally.lastRefusedAt);
    html += "), <span id=\"malformed\">" + std::to_string(tally.malformed) + "</span> malformed, <span id=\"unstored\">" +
            std::to_string(tally.unstored) + "</span> not stored (database).</p>\n";
    html += std::string("<nav><a id=\"filter-all\" href=\"/\"") + (notReadyOnly ? "" : " class=\"current\"") +
            ">All (" + std::to_string(desks.size()) + ")</a><a id=\"filter-not-ready\" href=\"/?show=notready\"" +
            (notReadyOnly ? " class=\"current\"" : "") + ">Not ready (" + std::to_string(notReady) +
            ")</a><a id=\"csv\" href=\"/desks.csv" + (notReadyOnly ? "?show=notready" : "") +
            "\">CSV</a></nav>\n";

    html += "<table id=\"desks\" class=\"sortable\"><thead><tr>"
            "<th data-key=\"desk\" data-type=\"text\">Desk</th>"
            "<th data-key=\"company\" data-type=\"text\">Company</th>"
            "<th data-key=\"ready\" data-type=\"num\">Ready</th>"
            "<th data-key=\"failed\" data-type=\"text\">Failed rows</th>"
            "<th data-key=\"rows\" data-type=\"num\">Rows</th>"
            "<th data-key=\"desk-time\" data-type=\"text\">Desk time</th>"
            "<th data-key=\"received\" data-type=\"text\">Received (UTC)</th>"
            "<th data-key=\"source\" data-type=\"text\">Source</th>"
            "<th data-key=\"download\" data-type=\"num\">Download</th>"
            "<th data-key=\"upload\" data-type=\"num\">Upload</th>"
            "<th data-key=\"reports\" data-type=\"num\">Reports</th>"
            "</tr></thead>\n<tbody>\n";
    for (const DeskRow& d : desks) {
        if (notReadyOnly && d.ready) continue;
        html += d.ready ? "<tr class=\"ready\">" : "<tr class=\"not-ready\">";
        html += Cell("desk", "<a href=\"" + HtmlEscape(DeskLink(d.machine, d.company)) + "\">" + HtmlEscape(d.machine) +
                                 "</a>",
                     d.machine);
        html += Cell("company", HtmlEscape(d.company));
        html += Cell("ready", d.ready ? "yes" : "no", d.ready ? "1" : "0");
        html += Cell("failed", FailedList(d.failed));
        html += Cell("rows num", RowsText(d.rows), std::to_string(d.rows));
        html += Cell("desk-time", HtmlEscape(d.deskTime));
        html += Cell("received", HtmlEscape(d.received));
        html += Cell("source", HtmlEscape(d.source));
        html += Cell("download num", HtmlEscape(d.download), FigureValue(d.download));
        html += Cell("upload num", HtmlEscape(d.upload), FigureValue(d.upload));
        html += Cell("reports num", std::to_string(d.reports));
        html += "</tr>\n";
    }
    html += "</tbody></table>\n";
    html += kSortScript;
    return html + "</body></html>\n";
}

std::string DesksCsv(const std::vector<DeskRow>& desks, bool notReadyOnly)
{
    std::string csv = "\xEF\xBB\xBF"
                      "desk,company,ready,failed rows,rows,desk time,received (UTC),source,download,upload,"
                      "speed received (UTC),reports\r\n";
    for (const DeskRow& d : desks) {
        if (notReadyOnly && d.ready) continue;
        std::string failed;
        for (const std::string& title : d.failed) failed += (failed.empty() ? "" : "; ") + title;
        csv += CsvField(d.machine) + "," + CsvField(d.company) + "," + (d.ready ? "yes" : "no") + "," +
               CsvField(failed) + "," + std::to_string(d.rows) + "," + CsvField(d.deskTime) + "," +
               CsvField(d.received) + "," + CsvField(d.source) + "," + CsvField(d.download) + "," +
               CsvField(d.upload) + "," + CsvField(d.speedReceived) + "," + std::to_string(d.reports) + "\r\n";
    }
    return csv;
}

std::string DeskPage(const std::string& machine, const std::string& company,
                     const std::vector<HistoryEntry>& entries)
{
    std::string html = Head(machine + " - report collector");
    html += "<p><a href=\"/\">All desks</a></p>\n<h1>" + HtmlEscape(machine) + "</h1>\n";
    if (!company.empty()) html += "<p>Company: " + HtmlEscape(company) + "</p>\n";
    html += "<p><span id=\"kept-reports\">" + std::to_string(entries.size()) + "</span> reports kept, newest first.</p>\n";
    html += "<table id=\"history\"><thead><tr><th>Received (UTC)</th><th>Desk time</th><th>Company</th>"
            "<th>Source</th><th>Ready</th><th>Failed rows</th><th>Rows</th><th>Download</th><th>Upload</th>"
            "<th>Report</th></tr></thead>\n<tbody>\n";
    for (const HistoryEntry& h : entries) {
        html += std::string("<tr class=\"report ") + (h.ready ? "ready" : "not-ready") + "\" data-seq=\"" +
                std::to_string(h.seq) + "\">";
        html += Cell("received", HtmlEscape(h.received));
        html += Cell("desk-time", HtmlEscape(h.deskTime));
        html += Cell("company", HtmlEscape(h.company));
        html += Cell("source", HtmlEscape(h.source));
        html += Cell("ready", h.ready ? "yes" : "no");
        html += Cell("failed", FailedList(h.failed));
        html += Cell("rows num", RowsText(h.rows));
        html += Cell("download num", HtmlEscape(h.download));
        html += Cell("upload num", HtmlEscape(h.upload));
        html += Cell("report", RowsDetails(h.body, &h == &entries.front()));
        html += "</tr>\n";
    }
    return html + "</tbody></table>\n</body></html>\n";
}

std::string MetricsText(const Tally& tally, std::int64_t desks, std::int64_t ready, const char* storeKind)
{
    std::string text = "# report collector, counters since " + tally.started + " UTC; store " + storeKind + "\n";
    text += "collector_desks " + std::to_string(desks) + "\n";
    text += "collector_desks_ready " + std::to_string(ready) + "\n";
    text += "collector_desks_not_ready " + std::to_string(desks - ready) + "\n";
    text += "collector_reports_kept_total " + std::to_string(tally.kept) + "\n";
    text += "collector_reports_refused_total " + std::to_string(tally.refused) + "\n";
    text += "collector_reports_malformed_total " + std::to_string(tally.malformed) + "\n";
    text += "collector_reports_unstored_total " + std::to_string(tally.unstored) + "\n";
    return text;
}

} // namespace collector
