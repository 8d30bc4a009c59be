#include "net/download.h"

#include "base/log.h"
#include "base/msgbox.h"
#include "base/textconv.h"

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

std::unique_ptr<DownloadProgress> NewProgress(const DownloadJob& job, uint64_t receivedAt)
{
    auto progress = std::make_unique<DownloadProgress>();
    progress->kind = job.kind;
    progress->row = job.row;
    progress->path = job.path;
    progress->total = job.total;
    progress->received = job.received;
    progress->percent = Percent(job.received, job.total);
    progress->started = job.transferStart;
    progress->receivedAt = receivedAt;
    return progress;
}

// Copies one chunk to the partial file. Progress records go out at most
// every kProgressInterval ms; the transfer itself is never held up. The
// done record is left to DownloadThread, which sends it once the file is
// in place.
size_t WriteChunk(char* data, size_t size, size_t count, void* context)
{
    auto* job = static_cast<DownloadJob*>(context);
    size_t length = size * count;
    uint64_t received = static_cast<uint64_t>(job->received) + length;
    // More bytes than declared: not the file that was sized. Returning
    // short makes the library abort the transfer with a write error.
    if (!job->file || received > job->total) return 0;
    DWORD now = GetTickCount();
    const uint64_t arrived = TransferClock();
    // The body's first bytes start the clock: the connection and the request
    // before them are not the link's rate.
    if (!job->received) job->transferStart = arrived;
    if (fwrite(data, 1, length, job->file) != length) return 0;
    job->received = static_cast<uint32_t>(received);
    job->lastByte = now;

    if (job->window && job->received < job->total && now - job->lastPost >= kProgressInterval) {
        job->lastPost = now;
        PostRecord(job->window, WM_DOWNLOAD_PROGRESS, NewProgress(*job, arrived));
    }
    return length;
}

// Called about once a second while a transfer runs, bytes or not: a
// server silent for the job's stallSeconds ends the transfer. (The
// library's own low-speed limit averages over several seconds, so a
// silence after a fast start is noticed only that much later.)
int CheckStall(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* job = static_cast<DownloadJob*>(context);
    return GetTickCount() - job->lastByte > static_cast<DWORD>(job->stallSeconds) * 1000 ? 1 : 0;
}

// A HEAD request with the probe time-outs.
CURL* NewProbe(const char* url)
{
    EnsureCurlGlobalInit();
    CURL* curl = curl_easy_init();
    if (!curl) return nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeout);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kProbeTimeout);
    return curl;
}

// The declared length of `url`: -1 when the reply declares none.
bool QueryContentLength(const char* url, curl_off_t& length)
{
    length = 0;
    CURL* curl = NewProbe(url);
    if (!curl) return false;
    CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_cleanup(curl);
    return code == CURLE_OK;
}

uint32_t LowBits(curl_off_t length)
{
    return length < 0 ? 0xFFFFFFFFu
                      : static_cast<uint32_t>(static_cast<uint64_t>(length) & 0xFFFFFFFFu);
}

// The target may be replaced only when no one else holds a lock on it.
int ProbeTargetLock(const char* path)
{
    if (_access(path, 0) != 0) return 0;
    int probe = -1;
    if (_sopen_s(&probe, path, _O_RDWR, _SH_DENYNO, _S_IREAD | _S_IWRITE) != 0)
        return kDownloadCannotOpen;
    int result = _locking(probe, _LK_NBLCK, 30) != 0 ? kDownloadLocked : 0;
    _close(probe);  // closing releases the probe's lock
    return result;
}

} // namespace

uint64_t TransferClock()
{
    static const uint64_t frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? static_cast<uint64_t>(f.QuadPart) : 0;
    }();
    LARGE_INTEGER count;
    // Windows XP on always has the counter; without one, the tick's milliseconds.
    if (!frequency || !QueryPerformanceCounter(&count)) return static_cast<uint64_t>(GetTickCount()) * 1000;
    const uint64_t ticks = static_cast<uint64_t>(count.QuadPart);
    // In two steps, so a counter running for months cannot overflow the product.
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

