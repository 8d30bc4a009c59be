#pragma once
// The network tab's upload speed test's worker: a file the user picked is
// posted to the server's upload page, its progress reported in records.
#include "base/messages.h"
#include "base/binbuffer.h"

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
