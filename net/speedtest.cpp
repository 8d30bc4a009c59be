#include "net/speedtest.h"

#include "base/log.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/worker.h"

#include <stdio.h>

std::string SpeedTestUrl()
{
    return ServerFileUrl(g_serverSettings, "Download/IE", kSpeedTestFile);
}

std::string SpeedTestPath()
{
    return DownloadFolder() + "\\" + kSpeedTestFile;
}

std::string SpeedText(uint32_t received, DWORD elapsedMs)
{
    // Whole seconds would be off by up to a second on every run, and a file
    // that arrives within the first second would be divided by a whole one,
    // capping the figure at the file's size per second on a fast LAN: divide
    // by the milliseconds, a zero interval counting as one.
    uint64_t kilobytes = received >> 10;
    uint64_t ms = elapsedMs ? elapsedMs : 1;
    char text[32];
    snprintf(text, sizeof text, "%lluKB/s", static_cast<unsigned long long>(kilobytes * 1000 / ms));
    return text;
}

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
    job.createFolders = 1;
    job.overwrite = 1;
    job.path = SpeedTestPath();
    job.url = SpeedTestUrl();
    job.kind = kTransferSpeedTest;
    job.window = m_view.Window();
    job.received = 0;

    if (StartWorker(DownloadThread, &job)) return;
    // No worker: end the run as a failed one so the retest comes back.
    auto* progress = new DownloadProgress;
    progress->kind = kTransferSpeedTest;
    progress->done = 1;
    progress->success = 0;
    OnProgress(progress);
}

void DownloadSpeedTest::OnProgress(DownloadProgress* progress)
{
    // The figure is the link's: timed from the start of the transfer itself
    // once there is one, not from the button and the probes before it, and
    // on the done record up to the transfer's end, not the file's closing
    // and renaming after it.
    DWORD origin = progress->started ? progress->started : m_state.downloadStart;
    DWORD end = progress->finished ? progress->finished : m_tick();
    DWORD elapsed = end - origin;
    m_view.SetProgress(kNetDownloadBar, static_cast<int>(progress->percent));
    m_view.SetText(kNetDownloadSpeed, SpeedText(progress->received, elapsed));
    if (progress->done) {
        WriteLog("download speed test ended: %s, %u of %u bytes%s\r\n", SpeedText(progress->received, elapsed).c_str(),
                 progress->received, progress->total, progress->success ? "" : ", failed");
        m_state.downloadRunning = 0;
        if (!m_state.uploadRunning) m_state.testRunning = 0;
        m_view.ShowControl(kNetRetestButton, true);
        m_view.Redraw();
    }
    delete progress;
}

bool DownloadSpeedTest::DiscardJob()
{
    if (m_state.downloadRunning) return false;
    m_job.reset();
    return true;
}
