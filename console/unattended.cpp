#include "console/unattended.h"

#include "base/log.h"
#include "pages/checkpage.h"

#include <windows.h>

namespace {

const wchar_t kWindowClass[] = L"PylonixUnattended";

// The check tab without a tab: rows are only counted, the records are the
// page's, and the run's and the repairs' messages reach the page through a
// message-only window.
class UnattendedView : public CheckPageView {
public:
    UnattendedView() : m_page(*this)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &UnattendedView::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);
        m_window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), this);
    }
    ~UnattendedView() override
    {
        if (m_window) DestroyWindow(m_window);
    }

    CheckPage& Page() { return m_page; }
    std::vector<UnattendedRun::Repair> repairs;
    bool Ready() const { return m_window != nullptr; }

    // Dispatches messages until `done` holds; false when `timeoutMs` passed first.
    template <class Done>
    bool PumpUntil(Done done, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        while (!done()) {
            const DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        return true;
    }

    std::vector<CheckItem> Records() const
    {
        std::vector<CheckItem> records;
        for (int row = 0; row < m_rows; ++row)
            for (int i = 0; i < kCheckItemCount; ++i)
                if (m_page.Item(i).kind && m_page.Item(i).row == row) records.push_back(m_page.Item(i));
        return records;
    }

    // --- CheckPageView ---
    HWND Window() override { return m_window; }
    int RowCount() override { return m_rows; }
    void ShowRowControl(int, int, int, bool) override {}
    void SetRowProgress(int, int, int) override {}
    void SetRowText(int, int, int, const std::string&) override {}
    void OnRowRepaired(int result, int kind, int row) override { repairs.push_back({kind, row, result}); }
    void Redraw() override {}
    void ShowControl(int, bool) override {}
    void SetCheckProgress(int value) override { m_progress = value; }
    int CheckProgress() override { return m_progress; }
    void DeleteAllRows() override { m_rows = 0; }
    int AppendRow(const std::string&) override { return m_rows++; }
    void SetRowSkin(int, int, int, const std::string&) override {}
    // Nobody is there to answer it: the settings stay as they are.
    bool OpenSettingsDialog() override { return true; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<UnattendedView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            switch (msg) {
            case WM_CHECK_ROW: return self->m_page.OnCheckRow(reinterpret_cast<CheckItem*>(wParam), lParam);
            case WM_CHECK_DONE: return self->m_page.OnCheckDone(lParam);
            case WM_DOWNLOAD_PROGRESS: self->m_page.OnDownloadProgress(TakeRecord<DownloadProgress>(wParam)); return 0;
            }
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    CheckPage m_page;
    HWND m_window = nullptr;
    int m_rows = 0;
    int m_progress = 0;
};

bool AllPassed(const std::vector<CheckItem>& records)
{
    for (const CheckItem& item : records)
        if (item.state != kStatePassed) return false;
    return !records.empty();
}

}  // namespace

int RunUnattendedRepair(bool upgradeBrowser, UnattendedRun* run, DWORD timeoutMs)
{
    UnattendedView view;
    if (!view.Ready()) {
        WriteLog("unattended repair: no message window\r\n");
        return kUnattendedNotRun;
    }
    CheckPage& page = view.Page();
    const auto checked = [&] { return !page.CheckRunning(); };

    page.StartClientCheck();
    if (!view.PumpUntil(checked, timeoutMs)) {
        WriteLog("unattended repair: the first check did not end\r\n");
        return kUnattendedNotRun;
    }
    run->before = view.Records();
    if (AllPassed(run->before)) {
        run->after = run->before;
        WriteLog("unattended repair: every row passed, nothing to repair\r\n");
        return kUnattendedAllPassed;
    }

    RepairChoice choice;
    choice.upgradeBrowser = upgradeBrowser;
    choice.askForServer = false;
    page.RepairAll(choice);
    if (!view.PumpUntil([&] { return !page.RepairsBusy(); }, timeoutMs)) {
        WriteLog("unattended repair: the repairs did not end\r\n");
        return kUnattendedNotRun;
    }
    run->repairs = view.repairs;

    page.StartClientCheck();
    if (!view.PumpUntil(checked, timeoutMs)) {
        WriteLog("unattended repair: the second check did not end\r\n");
        return kUnattendedNotRun;
    }
    run->after = view.Records();
    const bool passed = AllPassed(run->after);
    WriteLog("unattended repair: %s\r\n", passed ? "every row passes" : "rows still fail");
    return passed ? kUnattendedAllPassed : kUnattendedStillFailing;
}
