#include "pages/componentrepair.h"

#include "base/filehash.h"
#include "base/log.h"
#include "base/msgbox.h"
#include "base/paths.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "base/worker.h"
#include "check/signature.h"

#include <stdlib.h>
#include <windows.h>

#include <memory>

namespace {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + name;
}

unsigned __stdcall ComponentDownloadThread(void* context)
{
    auto* job = static_cast<DownloadJob*>(context);
    DownloadThread(job);
    delete job;
    return 0;
}

} // namespace

int ComponentRepair::OnDownAndRegThirdParty(const RowRef& ref)
{
    const int row = m_owner.RowOf(ref);
    if (row < 0) return 0;
    m_row = ref;
    // A start while downloads are still on their way joins them: a file of
    // theirs that already failed still fails the row.
    if (m_pending.empty()) m_componentsOk = 1;
    ComponentList list = BuildComponentList(g_componentTable, g_serverSettings.componentSigners);

    m_view.ShowRowControl(kItemComponents, row, kSlotActionButton, false);
    m_owner.RepairStarted();
    m_view.Redraw();

    std::string downloads = DownloadFolder();
    int started = 0;
    for (const ComponentInfo& entry : list.entries) {
        if (entry.state != 0 || entry.text.empty()) continue;
        const std::string& name = entry.text;
        if (!IsUsableComponentName(name)) {
            // It can never be installed: the repair cannot end well.
            WriteLog("OnDownAndRegThirdParty refused file name:%s\r\n", name.c_str());
            m_componentsOk = 0;
            continue;
        }
        std::string url = ServerFileUrl(g_serverSettings, kComponentFolder, name.c_str());
        std::string local = JoinPath(downloads, name);
        WriteLog("OnDownAndRegThirdParty need download file:%s\r\n", url.c_str());
        if (m_pending.count(local)) continue;
        m_pending[local] = name;
        ++started;

        auto* job = new DownloadJob;
        job->window = m_view.Window();
        job->kind = kTransferComponent;
        job->row = row;
        job->url = url;
        job->path = local;
        if (StartWorker(ComponentDownloadThread, job)) continue;
        // No worker: report the download as failed through the usual path.
        WriteLog("OnDownAndRegThirdParty cannot start download:%s\r\n", url.c_str());
        delete job;
        auto failed = std::make_unique<DownloadProgress>();
        failed->kind = kTransferComponent;
        failed->row = row;
        failed->done = 1;
        failed->success = 0;
        failed->path = local;
        if (!PostRecord(m_view.Window(), WM_DOWNLOAD_PROGRESS, std::move(failed))) {
            m_pending.erase(local);
            --started;
            m_componentsOk = 0;
        }
    }
    // No download of this repair will end it: the row ends here, failed
    // when a name was refused, else passed (nothing was missing).
    if (started == 0 && m_pending.empty()) {
        if (!m_componentsOk) m_view.SetRowText(kItemComponents, row, kSlotStatusText, "下载失败");
        m_owner.RepairEnded(m_componentsOk ? kRowSuccess : kRowDownloadFailed, m_row);
    }
    return 0;
}

void ComponentRepair::InstallDownloaded(const std::string& localPath)
{
    size_t slash = localPath.rfind('\\');
    std::string fileName = slash == std::string::npos ? localPath : localPath.substr(slash + 1);
    std::string systemFolder = SystemFolder();
    std::string destination = JoinPath(systemFolder, fileName);
    if (!MoveFileExW(AnsiToWide(localPath).c_str(), AnsiToWide(destination).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
        WriteLog("Move %s to %s fail:%lu\r\n", localPath.c_str(), destination.c_str(), GetLastError());
        if (EnglishUI())
            ShowMessageBox(nullptr, "File is occupying.Please close the browser and retry!", "Mention", MB_OK);
        else
            ShowMessageBox(nullptr, "文件被占用,无法更新,请关闭浏览器重新检测修复！", "注意", MB_OK);
        m_componentsOk = 0;
    }
    // Registered either way: a file that could not be replaced is the old
    // one, still in use, and registering it again does no harm.
    if (fileName.find(".ocx") != std::string::npos || fileName.find(".dll") != std::string::npos) {
        std::string command = systemFolder + "\\Regsvr32  /s " + fileName;
        system(command.c_str());
    }
}

void ComponentRepair::OnComponentDownloadDone(const DownloadProgress& record)
{
    if (record.kind != kTransferComponent || !record.done) return;
    WriteLog("Download third party:%s finish\r\n", record.path.c_str());

    auto pending = m_pending.find(record.path);
    // Only a file this repair is waiting for may be installed; a stray
    // record must neither move a file nor end the repair a second time.
    if (pending == m_pending.end()) return;

    if (!record.success) {
        m_componentsOk = 0;
    } else {
        // A file that is not the one the list names is never installed:
        // the old one stays, and the download goes.
        // Nor one that the company's signers did not sign: the hash comes
        // from the same server as the file, the signature does not.
        const auto listed = g_componentTable.find(pending->second);
        if (listed != g_componentTable.end() &&
            !MatchesListedHash(record.path, listed->second.sha256, "component " + pending->second)) {
            DeleteFileW(AnsiToWide(record.path).c_str());
            m_componentsOk = 0;
            m_refused = kRowHashMismatch;
        } else if (!CheckSigner(record.path, g_serverSettings.componentSigners, "component " + pending->second).allowed) {
            DeleteFileW(AnsiToWide(record.path).c_str());
            m_componentsOk = 0;
            m_refused = kRowSignatureRefused;
        } else {
            InstallDownloaded(record.path);
        }
    }

    m_pending.erase(pending);
    if (!m_pending.empty()) return;

    WriteLog("----------------Third party all download finish----------------\r\n");
    const int result = m_componentsOk ? kRowSuccess : m_refused ? m_refused : kRowDownloadFailed;
    m_refused = 0;
    // A new run may have replaced the rows meanwhile: then there is no row
    // of this repair to write into.
    const int row = m_owner.RowOf(m_row);
    if (row >= 0) {
        m_view.ShowRowControl(kItemComponents, row, kSlotProgressBar, false);
        m_view.SetRowText(kItemComponents, row, kSlotStatusText, result == kRowSuccess ? "下载完成" : RowResultText(result));
    }
    m_owner.RepairEnded(result, m_row);
}
