#include "net/uploadtest.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "base/worker.h"
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

UploadSpeedTest::UploadSpeedTest(NetworkTabView& view, NetworkTestState& state) : m_view(view), m_state(state) {}

UploadSpeedTest::~UploadSpeedTest()
{
    // A running worker still reads its job: never free it under the worker.
    if (m_job && m_state.uploadRunning) m_job.release();
}

void UploadSpeedTest::EndRun()
{
    m_state.uploadRunning = 0;
    if (!m_state.downloadRunning) m_state.testRunning = 0;
}

bool UploadSpeedTest::Start(const std::wstring& chosen)
{
    // One upload at a time: its job belongs to the worker until done.
    if (m_state.uploadRunning && m_job) return false;
    m_state.testRunning = 1;
    m_state.uploadRunning = 1;

    std::string path = WideToAnsi(chosen);
    // A name the code page cannot spell ("?" in it) is reached by its short
    // (8.3) name, which is plain ASCII.
    if (!chosen.empty() && AnsiToWide(path) != chosen) {
        wchar_t shortName[MAX_PATH];
        const DWORD length = GetShortPathNameW(chosen.c_str(), shortName, MAX_PATH);
        path = length > 0 && length < MAX_PATH ? WideToAnsi(std::wstring(shortName, length)) : std::string();
        if (path.empty() || AnsiToWide(path) != std::wstring(shortName, length)) {
            WriteLog("upload speed test: the chosen file has no name in the code page\r\n");
            ShowMessageBox(nullptr, "上传测试文件不可用,请选择其他文件", "警告", MB_ICONINFORMATION);
            EndRun();
            return false;
        }
    }
    // 64-bit size: a file of 4 GiB and a few bytes must not pass as small.
    int64_t size = -1;
    if (!chosen.empty() && _access(path.c_str(), 0) == 0) {
        size = 0;
        if (FILE* file = fopen(path.c_str(), "rb")) {
            if (_fseeki64(file, 0, SEEK_END) == 0) size = _ftelli64(file);
            if (size < 0) size = INT64_MAX;
            fclose(file);
        }
    }
    if (size < 0) {
        EndRun();
        return false;
    }
    if (static_cast<uint64_t>(size) > kMaxUploadSize) {
        ShowMessageBox(nullptr, "上传测试文件不要超过20m", "警告", MB_ICONINFORMATION);
        EndRun();
        return false;
    }

    m_job.reset(new UploadJob);
    m_job->path.write(path.data(), static_cast<uint32_t>(path.size()));
    m_job->url = UploadTestUrl();
    m_job->size = static_cast<uint32_t>(size);
    m_job->window = m_view.Window();

    m_state.uploadStart = m_tick();
    m_lastFigure = "0KB/s";
    if (!StartWorker(UploadThread, m_job.get())) {
        WriteLog("UploadThread could not start\r\n");
        m_job.reset();
        EndRun();
        return false;
    }
    return true;
}

LRESULT UploadSpeedTest::OnProgress(std::unique_ptr<UploadProgress> progress)
{
    if (!progress) return -1;
    if (progress->done) {
        // The page as the worker probed it (the job's copy), whatever the
        // settings say by now.
        const bool unavailable = progress->unavailable && m_job;
        const std::string url = m_job ? m_job->url : std::string();
        if (unavailable)
            WriteLog("upload speed test: the page %s did not answer\r\n", url.c_str());
        else
            WriteLog("upload speed test ended: %s\r\n", m_lastFigure.c_str());
        m_job.reset();
        EndRun();
        // The box waits for the user: the run has ended before it opens, so
        // a click meanwhile is a new start, not one ignored.
        if (unavailable) {
            m_view.Redraw();
            const std::string text = "上传测试接口:" + url + " 不可用";
            ShowMessageBox(nullptr, text.c_str(), "警告", MB_ICONINFORMATION);
            return 0;
        }
    } else {
        // Bytes sent so far over the time so far: the rate of the link,
        // ending at the average of the whole upload.
        // An empty file is complete from the start.
        int percent = progress->total
                          ? static_cast<int>(static_cast<double>(progress->posted) / progress->total * 100.0)
                          : 100;
        m_view.SetProgress(kNetUploadBar, percent);
        DWORD origin = progress->started ? progress->started : m_state.uploadStart;
        m_lastFigure = UploadSpeedText(progress->posted, m_tick() - origin);
        m_view.SetText(kNetUploadSpeed, m_lastFigure);
    }
    m_view.Redraw();
    return 0;
}
