#pragma once
// The network tab's upload speed test: a file the user picked is posted to
// the server's upload page, and the worker's progress records become the
// bar and the "KB/s" figure.
#include "base/messages.h"
#include "base/binbuffer.h"
#include "net/speedtest.h"

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <string>

// Posted with WM_UPLOAD_PROGRESS (wParam); the receiver deletes it. The
// last record of a test carries total 1, posted 1, done 1.
struct UploadProgress {
    uint32_t total = 0;   // bytes of the file
    uint32_t posted = 0;  // bytes of it sent so far
    int done = 0;
    DWORD started = 0;    // tick when the request head had gone out, 0 before
    int unavailable = 0;  // done record only: the page failed the probe, nothing was sent
};

// One test; held by the window and freed by the done record.
struct UploadJob {
    BinBuffer path;  // the file's path in the active code page, no terminator
    HWND window = nullptr;
    std::string url;
    uint32_t size = 0;
};

// Files larger than this are refused (exactly 20 MiB is accepted).
const uint64_t kMaxUploadSize = 20971520;
// Progress records of one upload are at least this far apart; the last
// figure is always sent.
const DWORD kUploadRecordInterval = 20;
const char* const kUploadPage = "TestUploadSpeed.aspx";

// "http://address:port<site prefix>/SM/Upload/TestUploadSpeed.aspx".
std::string UploadTestUrl();

// "%.1fKB/s" for `posted` bytes after `elapsedMs` (0 counts as one second).
std::string UploadSpeedText(uint32_t posted, DWORD elapsedMs);

// Thread entry for _beginthreadex: probes the job's page, posts the file and
// ends by posting exactly one done record to its window, whether the upload
// worked or not (marked unavailable when the page failed the probe). It
// reads the job only at its start.
unsigned __stdcall UploadThread(void* job);

class UploadSpeedTest {
public:
    UploadSpeedTest(NetworkTabView& view, NetworkTestState& state);
    ~UploadSpeedTest();

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
