// PylonixCheck.exe: the client check without the window, for administrators
// and scripts. Same engine and local.ini as the program; one line per record
// (or a JSON array with --json); exit 0 when every record passed, 1 when one
// did not, 2 when the check could not run.
#include "app/app.h"
#include "app/config.h"
#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "check/checkrun.h"

#include <process.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

namespace {

const char* StateName(int state)
{
    switch (state) {
    case kStatePassed: return "passed";
    case kStateFailed: return "failed";
    case kStateWarning: return "warning";
    default: return "unknown";
    }
}

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

class ConsoleReporter : public CheckReporter {
public:
    explicit ConsoleReporter(bool json) : m_json(json) {}

    void OnCheckRow(CheckItem& item) override
    {
        if (item.state != kStatePassed) m_allPassed = false;
        if (m_json) {
            m_records.push_back(item);
            return;
        }
        // Narrow texts as the program keeps them (the active code page).
        printf("%d\t%s\t%s\t%s\t%s\n", item.row, item.title.c_str(), StateName(item.state),
               item.description.c_str(), item.optimal.c_str());
        fflush(stdout);
    }

    void OnCheckDone() override
    {
        if (!m_json) return;
        printf("[");
        for (size_t i = 0; i < m_records.size(); ++i) {
            const CheckItem& r = m_records[i];
            printf("%s\n  {\"kind\": %d, \"title\": %s, \"description\": %s, \"installed\": %d, "
                   "\"optimal\": %s, \"progress\": %d, \"state\": %d, \"row\": %d}",
                   i ? "," : "", r.kind, JsonText(r.title).c_str(), JsonText(r.description).c_str(),
                   r.installed, JsonText(r.optimal).c_str(), r.progress, r.state, r.row);
        }
        printf("\n]\n");
        fflush(stdout);
    }

    bool AllPassed() const { return m_allPassed; }

private:
    bool m_json;
    bool m_allPassed = true;
    std::vector<CheckItem> m_records;
};

struct CheckRun {
    CheckReporter* reporter;
    CheckItem items[kCheckItemCount];
};

unsigned __stdcall RunCheck(void* param)
{
    auto* run = static_cast<CheckRun*>(param);
    RunClientCheck(run->items, *run->reporter);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    bool json = argc == 2 && wcscmp(argv[1], L"--json") == 0;
    if (argc > 2 || (argc == 2 && !json)) {
        fprintf(stderr, "usage: PylonixCheck [--json]\n");
        return 2;
    }

    CVelmoraChatApp app(GetModuleHandleW(nullptr), L"", SW_HIDE);
    g_pApp = &app;
    // A console tool must never wait behind a dialog: messages go to stderr.
    SetMessageBoxRecorder([](const MessageBoxCall& call) {
        fprintf(stderr, "%s: %s\n", call.caption.c_str(), call.text.c_str());
        return IDOK;
    });
    MakeDirectories(DownloadFolder().c_str());
    WriteStartLine("---------------------------Pylonix Check----------------------\r\n");
    if (!LoadGlobelSetting()) WriteLog("[error] LoadGlobelSetting!!!");
    if (!LoadComponentList()) {
        fprintf(stderr, "PylonixCheck: the settings could not be loaded (see the log)\n");
        return 2;
    }

    // The check runs on a thread of its own, as the window runs it: the
    // hotfix query needs a multithreaded apartment, which a thread already
    // in a single-threaded one cannot enter.
    ConsoleReporter reporter(json);
    CheckRun run{&reporter, {}};
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunCheck, &run, 0, nullptr));
    if (!thread) {
        fprintf(stderr, "PylonixCheck: the check thread did not start\n");
        return 2;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return reporter.AllPassed() ? 0 : 1;
}
