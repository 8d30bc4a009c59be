#include "pages/networkpage.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/settings.h"
#include "base/textconv.h"
#include "base/worker.h"
#include "net/ipinfo.h"

#include <io.h>
#include <stdio.h>

#include <memory>

DownloadSpeedTest::DownloadSpeedTest(NetworkTabView& view, NetworkTestState& state)
    : m_view(view), m_state(state)
{
}

DownloadSpeedTest::~DownloadSpeedTest()
{
    // A job whose download still runs belongs to its worker until the done
    // record; never free it under the worker.
    if (m_job && m_state.downloadRunning) m_job.release();
}

void DownloadSpeedTest::ResetTabAndStart()
{
    m_view.ShowControl(kNetTestButton, false);
    for (int id = kNetIntroFirst; id <= kNetIntroLast; ++id) m_view.ShowControl(id, false);
    m_view.ShowControl(kNetRelationLabel, false);
    m_view.ShowControl(kNetRelationText, false);
    m_view.ShowControl(kNetSplitPane, true);
    m_view.ShowControl(kNetRetestButton, false);
    m_view.ShowControl(kNetBrowserPane, false);
    m_view.SetProgress(kNetDownloadBar, 0);
    m_view.SetText(kNetDownloadSpeed, "0KB/s");
    m_view.SetProgress(kNetUploadBar, 0);
    m_view.SetText(kNetUploadSpeed, "0KB/s");
    m_view.Redraw();
    Start();
}

void DownloadSpeedTest::Start()
{
    // The job is the worker's until its done record: no second run on it.
    if (m_state.downloadRunning) return;

    m_state.testRunning = 1;
    m_state.downloadRunning = 1;
    m_state.downloadStart = m_tick();
    if (!m_job) m_job.reset(new DownloadJob);

    m_view.ShowControl(kNetRetestButton, false);
    m_view.Redraw();

    DownloadJob& job = *m_job;
    job.path = SpeedTestPath();
    job.url = SpeedTestUrl();
    job.kind = kTransferSpeedTest;
    job.window = m_view.Window();
    job.received = 0;

    if (StartWorker(DownloadThread, &job)) return;
    // No worker: end the run as a failed one so the retest comes back.
    auto progress = std::make_unique<DownloadProgress>();
    progress->kind = kTransferSpeedTest;
    progress->done = 1;
    progress->success = 0;
    OnProgress(std::move(progress));
}

void DownloadSpeedTest::OnProgress(std::unique_ptr<DownloadProgress> progress)
{
    // The figure is the link's: timed from the body's first bytes, not from
    // the button and the probes before them, to when the record's bytes were
    // counted (on the done record the transfer's end, not the file's closing
    // and renaming after it). A record with no time behind it (the first
    // one's bytes arrived as the clock started) leaves the figure as it is.
    std::string figure;
    if (progress->started && progress->receivedAt > progress->started)
        figure = SpeedText(progress->received, progress->receivedAt - progress->started);
    m_view.SetProgress(kNetDownloadBar, static_cast<int>(progress->percent));
    if (!figure.empty()) m_view.SetText(kNetDownloadSpeed, figure);
    if (progress->done) {
        WriteLog("download speed test ended: %s, %u of %u bytes%s\r\n", figure.empty() ? "no figure" : figure.c_str(),
                 progress->received, progress->total, progress->success ? "" : ", failed");
        if (progress->success && !figure.empty()) m_state.lastDownload = figure;
        m_state.downloadRunning = 0;
        if (!m_state.uploadRunning) m_state.testRunning = 0;
        m_view.ShowControl(kNetRetestButton, true);
        m_view.Redraw();
    }
}

bool DownloadSpeedTest::DiscardJob()
{
    if (m_state.downloadRunning) return false;
    m_job.reset();
    return true;
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

bool UploadSpeedTest::BeginChoosing()
{
    if (m_state.uploadRunning) return false;
    m_state.testRunning = 1;
    m_state.uploadRunning = 1;
    return true;
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
        if (!unavailable && m_lastFigure != "0KB/s") m_state.lastUpload = m_lastFigure;
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

void RefreshConnectionPanel(NetworkTabView& view)
{
    ConnectionTexts texts = DescribeConnection(g_serverSettings.serverIp, g_ipServiceAvailable,
                                               g_clientInfo, g_serverInfo);
    view.SetText(kNetClientText, texts.client);
    view.SetText(kNetServerText, texts.server);
    view.SetText(kNetRelationText, texts.relation);
}