bool IsUrlAvaliableFast(const char* url)
{
    WriteLog("Begin IsUrlAvaliableFast:\r\n");
    CURL* curl = NewProbe(url);
    if (!curl) return false;
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

const char* DownloadResultText(int result)
{
    switch (result) {
    case kDownloadOk: return "ok";
    case kDownloadNoJob: return "no job";
    case kDownloadUrlUnavailable: return "url unavailable";
    case kDownloadNoFolder: return "no folder";
    case kDownloadFileExists: return "file exists";
    case kDownloadNoLength: return "no length";
    case kDownloadCannotOpen: return "cannot open";
    case kDownloadTransferFailed: return "transfer failed";
    case kDownloadLocked: return "target locked";
    }
    return "unknown";
}

namespace {

int Download(DownloadJob* job, const char* url, int createFolders, int overwrite, const char* path)
{
    job->transferStart = job->transferEnd = 0;

    if (!IsUrlAvaliableFast(url)) {
        char text[2200];
        snprintf(text, sizeof text, "请检查资源是否有效:%s", url);
        ShowMessageBox(nullptr, text, "警告", MB_ICONINFORMATION);
        return kDownloadUrlUnavailable;
    }

    std::string target = path;
    size_t slash = target.rfind('\\');
    std::string folder = slash == std::string::npos ? target : target.substr(0, slash);

    if (createFolders) {
        if (!MakeDirectories(folder.c_str())) return kDownloadNoFolder;
    } else if (_access(folder.c_str(), 0) != 0) {
        return kDownloadNoFolder;
    }
    if (!overwrite && _access(path, 0) == 0) return kDownloadFileExists;

    curl_off_t length = 0;
    bool sized = QueryContentLength(url, length);
    job->total = sized ? LowBits(length) : 0;
    if (!sized) return kDownloadNoLength;
    WriteLog("IE size:%s  %u\r\n", job->url.c_str(), job->total);
    // Without a declared length there is no way to tell a complete file
    // from a cut-off one, so such a reply is refused like an empty one.
    if (length < 0 || job->total == 0) return kDownloadNoLength;

    if (int refused = ProbeTargetLock(path)) return refused;

    std::string partial = target + kPartialSuffix;
    if (job->file) fclose(job->file);
    // "N": not inherited. A process started meanwhile (the component repair
    // runs regsvr32) would otherwise hold the file open, and the finished
    // download could not take the target's place.
    job->file = fopen(partial.c_str(), "wbN");
    if (!job->file) return kDownloadCannotOpen;
    job->received = 0;
    job->lastPost = 0;

    EnsureCurlGlobalInit();
    CURLcode code = CURLE_FAILED_INIT;
    if (CURL* curl = curl_easy_init()) {
        curl_easy_setopt(curl, CURLOPT_URL, url);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeout);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteChunk);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, job);
        // Every socket read is a round trip through the system's socket
        // layer (under Wine, through its server): few large reads keep a
        // gigabit LAN's pace where many small ones fall far behind it.
        curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
        // A server that goes silent mid-body would otherwise hold the
        // worker, its row and the partial file for ever.
        job->lastByte = GetTickCount();
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckStall);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, job);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        code = curl_easy_perform(curl);
        job->transferEnd = TransferClock();
        curl_easy_cleanup(curl);
    }
    bool flushed = fclose(job->file) == 0;
    job->file = nullptr;

    std::wstring partialWide = AnsiToWide(partial);
    bool complete = code == CURLE_OK && flushed && job->received == job->total;
    if (complete) {
        complete = MoveFileExW(partialWide.c_str(), AnsiToWide(target).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!complete) WriteLog("DownloadFile replace %s failed: %lu\r\n", path, GetLastError());
    } else {
        WriteLog("DownloadFile %s failed: %s, %u of %u bytes\r\n", url,
                 code == CURLE_OK ? "incomplete" : curl_easy_strerror(code), job->received, job->total);
    }
    if (!complete) DeleteFileW(partialWide.c_str());
    return complete ? kDownloadOk : kDownloadTransferFailed;
}

} // namespace

int DownloadFile(DownloadJob* job, const char* url, int createFolders, int overwrite,
                 const char* path)
{
    if (!job) return kDownloadNoJob;
    int result = Download(job, url, createFolders, overwrite, path);
    if (result != kDownloadOk)
        WriteLog("DownloadFile %s to %s: %s (%d)\r\n", url, path, DownloadResultText(result), result);
    return result;
}

unsigned __stdcall DownloadThread(void* context)
{
    auto* job = static_cast<DownloadJob*>(context);
    int result = DownloadFile(job, job->url.c_str(), 1, 1, job->path.c_str());
    if (job->window) {
        std::unique_ptr<DownloadProgress> progress = NewProgress(*job, job->transferEnd);
        progress->done = 1;
        progress->success = result == kDownloadOk;
        if (!PostRecord(job->window, WM_DOWNLOAD_PROGRESS, std::move(progress)))
            WriteLog("DownloadFile %s: the window took no end record\r\n", job->url.c_str());
    }
    return 0;
}
