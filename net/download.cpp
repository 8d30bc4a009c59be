#include "net/download.h"

#include "app/log.h"
#include "app/msgbox.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/locking.h>
#include <sys/stat.h>

#include <mutex>

namespace {

// The library's global state is set up once per process, before the first
// transfer, and never torn down while other downloads may be running.
void EnsureCurlGlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

size_t DiscardHeader(char*, size_t size, size_t count, void*)
{
    return size * count;
}

double Percent(uint32_t received, uint32_t total)
{
    return total ? static_cast<double>(received) / static_cast<double>(total) * 100.0 : 0.0;
}

size_t WriteChunk(char* data, size_t size, size_t count, void* context)
{
    auto* job = static_cast<DownloadJob*>(context);
    size_t length = size * count;
    auto* progress = new DownloadProgress;
    job->received += static_cast<uint32_t>(length);

    if (!job->file) {
        job->file = fopen(job->path.c_str(), "wb");
        if (!job->file) {
            delete progress;
            return static_cast<size_t>(-1);
        }
    }
    fwrite(data, 1, length, job->file);

    progress->kind = job->kind;
    progress->percent = Percent(job->received, job->total);
    progress->row = job->row;
    progress->path = job->path;
    progress->total = job->total;
    progress->received = job->received;
    if (job->received < job->total) {
        fflush(job->file);
    } else {
        fclose(job->file);
        job->file = nullptr;
        progress->done = 1;
        progress->success = 1;
    }

    // Throttles the transfer and the message rate alike.
    Sleep(20);
    if (job->window) PostMessageW(job->window, WM_DOWNLOAD_PROGRESS, reinterpret_cast<WPARAM>(progress), 0);
    else delete progress;
    return length;
}

} // namespace

bool IsUrlAvaliableFast(const char* url)
{
    WriteLog("Begin IsUrlAvaliableFast:\r\n");
    EnsureCurlGlobalInit();
    CURL* curl = curl_easy_init();
    if (!curl) return false;
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, DiscardHeader);
    curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
    CURLcode code = curl_easy_perform(curl);
    WriteLog("End IsUrlAvaliableFast:\r\n");
    long status = 0;
    bool available = code == CURLE_OK &&
                     curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                     status == 200;
    curl_easy_cleanup(curl);
    return available;
}

bool GetRemoteFileSize(const char* url, uint32_t& size)
{
    size = 0;
    EnsureCurlGlobalInit();
    CURL* curl = curl_easy_init();
    if (!curl) return false;
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK) {
        double length = 0.0;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD, &length);
        // An undeclared length reads as -1.
        size = length < 0 ? 0xFFFFFFFFu
                          : static_cast<uint32_t>(static_cast<uint64_t>(length) & 0xFFFFFFFFu);
    }
    curl_easy_cleanup(curl);
    return code == CURLE_OK;
}

int DownloadFile(DownloadJob* job, const char* url, int createFolders, int overwrite,
                 const char* path)
{
    if (!job) return kDownloadNoJob;

    if (!IsUrlAvaliableFast(url)) {
        char text[2200];
        snprintf(text, sizeof text, "请检查资源是否有效:%s", url);
        ShowMessageBox(nullptr, text, "警告", MB_ICONINFORMATION);
        return kDownloadUrlUnavailable;
    }

    job->createFolders = createFolders;
    job->overwrite = overwrite;
    std::string target = path;
    size_t slash = target.rfind('\\');
    std::string folder = slash == std::string::npos ? target : target.substr(0, slash);

    if (createFolders) {
        if (!MakeDirectories(folder.c_str())) return kDownloadNoFolder;
    } else if (_access(folder.c_str(), 0) != 0) {
        return kDownloadNoFolder;
    }
    if (!overwrite && _access(path, 0) == 0) return kDownloadFileExists;

    if (!GetRemoteFileSize(url, job->total)) return kDownloadNoLength;
    WriteLog("IE size:%s  %u\r\n", job->url.c_str(), job->total);
    if (job->total == 0) return kDownloadNoLength;

    if (!job->file) {
        job->file = fopen(path, "wb");
        if (!job->file) return kDownloadCannotOpen;
    }

    int probe = -1;
    int refused = 0;
    if (_sopen_s(&probe, path, _O_RDWR, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0) {
        refused = kDownloadCannotOpen;
    } else {
        if (_locking(probe, _LK_NBLCK, 30) != 0) refused = kDownloadLocked;
        _close(probe);  // closing releases the probe's lock
    }
    if (refused) {
        fclose(job->file);
        job->file = nullptr;
        return refused;
    }

    EnsureCurlGlobalInit();
    CURL* curl = curl_easy_init();
    if (!curl) return kDownloadTransferFailed;
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteChunk);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, job);
    CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);

    // A transfer that ended early leaves the stream open: close it so the
    // file can be replaced or removed.
    if (job->file) {
        fclose(job->file);
        job->file = nullptr;
    }
    return code == CURLE_OK ? kDownloadOk : kDownloadTransferFailed;
}

unsigned __stdcall DownloadThread(void* context)
{
    auto* job = static_cast<DownloadJob*>(context);
    int result = DownloadFile(job, job->url.c_str(), 1, 1, job->path.c_str());
    if (result != kDownloadOk && job->window) {
        auto* progress = new DownloadProgress;
        progress->kind = job->kind;
        progress->row = job->row;
        progress->path = job->path;
        progress->total = job->total;
        progress->received = job->received;
        progress->percent = Percent(job->received, job->total);
        progress->done = 1;
        progress->success = 0;
        PostMessageW(job->window, WM_DOWNLOAD_PROGRESS, reinterpret_cast<WPARAM>(progress), 0);
    }
    return 0;
}
