// PylonixCheck.exe: the client check without the window, for administrators
// and scripts. Same engine and local.ini as the program; one line per record
// (or a JSON array with --json); exit 0 when every record passed, 1 when one
// did not, 2 when the check could not run. With --repair it also repairs
// what needs no person and checks again (see console/unattended.h). With
// --configure it only writes the keys given into local.ini, for installers.
#include "settings/config.h"
#include "settings/setup.h"
#include "console/unattended.h"
#include "base/console.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/startup.h"
#include "base/textconv.h"
#include "check/checkrun.h"
#include "check/osprobe.h"
#include "check/report.h"
#include "pages/repair.h"


#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// --report-required, and the report did not arrive.
const int kReportNotDelivered = 4;

const char* StateName(int state)
{
    switch (state) {
    case kStatePassed: return "passed";
    case kStateFailed: return "failed";
    case kStateWarning: return "warning";
    default: return "unknown";
    }
}

// One record as a line: row, title, state, description, optimal text,
// tab-separated, narrow texts as the program keeps them (the active code page).
void PrintLine(const char* prefix, const CheckItem& item)
{
    printf("%s%d\t%s\t%s\t%s\t%s\n", prefix, item.row, item.title.c_str(), StateName(item.state),
           item.description.c_str(), item.optimal.c_str());
}

class ConsoleReporter : public CheckReporter {
public:
    explicit ConsoleReporter(bool json) : m_json(json) {}

    void OnCheckRow(CheckItem& item) override
    {
        if (item.state != kStatePassed) m_allPassed = false;
        m_records.push_back(item);
        if (m_json) return;
        PrintLine("", item);
        fflush(stdout);
    }
    void OnCheckDone() override {}

    bool AllPassed() const { return m_allPassed; }
    const std::vector<CheckItem>& Records() const { return m_records; }

private:
    bool m_json;
    bool m_allPassed = true;
    std::vector<CheckItem> m_records;
};

// The unattended repair; `report` gets its JSON whatever is printed.
int Repair(bool json, bool upgradeBrowser, std::string* report)
{
    UnattendedRun run;
    const int code = RunUnattendedRepair(upgradeBrowser, &run);
    std::string repairs = "[";
    for (size_t i = 0; i < run.repairs.size(); ++i) {
        char entry[128];
        snprintf(entry, sizeof entry, "%s{\"kind\": %d, \"row\": %d, \"result\": \"%s\"}", i ? ", " : "",
                 run.repairs[i].kind, run.repairs[i].row, RowResultName(run.repairs[i].result));
        repairs += entry;
    }
    *report = "{\"before\": " + JsonRecords(run.before, " ") + ",\n \"repairs\": " + repairs +
              "],\n \"after\": " + JsonRecords(run.after, " ") + ",\n \"exit\": " + std::to_string(code) + "}\n";
    if (!json) {
        for (const CheckItem& item : run.before) PrintLine("before\t", item);
        for (const auto& repair : run.repairs) printf("repair\t%d\t%s\n", repair.row, RowResultName(repair.result));
        for (const CheckItem& item : run.after) PrintLine("after\t", item);
    }
    return code;
}

// Posts the report to the company's collector with the company's token;
// false (said on stderr too) when it did not arrive.
bool DeliverReport(const std::string& url, const std::string& report)
{
    std::string error;
    if (PostReport(url, g_serverSettings.reportToken, report, &error)) return true;
    fprintf(stderr, "PylonixCheck: the report could not be posted to %s: %s\n", url.c_str(), error.c_str());
    return false;
}

// The arguments of --configure into `values`; empty, or what is wrong.
std::string ReadConfigureArgs(int count, wchar_t** args, IniValues* values)
{
    for (int i = 0; i < count; ++i) {
        const std::wstring arg = args[i];
        const size_t equals = arg.find(L'=');
        const std::string key = WideToAnsi(arg.substr(0, equals));
        const std::vector<std::string>& known = LocalIniKeys();
        if (equals == std::wstring::npos || std::find(known.begin(), known.end(), key) == known.end()) {
            std::string names;
            for (const std::string& name : known) names += (names.empty() ? "" : ", ") + name;
            return "\"" + WideToAnsi(arg) + "\" is not KEY=VALUE with a key local.ini knows (" + names + ")";
        }
        const std::wstring wide = arg.substr(equals + 1);
        const std::string value = WideToAnsi(wide);
        if (value.empty()) continue;
        for (wchar_t c : wide)
            if (c < 0x20) return "the value of " + key + " holds a control character";
        if (AnsiToWide(value) != wide) return "the value of " + key + " has characters the system's code page lacks";
        if (key == "server_port" && (value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
                                     atoi(value.c_str()) < 1 || atoi(value.c_str()) > 65535))
            return "server_port must be a number from 1 to 65535, not \"" + value + "\"";
        for (const auto& given : *values)
            if (given.first == key) return key + " is given twice";
        values->emplace_back(key, value);
    }
    return "";
}

