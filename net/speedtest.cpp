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

std::string SpeedText(uint32_t received, uint64_t elapsedUs)
{
    // Whole seconds would be off by up to a second on every run, and a file
    // that arrives within the first second would be divided by a whole one,
    // capping the figure at the file's size per second on a fast LAN: divide
    // by the time itself. No time at all gives no figure, not an absurd one.
    if (!elapsedUs) return std::string();
    const uint64_t kilobytes = received >> 10;
    char text[32];
    snprintf(text, sizeof text, "%lluKB/s", static_cast<unsigned long long>(kilobytes * 1000000 / elapsedUs));
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
