#include "browser/cache.h"

#include "base/log.h"
#include "base/textconv.h"

#include <shellapi.h>

#include <utility>

namespace {

ShellLauncher g_launcher;

HINSTANCE Launch(const wchar_t* parameters, int show)
{
    HINSTANCE result = g_launcher ? g_launcher(nullptr, L"open", L"rundll32.exe", parameters, nullptr, show)
                                  : ShellExecuteW(nullptr, L"open", L"rundll32.exe", parameters, nullptr, show);
    // Values above 32 mean the program started.
    const auto code = reinterpret_cast<INT_PTR>(result);
    WriteLog("ClearIECache: rundll32.exe %s %s\r\n", WideToAnsi(parameters).c_str(),
             code > 32 ? "started" : "did not start");
    return result;
}

} // namespace

void SetShellLauncher(ShellLauncher launcher)
{
    g_launcher = std::move(launcher);
}

bool ClearIECache()
{
    // The applet's flags: 8 temporary files, 2 cookies, 16 form data, 4351
    // everything including add-on data. Nothing waits for them to finish.
    Launch(L"InetCpl.cpl,ClearMyTracksByProcess 8", SW_HIDE);
    Launch(L"InetCpl.cpl,ClearMyTracksByProcess 2", SW_SHOWNORMAL);
    Launch(L"InetCpl.cpl,ClearMyTracksByProcess 16", SW_HIDE);
    Launch(L"InetCpl.cpl,ClearMyTracksByProcess 4351", SW_HIDE);
    return true;
}
