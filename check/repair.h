#pragma once
// What a repair may do to the check tab's rows. The main window implements
// it; tests implement it to record what would be shown.
#include "check/checkitem.h"

#include <windows.h>

#include <string>

enum RowResult {
    kRowSuccess = 0,
    kRowDownloadFailed = 1,
    kRowNoChange = 2,
    kRowInstallFailed = 3,
    kRowHashMismatch = 4,  // the file is not the one the server lists: not installed
};

// "passed", "download failed", "install failed" or "unchanged".
inline const char* RowResultName(int result)
{
    return result == kRowSuccess           ? "passed"
           : result == kRowDownloadFailed ? "download failed"
           : result == kRowInstallFailed  ? "install failed"
           : result == kRowHashMismatch   ? "hash mismatch"
                                          : "unchanged";
}

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
    // Puts a repair's outcome into the row and its record; 1 when the row,
    // its icon and its button exist.
    virtual int SetRowResult(int result, int kind, int row) = 0;
    virtual void Redraw() = 0;

    // Repair downloads in flight; only its comparison with 0 matters.
    int busyCount = 0;
};
