// Runs the network tab's upload speed test once against a server and
// prints the figure the tab would end with, as
// "<KB/s> <bytes> <ms in all> <records>".
//   uploadprobe <server address> <port> <file> [<website path>]
#include "app/app.h"
#include "app/config.h"
#include "app/textconv.h"
#include "net/uploadtest.h"

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
    if (argc < 4) {
        fprintf(stderr, "usage: uploadprobe <server address> <port> <file> [<website path>]\n");
        return 2;
    }
    CVelmoraChatApp app(GetModuleHandleW(nullptr), L"", SW_HIDE);
    g_pApp = &app;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    app.m_dataFolder = std::wstring(temp) + L"pylonix-uploadprobe\\";
    CreateDirectoryW(app.m_dataFolder.c_str(), nullptr);

    g_serverSettings.serverAddr = argv[1];
    g_serverSettings.serverPort = static_cast<uint16_t>(atoi(argv[2]));
    g_serverSettings.serverWebsite = argc > 4 ? argv[4] : kDefaultServerWebsite;

    ConsoleView view;
    NetworkTestState state;
    UploadSpeedTest test(view, state);
    if (!test.Start(AnsiToWide(argv[3]))) {
        fprintf(stderr, "uploadprobe: the test did not start\n");
        return 1;
    }
    uint32_t posted = 0;
    int records = 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_UPLOAD_PROGRESS) continue;
        auto* record = reinterpret_cast<UploadProgress*>(msg.wParam);
        bool done = record && record->done;
        if (record && !done) posted = record->posted;
        ++records;
        test.OnProgress(record);
        if (done) break;
    }
    printf("%s %u %lu %d\n", view.texts[kNetUploadSpeed].c_str(), posted, GetTickCount() - state.uploadStart,
           records);
    return 0;
}
