// Runs one of the network tab's speed tests once against a server and prints
// the figure the tab would end with:
//   speedprobe download <server address> <port> [<website path>]
//     -> "<KB/s> <bytes> <ms in all> <ms to the first progress record>"
//   speedprobe upload <server address> <port> <file> [<website path>]
//     -> "<KB/s> <bytes> <ms in all> <records>"
#include "settings/config.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "pages/networkpage.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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

int Download(ConsoleView& view, NetworkTestState& state)
{
    DownloadSpeedTest test(view, state);
    test.ResetTabAndStart();
    bool success = false;
    DWORD firstRecord = 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_DOWNLOAD_PROGRESS) continue;
        std::unique_ptr<DownloadProgress> record = TakeRecord<DownloadProgress>(msg.wParam);
        const bool done = record->done != 0;
        if (!firstRecord) firstRecord = GetTickCount() - state.downloadStart;
        success = record->success != 0;
        test.OnProgress(std::move(record));
        if (done) break;
    }
    const DownloadJob* job = test.Job();
    printf("%s %u %lu %lu\n", view.texts[kNetDownloadSpeed].c_str(), job ? job->received : 0,
           GetTickCount() - state.downloadStart, firstRecord);
    DeleteFileW(AnsiToWide(SpeedTestPath()).c_str());
    return success ? 0 : 1;
}

int Upload(ConsoleView& view, NetworkTestState& state, const char* file)
{
    UploadSpeedTest test(view, state);
    if (!test.Start(AnsiToWide(file))) {
        fprintf(stderr, "speedprobe: the upload test did not start\n");
        return 1;
    }
    uint32_t posted = 0;
    int records = 0;
    bool unavailable = false;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_UPLOAD_PROGRESS) continue;
        std::unique_ptr<UploadProgress> record = TakeRecord<UploadProgress>(msg.wParam);
        const bool done = record && record->done;
        if (record && !done) posted = record->posted;
        if (done) unavailable = record->unavailable != 0;
        ++records;
        test.OnProgress(std::move(record));
        if (done) break;
    }
    if (unavailable) {
        fprintf(stderr, "speedprobe: the upload page did not answer\n");
        return 1;
    }
    printf("%s %u %lu %d\n", view.texts[kNetUploadSpeed].c_str(), posted, GetTickCount() - state.uploadStart,
           records);
    return 0;
}

int Usage()
{
    fprintf(stderr, "usage: speedprobe download <server address> <port> [<website path>]\n"
                    "       speedprobe upload <server address> <port> <file> [<website path>]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) return Usage();
    const bool upload = strcmp(argv[1], "upload") == 0;
    if (!upload && strcmp(argv[1], "download") != 0) return Usage();
    if (upload && argc < 5) return Usage();

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetDataFolder(std::wstring(temp) + L"pylonix-speedprobe\\");
    CreateDirectoryW(DataFolder().c_str(), nullptr);

    g_serverSettings.serverAddr = argv[2];
    g_serverSettings.serverPort = static_cast<uint16_t>(atoi(argv[3]));
    const int websiteArg = upload ? 5 : 4;
    g_serverSettings.serverWebsite = argc > websiteArg ? argv[websiteArg] : kDefaultServerWebsite;

    ConsoleView view;
    NetworkTestState state;
    return upload ? Upload(view, state, argv[4]) : Download(view, state);
}
