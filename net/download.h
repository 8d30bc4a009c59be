#pragma once
// File downloads over HTTP, with progress records posted to a window.
#include "base/messages.h"

#include <windows.h>

#include <stdint.h>
#include <stdio.h>

#include <string>

enum TransferKind {
    kTransferBrowserInstaller = 5,
    kTransferComponent = 8,
    kTransferSpeedTest = 9,
};

enum DownloadResult {
    kDownloadOk = 1,
    kDownloadNoJob = 10,
    kDownloadUrlUnavailable = 11,
    kDownloadNoFolder = 12,
    kDownloadFileExists = 13,
    kDownloadNoLength = 14,
    kDownloadCannotOpen = 15,
    kDownloadTransferFailed = 21,
    kDownloadLocked = 99,
};

struct DownloadJob {
    uint32_t total = 0;
    uint32_t received = 0;
    FILE* file = nullptr;
    HWND window = nullptr;
    int kind = kTransferBrowserInstaller;
    int row = 0;
    std::string url;
    std::string path;
    DWORD lastPost = 0;          // tick of the last progress record posted
    uint64_t transferStart = 0;  // TransferClock when the body's first bytes arrived, 0 before
    uint64_t transferEnd = 0;    // TransferClock when it ended, 0 before
    // A transfer that moves no byte for this long (seconds, above 0) is given up.
    long stallSeconds = 30;
    DWORD lastByte = 0;  // tick of the last bytes received (or of the request)
};

// Posted with WM_DOWNLOAD_PROGRESS (wParam); the receiver deletes it.
struct DownloadProgress {
    double percent = 0;
    int kind = kTransferBrowserInstaller;
    int row = 4;
    int done = 0;
    int success = 1;
    std::string path;
    uint32_t total = 0;
    uint32_t received = 0;
    uint64_t started = 0;     // the job's transferStart
    // TransferClock when `received` was counted: the chunk's arrival, and on
    // the done record the transfer's end.
    uint64_t receivedAt = 0;
    // A receiver's own step after the download, reported the same way: 1
    // once the downloaded installer has run, `exitCode` its result.
    int stage = 0;
    DWORD exitCode = 0;
};

// Microseconds on the performance counter. GetTickCount moves in steps of
// up to 16 ms, so a whole transfer on a fast LAN, or the stretch between two
// progress records, could fit between two of its readings.
uint64_t TransferClock();

// Progress records of one download are at least this far apart; the
// final (done) record is always sent.
const DWORD kProgressInterval = 20;

// Bytes the transfer library reads from the socket at a time.
const long kReceiveBufferBytes = 2 * 1024 * 1024;

// Seconds to wait for a connection before giving up; a HEAD probe as a
// whole gets kProbeTimeout. Downloads have no overall limit, only the
// job's stallSeconds without a byte.
const long kConnectTimeout = 10;
const long kProbeTimeout = 30;

// HEAD probe: true only for a 200 answer (redirects are not followed).
bool IsUrlAvaliableFast(const char* url);

// Downloads `url` to `path`; returns a DownloadResult code. The bytes go
// to `path` + kPartialSuffix first; `path` is replaced only by a complete
// transfer and is left untouched otherwise. A reply that declares no
// length is refused with kDownloadNoLength. Every failure is logged with
// the URL, the target and the code's name.
int DownloadFile(DownloadJob* job, const char* url, int createFolders, int overwrite,
                 const char* path);
const char* const kPartialSuffix = ".download";

// The DownloadResult's name for the log ("transfer failed", ...).
const char* DownloadResultText(int result);

// Thread entry for _beginthreadex: downloads the job and ends by posting
// exactly one done record to its window, success or not.
unsigned __stdcall DownloadThread(void* job);
