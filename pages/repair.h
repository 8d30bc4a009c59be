#pragma once
// The check tab's repairs and the rows they work on: their outcomes, the
// view of the rows and the page that owns both.
#include "check/checkitem.h"

#include <windows.h>

#include <string>

enum RowResult {
    kRowSuccess = 0,
    kRowDownloadFailed = 1,
    kRowNoChange = 2,
    kRowInstallFailed = 3,
    kRowHashMismatch = 4,  // the file is not the one the server lists: not installed
    kRowSignatureRefused = 5,  // not signed by a signer it may come from: not installed
};

// "passed", "download failed", "install failed", "hash mismatch",
// "signature refused" or "unchanged".
inline const char* RowResultName(int result)
{
    return result == kRowSuccess           ? "passed"
           : result == kRowDownloadFailed ? "download failed"
           : result == kRowInstallFailed  ? "install failed"
           : result == kRowHashMismatch   ? "hash mismatch"
           : result == kRowSignatureRefused ? "signature refused"
                                          : "unchanged";
}

// What a failed repair's row says.
inline const char* RowResultText(int result)
{
    return result == kRowDownloadFailed     ? "下载失败"
           : result == kRowHashMismatch     ? "文件校验失败"
           : result == kRowSignatureRefused ? "签名校验失败"
                                            : "安装失败";
}

// A repair's row: the run whose rows it works on and the row's kind (each
// kind has one row a run). A new run's rows replace the old ones, so a
// repair ending after that finds no row of its own.
struct RowRef {
    LPARAM run = 0;
    int kind = 0;
};

// What a repair may do to the check tab's rows. The main window implements
// it; tests implement it to record what would be shown.
class RepairView {
public:
    virtual ~RepairView() = default;
    // Receiver of the repair downloads' WM_DOWNLOAD_PROGRESS records.
    virtual HWND Window() = 0;
    virtual int RowCount() = 0;
    // A control of a row, by kind and RowSlot.
    virtual void ShowRowControl(int kind, int row, int slot, bool visible) = 0;
    virtual void SetRowProgress(int kind, int row, int percent) = 0;
    virtual void SetRowText(int kind, int row, int slot, const std::string& text) = 0;
    virtual void Redraw() = 0;
};

// The page a repair works for: it owns the rows and hears how repairs end.
class RepairOwner {
public:
    virtual ~RepairOwner() = default;
    // The position of the row among those shown, -1 once its run's rows
    // are gone.
    virtual int RowOf(const RowRef& ref) = 0;
    // A repair has started work that ends later (a download): the page
    // shows it is busy.
    virtual void RepairStarted() = 0;
    // A repair has ended with a RowResult; the repair is no longer busy.
    virtual void RepairEnded(int result, const RowRef& ref) = 0;
};
