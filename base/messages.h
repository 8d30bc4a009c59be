#pragma once
// The window messages of the program, in one place so no two can share a
// number, and the one way a heap record crosses from a worker to a window:
// posted as a unique_ptr, owned by the receiver on every path.
#include <windows.h>

#include <memory>

// A check run's record (sent, wParam the record, lParam the run) and end.
const UINT WM_CHECK_ROW = WM_USER + 1;
const UINT WM_CHECK_DONE = WM_USER + 2;
// Posted records: a DownloadProgress, an UploadProgress, an AddressLookup.
const UINT WM_DOWNLOAD_PROGRESS = WM_USER + 3;
const UINT WM_UPLOAD_PROGRESS = WM_USER + 4;
const UINT WM_ADDRESS_LOOKUP = WM_USER + 5;
// The host window's own: its message filter; and sent to the window holding
// the browser pane, whose answer is the DOCHOSTUIFLAG set the document is
// shown with.
const UINT WM_SKIN_MESSAGE_FILTER = WM_USER + 200;
const UINT WM_BROWSER_HOST_FLAGS = WM_USER + 201;
// The tray icon's callback.
const UINT WM_TRAY_NOTIFY = WM_APP + 100;

// Posts `record` as wParam. The window owns it once this returns true; when
// the post fails (the window is gone, its queue full) the record is freed
// here, so nothing leaks on either path.
template <typename Record>
bool PostRecord(HWND window, UINT message, std::unique_ptr<Record> record, LPARAM lParam = 0)
{
    if (!PostMessageW(window, message, reinterpret_cast<WPARAM>(record.get()), lParam)) return false;
    record.release();
    return true;
}

// The receiver's side: the posted record, owned from here on.
template <typename Record>
std::unique_ptr<Record> TakeRecord(WPARAM wParam)
{
    return std::unique_ptr<Record>(reinterpret_cast<Record*>(wParam));
}