// --configure key=value...: the keys given into local.ini beside the program,
// nothing else changed. An empty value leaves its key alone, so that an
// installer can pass each of its properties whether it was set or not.
// Exit 0 written, 1 the file could not be written, 2 a bad argument.
int Configure(int count, wchar_t** args)
{
    SetUpProcess();
    const std::string path = LocalIniPath();
    IniValues values;
    std::string failure = ReadConfigureArgs(count, args, &values);
    const int code = !failure.empty() ? 2 : !(failure = WriteLocalIniValues(path, values)).empty() ? 1 : 0;
    if (code != 0) {
        // An installer running this shows no standard error: the log keeps it.
        WriteLog("local.ini %s not configured: %s\r\n", path.c_str(), failure.c_str());
        fprintf(stderr, "PylonixCheck --configure: %s: %s\n", path.c_str(), failure.c_str());
        return code;
    }
    std::string named;
    for (const auto& value : values) named += (named.empty() ? "" : ", ") + value.first;
    if (named.empty()) named = "no key";
    WriteLog("local.ini %s configured: %s\r\n", path.c_str(), named.c_str());
    printf("%s: %s set\n", path.c_str(), named.c_str());
    return 0;
}

struct CheckRun {
    CheckReporter* reporter;
    CheckInputs inputs;
    CheckItem items[kCheckItemCount];
};

unsigned __stdcall RunCheck(void* param)
{
    auto* run = static_cast<CheckRun*>(param);
    RunClientCheck(run->inputs, run->items, *run->reporter);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    bool json = false, repair = false, upgradeBrowser = false, reportRequired = false;
    std::string reportUrl;
    if (argc >= 2 && wcscmp(argv[1], L"--configure") == 0) return Configure(argc - 2, argv + 2);
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--json") == 0) json = true;
        else if (wcscmp(argv[i], L"--repair") == 0) repair = true;
        else if (wcscmp(argv[i], L"--upgrade-browser") == 0) upgradeBrowser = true;
        else if (wcscmp(argv[i], L"--report") == 0 && i + 1 < argc) reportUrl = WideToAnsi(argv[++i]);
        else if (wcscmp(argv[i], L"--report-required") == 0) reportRequired = true;
        else {
            fprintf(stderr, "usage: PylonixCheck [--json] [--repair [--upgrade-browser]] [--report URL [--report-required]]\n"
                            "       PylonixCheck --configure KEY=VALUE...\n");
            return 2;
        }
    }
    // Standard output carries the report alone: the console lines of the
    // program's parts (the resolver's listing, the installer's command line)
    // go to standard error, beside the messages.
    SetConsoleStream(stderr);
    // JSON goes out byte for byte as it is reported (no CR added).
    if (json) _setmode(_fileno(stdout), _O_BINARY);

    SetUpProcess();
    SendMessageBoxesToStderr();
    MakeDirectories(DownloadFolder().c_str());
    WriteStartLine("---------------------------Pylonix Check----------------------\r\n");
    ProbeSystemInfo();
    if (!LoadGlobelSetting()) WriteLog("[error] LoadGlobelSetting!!!");
    if (!LoadComponentList()) {
        fprintf(stderr, "PylonixCheck: the settings could not be loaded (see the log)\n");
        return 2;
    }

    std::string report;
    int code;
    if (repair) {
        code = Repair(json, upgradeBrowser, &report);
    } else {
        // The check runs on a thread of its own, as the window runs it: the
        // hotfix query needs a multithreaded apartment, which a thread
        // already in a single-threaded one cannot enter.
        ConsoleReporter reporter(json);
        CheckRun run{&reporter, CurrentCheckInputs(), {}};
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunCheck, &run, 0, nullptr));
        if (!thread) {
            fprintf(stderr, "PylonixCheck: the check thread did not start\n");
            return 2;
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        report = JsonRecords(reporter.Records(), "") + "\n";
        code = reporter.AllPassed() ? 0 : 1;
    }
    if (json) fputs(report.c_str(), stdout);
    fflush(stdout);
    if (!reportUrl.empty() && !DeliverReport(reportUrl, report) && reportRequired) return kReportNotDelivered;
    return code;
}
