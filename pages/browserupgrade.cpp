#include "pages/browserupgrade.h"

#include "base/filehash.h"
#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "base/worker.h"
#include "check/checkitem.h"
#include "check/signature.h"
#include "check/upgrade.h"

#include <shellapi.h>
#include <stdio.h>

#include <memory>

namespace {

PageOpener g_pageOpener;

void OpenPage(const wchar_t* verb, const wchar_t* file, int show)
{
    if (g_pageOpener) {
        g_pageOpener(verb, file, show);
        return;
    }
    ShellExecuteW(nullptr, verb, file, nullptr, nullptr, show);
}

}  // namespace

BrowserUpgrade::BrowserUpgrade(RepairView& view, RepairOwner& owner) : m_view(view), m_owner(owner) {}

BrowserUpgrade::~BrowserUpgrade()
{
    // A download still running keeps using its job until it posts the done
    // record, which nobody will read now: the job is left to it.
    m_job = nullptr;
}

void BrowserUpgrade::SetStatus(const char* text)
{
    const int row = m_owner.RowOf(m_row);
    if (row >= 0) m_view.SetRowText(kItemBrowserVersion, row, kSlotStatusText, text);
}

int BrowserUpgrade::UpgradeBrowser(const RowRef& ref)
{
    if (Busy()) return -1;
    const int row = m_owner.RowOf(ref);
    if (row < 0) return -1;
    m_row = ref;
    m_view.ShowRowControl(kItemBrowserVersion, row, kSlotActionButton, false);

    std::string url = BrowserInstallerUrl();
    // Backslash: the download creates the folder named before the last one.
    std::string path = DownloadFolder() + "\\" + BrowserInstallerName();
    WriteLog("Download ie :%s\r\n", url.c_str());
    if (url.empty()) {
        m_owner.RepairEnded(kRowDownloadFailed, m_row);
        return -1;
    }

    m_job = new DownloadJob;
    m_job->window = m_view.Window();
    m_job->kind = kTransferBrowserInstaller;
    m_job->row = row;
    m_job->url = url;
    m_job->path = path;
    m_installerDownloadOk = 1;

    m_view.ShowRowControl(kItemBrowserVersion, row, kSlotProgressBar, true);
    m_view.SetRowText(kItemBrowserVersion, row, kSlotStatusText, "下载中...");
    m_owner.RepairStarted();
    m_view.Redraw();

    if (!StartWorker(DownloadThread, m_job)) {
        // No thread, no done record: end the repair here instead of leaving
        // the row downloading for ever.
        WriteLog("Download ie: no thread, error %lu\r\n", GetLastError());
        delete m_job;
        m_job = nullptr;
        m_installerDownloadOk = 0;
        m_view.ShowRowControl(kItemBrowserVersion, row, kSlotProgressBar, false);
        SetStatus("下载失败");
        m_owner.RepairEnded(kRowDownloadFailed, m_row);
        return -1;
    }
    return 0;
}

namespace {

struct InstallerJob {
    HWND window;
    std::string path;
};

unsigned __stdcall InstallerThread(void* param)
{
    std::unique_ptr<InstallerJob> job(static_cast<InstallerJob*>(param));
    auto record = std::make_unique<DownloadProgress>();
    record->kind = kTransferBrowserInstaller;
    record->done = 1;
    record->path = job->path;
    record->stage = 1;
    record->exitCode = RunInstaller(job->path);
    PostRecord(job->window, WM_DOWNLOAD_PROGRESS, std::move(record));
    return 0;
}

}  // namespace

bool BrowserUpgrade::OnInstallerDownloadProgress(const DownloadProgress& record)
{
    if (record.kind != kTransferBrowserInstaller) return false;
    // Records go to the row of the run the repair started in; once a new
    // run has replaced the rows, only the repair's own state moves on.
    const int row = m_owner.RowOf(m_row);
    if (!record.done) {
        if (row >= 0) m_view.SetRowProgress(kItemBrowserVersion, row, static_cast<int>(record.percent));
        m_view.Redraw();
        return true;
    }

    if (record.stage == 1) {
        FinishUpgrade(record.path, record.exitCode);
        return true;
    }

    // The thread is past its last use of the job once the done record is out.
    if (row >= 0) m_view.ShowRowControl(kItemBrowserVersion, row, kSlotProgressBar, false);
    delete m_job;
    m_job = nullptr;

    if (!record.success) {
        m_installerDownloadOk = 0;
        FinishUpgrade(record.path, 0);
        return true;
    }
    // An installer that is not the one the list names never runs.
    const size_t slash = record.path.find_last_of("\\/");
    const std::string fileName = slash == std::string::npos ? record.path : record.path.substr(slash + 1);
    const auto listed = g_installerHashes.find(fileName);
    // Nor one its vendor (or whom local.ini names) did not sign.
    int refused = kRowSuccess;
    if (listed != g_installerHashes.end() && !MatchesListedHash(record.path, listed->second, "installer " + fileName))
        refused = kRowHashMismatch;
    else if (!CheckSigner(record.path, g_serverSettings.browserSigners, "installer " + fileName).allowed)
        refused = kRowSignatureRefused;
    if (refused != kRowSuccess) {
        DeleteFileW(AnsiToWide(record.path).c_str());
        m_installing = false;
        m_owner.RepairEnded(refused, m_row);
        return true;
    }
    SetStatus("下载完成");
    m_view.Redraw();
    // The installer takes minutes: it runs on a thread of its own, and the
    // window hears of its end like of the download's.
    auto* job = new InstallerJob{m_view.Window(), record.path};
    m_installing = true;
    if (!StartWorker(InstallerThread, job)) {
        delete job;
        FinishUpgrade(record.path, ERROR_NOT_ENOUGH_MEMORY);
    }
    return true;
}

void BrowserUpgrade::FinishUpgrade(const std::string& path, DWORD installerResult)
{
    m_installing = false;
    int result;
    if (!m_installerDownloadOk) {
        result = kRowDownloadFailed;
        SetStatus("下载失败");
    } else if (installerResult != 0) {
        result = kRowInstallFailed;
        WriteLog("install ie %s: exit %lu\r\n", path.c_str(), installerResult);
        SetStatus("安装失败");
    } else {
        result = kRowSuccess;
        SetStatus("安装成功");
    }
    m_owner.RepairEnded(result, m_row);
}

const char* const kPatchPageUrl =
    "https://www.microsoft.com/zh-cn/search/DownloadsDrillInResults.aspx?q=KB2416400&cateorder=2_5_1&site=";

void ShowPatchNotice()
{
    bool english = EnglishUI();
    char text[256];
    snprintf(text, sizeof text, "%s%s", english ? "No IE Patch:" : "缺少补丁:", "KB2416400-IE8");
    ShowMessageBox(nullptr, text, english ? "Mention" : "注意", MB_OK);
    OpenPage(L"open", AnsiToWide(kPatchPageUrl).c_str(), SW_SHOWMAXIMIZED);
}

void SetPatchPageOpener(PageOpener opener)
{
    g_pageOpener = std::move(opener);
}
