#include "check/report.h"

#include "base/log.h"
#include "base/textconv.h"
#include "base/worker.h"
#include "net/httpform.h"

#include <Poco/Exception.h>
#include <Poco/Net/HTTPResponse.h>

#include <stdio.h>

#include <memory>

std::string JsonText(const std::string& ansi)
{
    std::string out = "\"";
    for (unsigned char c : AnsiToUtf8(ansi)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonRecords(const std::vector<CheckItem>& records, const char* indent)
{
    std::string out = "[";
    for (size_t i = 0; i < records.size(); ++i) {
        const CheckItem& r = records[i];
        char numbers[160];
        out += i ? ",\n" : "\n";
        out += indent;
        snprintf(numbers, sizeof numbers, "  {\"kind\": %d, \"title\": ", r.kind);
        out += numbers + JsonText(r.title) + ", \"description\": " + JsonText(r.description);
        snprintf(numbers, sizeof numbers, ", \"installed\": %d, \"optimal\": ", r.installed);
        out += numbers + JsonText(r.optimal);
        snprintf(numbers, sizeof numbers, ", \"progress\": %d, \"state\": %d, \"row\": %d}", r.progress, r.state,
                 r.row);
        out += numbers;
    }
    return out + "\n" + indent + "]";
}

std::string WindowReport(const std::vector<CheckItem>& rows, const std::string& download, const std::string& upload)
{
    auto figure = [](const std::string& text) { return text.empty() ? std::string("null") : JsonText(text); };
    return "{\"rows\": " + JsonRecords(rows, " ") + ",\n \"download\": " + figure(download) +
           ",\n \"upload\": " + figure(upload) + "}\n";
}

bool PostReport(const std::string& url, const std::string& token, const std::string& report, std::string* error)
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[32];
    snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    std::map<std::string, std::string> fields = {
        {"machine", AnsiToUtf8(WideToAnsi(name))}, {"time", time}, {"report", report}};
    if (!token.empty()) fields["token"] = token;
    std::string why;
    try {
        HttpFormClient client(url);
        Poco::Net::HTTPResponse response;
        BinBuffer body;
        const bool found = client.send(response, body, false, fields, "POST");
        if (found && response.getStatus() / 100 == 2) {
            WriteLog("report posted to %s\r\n", url.c_str());
            return true;
        }
        why = "HTTP " + std::to_string(static_cast<int>(response.getStatus()));
    } catch (const Poco::Exception& e) {
        why = e.displayText();
    } catch (const std::exception& e) {
        why = e.what();
    }
    WriteLog("report to %s failed: %s\r\n", url.c_str(), why.c_str());
    if (error) *error = why;
    return false;
}

namespace {

struct ReportJob {
    std::string url, token, report;
    HANDLE done;
};

unsigned __stdcall PostReportWorker(void* argument)
{
    std::unique_ptr<ReportJob> job(static_cast<ReportJob*>(argument));
    PostReport(job->url, job->token, job->report, nullptr);
    if (job->done) SetEvent(job->done);
    return 0;
}

} // namespace

bool PostReportInBackground(const std::string& url, const std::string& token, const std::string& report, HANDLE done)
{
    auto* job = new ReportJob{url, token, report, done};
    if (StartWorker(PostReportWorker, job)) return true;
    delete job;
    WriteLog("report to %s: no worker could start\r\n", url.c_str());
    return false;
}
