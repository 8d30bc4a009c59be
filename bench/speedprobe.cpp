// Runs the network tab's download speed test once against a server and
// prints the figure the tab would end with, as
// "<KB/s> <bytes> <ms in all> <ms to the first progress record>".
//   speedprobe <server address> <port> [<website path>]
#include "app/app.h"
#include "app/config.h"
#include "app/textconv.h"
#include "net/speedtest.h"

#include <stdio.h>
#include <stdlib.h>

#include <map>

namespace {
class ConsoleView : public NetworkTabView {
public:
    ConsoleView()
    {
        m_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    }
    ~ConsoleView() override { DestroyWindow(m_window); }
    HWND Window() override { return m_window; }
    void ShowControl(int, bool) override {}
    void SetProgress(int, int) override {}
    void SetText(int id, const std::string& text) override { texts[id] = text; }
    void Redraw() override {}
    std::map<int, std::string> texts;

private:
    HWND m_window;
};
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: speedprobe <server address> <port> [<website path>]\n");
        return 2;
    }
    CVelmoraChatApp app(GetModuleHandleW(nullptr), L"", SW_HIDE);
    g_pApp = &app;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    app.m_dataFolder = std::wstring(temp) + L"pylonix-speedprobe\\";
    CreateDirectoryW(app.m_dataFolder.c_str(), nullptr);

    g_serverSettings.serverAddr = argv[1];
    g_serverSettings.serverPort = static_cast<uint16_t>(atoi(argv[2]));
    g_serverSettings.serverWebsite = argc > 3 ? argv[3] : kDefaultServerWebsite;

    ConsoleView view;
    NetworkTestState state;
    DownloadSpeedTest test(view, state);
    test.ResetTabAndStart();

    bool success = false;
    DWORD firstRecord = 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_DOWNLOAD_PROGRESS) continue;
        auto* record = reinterpret_cast<DownloadProgress*>(msg.wParam);
        bool done = record->done != 0;
        if (!firstRecord) firstRecord = GetTickCount() - state.downloadStart;
        success = record->success != 0;
        test.OnProgress(record);
        if (done) break;
    }
    const DownloadJob* job = test.Job();
    printf("%s %u %lu %lu\n", view.texts[kNetDownloadSpeed].c_str(), job ? job->received : 0,
           GetTickCount() - state.downloadStart, firstRecord);
    DeleteFileW(AnsiToWide(SpeedTestPath()).c_str());
    return success ? 0 : 1;
}
