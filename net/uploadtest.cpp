#include "net/uploadtest.h"

#include "base/log.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "net/download.h"
#include "net/httpclient.h"

#include <io.h>
#include <stdio.h>

#include <memory>

std::string UploadTestUrl()
{
    return ServerFileUrl(g_serverSettings, "SM/Upload", kUploadPage);
}

std::string UploadSpeedText(uint32_t posted, DWORD elapsedMs)
{
    double seconds = elapsedMs / 1000.0;
    if (seconds == 0) seconds = 1.0;
    char text[64];
    snprintf(text, sizeof text, "%.1fKB/s", posted * 0.0009765625 / seconds);
    return text;
}

namespace {

void PostProgress(HWND window, uint32_t total, uint32_t posted, int done, DWORD started = 0)
{
    auto record = std::make_unique<UploadProgress>();
    record->total = total;
    record->posted = posted;
    record->done = done;
    record->started = started;
    PostRecord(window, WM_UPLOAD_PROGRESS, std::move(record));
}

void PostDone(HWND window, bool unavailable)
{
    auto record = std::make_unique<UploadProgress>();
    record->total = record->posted = record->done = 1;
    record->unavailable = unavailable ? 1 : 0;
    PostRecord(window, WM_UPLOAD_PROGRESS, std::move(record));
}

// The whole upload; throws what the client throws.
void Upload(const std::wstring& path, const std::wstring& url, HWND window)
{
    Vexel::CHttpClient client;
    client.SetInternet(L"My User Agent v1.0", 0, nullptr, nullptr, 0);
    client.SetHeader(L"Vexel-Magic", L"My Magic Header");
    client.SetHeader(L"User-Magic", L"User's Magic Header");
    client.SetUseUtf8(TRUE);
    client.AddParam(L"", path.c_str(), Vexel::ParamFile);
    client.BeginUpload(url.c_str(), 0x84400F00);
    // The figure times the transfer, not the thread's start, the libraries'
    // loading and the connection before it.
    const DWORD started = GetTickCount();

    // No pause between steps: the figure must be the link's. The message
    // rate is bounded by time instead.
    Vexel::CHttpPostStat stat;
    std::unique_ptr<Vexel::CHttpResponse> response;
    uint32_t total = 0, posted = 0;
    DWORD lastPost = 0;
    bool first = true;
    while (!response) {
        client.QueryPostStat(stat);
        total = stat.CurrParamTotalByte();
        posted = stat.CurrParamPostedByte();
        DWORD now = GetTickCount();
        if (first || now - lastPost >= kUploadRecordInterval) {
            PostProgress(window, total, posted, 0, started);
            lastPost = now;
            first = false;
        }
        response.reset(client._ProceedUploadContext());
    }
    // The request has ended: the server holds every byte. The last figure
    // is taken now, not when the last bytes went into the socket's buffer,
    // nor after the handles have been closed.
    PostProgress(window, total, posted, 0, started);
}

} // namespace

unsigned __stdcall UploadThread(void* param)
{
    // The job stays the window's: everything needed is copied here, and the
    // job is not touched again.
    auto* job = static_cast<UploadJob*>(param);
    HWND window = job->window;
    std::string path;
    if (job->path.size()) path.assign(reinterpret_cast<const char*>(job->path.data()), job->path.size());
    const std::string ansiUrl = job->url;
    std::wstring widePath = AnsiToWide(path);
    std::wstring url = AnsiToWide(ansiUrl);

    // Probed here rather than on the window's thread: a server that takes
    // the connection and never answers holds the probe for its whole
    // time-out.
    if (!IsUrlAvaliableFast(ansiUrl.c_str())) {
        PostDone(window, true);
        return 0;
    }
    try {
        Upload(widePath, url, window);
    } catch (const Vexel::httpclientexceptionW& e) {
        // The client has closed its handles; the test ends like a finished
        // one, with the figure reached so far.
        WriteLog("UploadThread failed: %d %s (%lu)\r\n", e.LastError(), WideToAnsi(e.errmsg()).c_str(),
                 e.Win32LastError());
    } catch (const std::exception& e) {
        WriteLog("UploadThread failed: %s\r\n", e.what());
    }
    PostDone(window, false);
    return 0;
}
