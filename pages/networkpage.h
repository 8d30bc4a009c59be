#pragma once
// The network tab's presenters: the download and upload speed tests turned
// into the bars and the "KB/s" figures, and the connection panel's texts.
#include "net/download.h"
#include "net/speedtest.h"
#include "net/uploadtest.h"

#include <windows.h>

#include <memory>
#include <string>

// What the network tab shows. The main window implements it on its
// controls; tests implement it to record what would be shown.
class NetworkTabView {
public:
    virtual ~NetworkTabView() = default;
    virtual HWND Window() = 0;  // receiver of the progress records
    virtual void ShowControl(int id, bool visible) = 0;
    virtual void SetProgress(int id, int percent) = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual void Redraw() = 0;
};

// Control identifiers of the network tab.
enum NetworkTabControl {
    kNetTestButton = 10,
    kNetSplitPane = 14,
    kNetDownloadBar = 16,
    kNetUploadBar = 17,
    kNetDownloadSpeed = 18,
    kNetUploadSpeed = 19,
    kNetRetestButton = 20,
    kNetUploadButton = 21,
    kNetInternetButton = 15,
    kNetBrowserPane = 22,
    kNetIntroFirst = 1141,
    kNetIntroLast = 1149,
    kNetClientText = 1147,
    kNetServerText = 1149,
    kNetRelationLabel = 11411,
    kNetRelationText = 11412,
};

// Flags the download and upload tests share; they live in the window.
struct NetworkTestState {
    int testRunning = 0;
    int downloadRunning = 0;
    int uploadRunning = 0;
    DWORD downloadStart = 0;  // GetTickCount at the start
    DWORD uploadStart = 0;
    // The figures of the last tests that ended well ("": none yet), for the
    // check's report.
    std::string lastDownload;
    std::string lastUpload;
};

class DownloadSpeedTest {
public:
    DownloadSpeedTest(NetworkTabView& view, NetworkTestState& state);
    ~DownloadSpeedTest();

    // Button 10: hides the introduction, shows the speed panes at 0, starts.
    void ResetTabAndStart();
    // Button 20 (retest), and the end of the reset: downloads the test file.
    void Start();
    // WM_DOWNLOAD_PROGRESS of the speed test; frees the record.
    void OnProgress(std::unique_ptr<DownloadProgress> progress);
    // Switching to the tab while no test runs drops the job; false (and the
    // job kept) while its download runs.
    bool DiscardJob();

    const DownloadJob* Job() const { return m_job.get(); }
    // The clock, replaceable by tests.
    DWORD (*m_tick)() = DefaultTick;

private:
    static DWORD DefaultTick() { return GetTickCount(); }

    NetworkTabView& m_view;
    NetworkTestState& m_state;
    std::unique_ptr<DownloadJob> m_job;
};

class UploadSpeedTest {
public:
    UploadSpeedTest(NetworkTabView& view, NetworkTestState& state);
    ~UploadSpeedTest();

    // Button 21, before the window's file dialog opens: the test counts as
    // running (so a download test's end leaves the flag set). False while an
    // upload runs or a file is being chosen: no dialog then.
    bool BeginChoosing();
    // Button 21, once the window's file dialog has returned: `path` is the
    // chosen file, empty when the dialog was cancelled. Checks the file and
    // starts the worker, which probes the server page; false when nothing
    // started. Never waits for the network.
    bool Start(const std::wstring& path);
    // WM_UPLOAD_PROGRESS; frees the record. -1 for a message without one. A
    // done record marked unavailable shows the page's message box.
    LRESULT OnProgress(std::unique_ptr<UploadProgress> progress);

    const UploadJob* Job() const { return m_job.get(); }
    // The clock, replaceable by tests.
    DWORD (*m_tick)() = DefaultTick;

private:
    static DWORD DefaultTick() { return GetTickCount(); }
    void EndRun();

    NetworkTabView& m_view;
    NetworkTestState& m_state;
    std::unique_ptr<UploadJob> m_job;
    std::string m_lastFigure = "0KB/s";  // for the log line at the end
};

// Fills the connection panel from the stored lookup records.
void RefreshConnectionPanel(NetworkTabView& view);
