#pragma once
// File downloads over HTTP, with progress records posted to a window.
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

const UINT WM_DOWNLOAD_PROGRESS = WM_USER + 3;

struct DownloadJob {
    int createFolders = 1;
    int overwrite = 1;
    uint32_t total = 0;
    uint32_t received = 0;
    FILE* file = nullptr;
    HWND window = nullptr;
    int kind = kTransferBrowserInstaller;
    int row = 0;
    std::string url;
    std::string path;
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
};

// HEAD probe: true only for a 200 answer (redirects are not followed).
bool IsUrlAvaliableFast(const char* url);

// HEAD probe for the declared length (low 32 bits).
bool GetRemoteFileSize(const char* url, uint32_t& size);

// Downloads `url` to `path`; returns a DownloadResult code.
int DownloadFile(DownloadJob* job, const char* url, int createFolders, int overwrite,
                 const char* path);

// Thread entry for _beginthreadex: downloads the job and makes sure its
// window receives exactly one done record.
unsigned __stdcall DownloadThread(void* job);
