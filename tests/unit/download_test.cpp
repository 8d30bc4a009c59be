#include "testutil.h"

#include "settings/config.h"
#include "base/log.h"
#include "net/download.h"

#include <gtest/gtest.h>

#include <io.h>
#include <process.h>
#include <winsock2.h>

namespace {
const char* const kInfPath = "/norvik/DownLoad/ThirdParty/local.inf";

class StartupFetch : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(DemoBaseUrl().empty()) << "demo server not running";
        ASSERT_TRUE(DemoReset());
        target = scope.folder() + "local.inf";
        url = DemoBaseUrl() + kInfPath;
    }
    void TearDown() override { DemoReset(); }

    AppScope scope;
    std::string target;
    std::string url;
    const std::string previous = "[thirdparty]\r\nthirdparty001=old.ocx\r\n";
};
} // namespace

TEST_F(StartupFetch, CompleteTransferReplacesTheList)
{
    ASSERT_TRUE(WriteFileBytes(target, previous));
    EXPECT_TRUE(FetchComponentList(url, target));
    std::string served = DemoGet(kInfPath);
    ASSERT_FALSE(served.empty());
    EXPECT_TRUE(served == ReadFileBytes(target));
    EXPECT_NE(0, _access((target + ".download").c_str(), 0));
}

TEST_F(StartupFetch, CutOffTransferLeavesThePreviousListByteForByte)
{
    ASSERT_TRUE(WriteFileBytes(target, previous));
    ASSERT_TRUE(DemoFault(kInfPath, "cut"));
    EXPECT_FALSE(FetchComponentList(url, target));
    EXPECT_TRUE(previous == ReadFileBytes(target));
    EXPECT_NE(0, _access((target + ".download").c_str(), 0));
    EXPECT_TRUE(scope.boxes.empty());
}

TEST_F(StartupFetch, UnavailableListIsReportedOnceAndChangesNothing)
{
    ASSERT_TRUE(WriteFileBytes(target, previous));
    for (const char* mode : {"404", "302"}) {
        scope.boxes.clear();
        ASSERT_TRUE(DemoFault(kInfPath, mode));
        EXPECT_FALSE(FetchComponentList(url, target)) << mode;
        ASSERT_EQ(1u, scope.boxes.size()) << mode;
        EXPECT_EQ("请检查资源是否有效:" + url, scope.boxes[0].text);
        EXPECT_EQ("警告", scope.boxes[0].caption);
        EXPECT_TRUE(previous == ReadFileBytes(target));
    }
}

TEST_F(StartupFetch, EmptyListOnTheServerIsNotTransferred)
{
    ASSERT_TRUE(DemoFault(kInfPath, "empty"));
    DownloadJob job;
    EXPECT_EQ(kDownloadNoLength, DownloadFile(&job, url.c_str(), 1, 1, target.c_str()));
    EXPECT_NE(0, _access(target.c_str(), 0));
}

TEST_F(StartupFetch, ResultCodesBeforeTheTransfer)
{
    EXPECT_EQ(kDownloadNoJob, DownloadFile(nullptr, url.c_str(), 1, 1, target.c_str()));

    ASSERT_TRUE(WriteFileBytes(target, previous));
    DownloadJob job;
    EXPECT_EQ(kDownloadFileExists, DownloadFile(&job, url.c_str(), 1, 0, target.c_str()));
    EXPECT_TRUE(previous == ReadFileBytes(target));

    std::string missing = scope.folder() + "no\\such\\folder\\local.inf";
    EXPECT_EQ(kDownloadNoFolder, DownloadFile(&job, url.c_str(), 0, 1, missing.c_str()));
    EXPECT_EQ(kDownloadOk, DownloadFile(&job, url.c_str(), 1, 1, missing.c_str()));
    EXPECT_EQ(job.total, job.received);
    EXPECT_EQ(nullptr, job.file);
}

namespace {
const char* const kInstallerPath = "/norvik/Download/IE/IE8-WindowsXP-x86-CHS.exe";

class Download : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(DemoBaseUrl().empty()) << "demo server not running";
        ASSERT_TRUE(DemoReset());
        url = DemoBaseUrl() + kInstallerPath;
        target = scope.folder() + "Download\\IE8-WindowsXP-x86-CHS.exe";
        served = DemoGet(kInstallerPath);
        ASSERT_FALSE(served.empty());
    }
    void TearDown() override { DemoReset(); }

    int Fetch() { return DownloadFile(&job, url.c_str(), 1, 1, target.c_str()); }
    bool NoPartialFile() { return _access((target + kPartialSuffix).c_str(), 0) != 0; }

    AppScope scope;
    DownloadJob job;
    std::string url, target, served;
    const std::string previous = "an older installer";
};
} // namespace

TEST_F(Download, FailedTransfersLeaveTheTargetAsItWas)
{
    // Cut mid-body (21), no declared length and an empty file (14): the
    // existing file keeps its bytes and no partial file is left anywhere.
    const struct {
        const char* mode;
        int result;
    } cases[] = {{"cut", kDownloadTransferFailed}, {"nolength", kDownloadNoLength}, {"empty", kDownloadNoLength}};
    for (const auto& c : cases) {
        ASSERT_TRUE(MakeDirectories((scope.folder() + "Download").c_str()));
        ASSERT_TRUE(WriteFileBytes(target, previous));
        ASSERT_TRUE(DemoFault(kInstallerPath, c.mode));
        EXPECT_EQ(c.result, Fetch()) << c.mode;
        EXPECT_TRUE(previous == ReadFileBytes(target)) << c.mode;
        EXPECT_TRUE(NoPartialFile()) << c.mode;
        EXPECT_EQ(nullptr, job.file) << c.mode;
    }
    EXPECT_TRUE(scope.boxes.empty());

    // Without a target, a failure creates none.
    DeleteFileA(target.c_str());
    ASSERT_TRUE(DemoFault(kInstallerPath, "cut"));
    EXPECT_EQ(kDownloadTransferFailed, Fetch());
    EXPECT_NE(0, _access(target.c_str(), 0));
    EXPECT_TRUE(NoPartialFile());
}

TEST_F(Download, CompleteTransferReplacesTheTarget)
{
    ASSERT_TRUE(MakeDirectories((scope.folder() + "Download").c_str()));
    ASSERT_TRUE(WriteFileBytes(target, previous));
    job.received = 12345;  // a reused job starts counting from zero
    EXPECT_EQ(kDownloadOk, Fetch());
    EXPECT_TRUE(served == ReadFileBytes(target));
    EXPECT_EQ(served.size(), job.total);
    EXPECT_EQ(served.size(), job.received);
    EXPECT_TRUE(NoPartialFile());
}

TEST_F(Download, UnavailableUrlIsShownOnce)
{
    std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + kInstallerPath;
    ASSERT_TRUE(DemoFault(kInstallerPath, "404"));
    for (const std::string& bad : {url, refused}) {
        scope.boxes.clear();
        EXPECT_EQ(kDownloadUrlUnavailable, DownloadFile(&job, bad.c_str(), 1, 1, target.c_str()));
        ASSERT_EQ(1u, scope.boxes.size());
        EXPECT_EQ("请检查资源是否有效:" + bad, scope.boxes[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), scope.boxes[0].type);
    }
}

TEST_F(Download, TargetThatCannotBeReplaced)
{
    ASSERT_TRUE(MakeDirectories((scope.folder() + "Download").c_str()));
    ASSERT_TRUE(WriteFileBytes(target, previous));

    // Another holder's lock on the target: 99, bytes untouched.
    HANDLE holder = CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ASSERT_TRUE(LockFile(holder, 0, 0, 30, 0));
    EXPECT_EQ(kDownloadLocked, Fetch());
    UnlockFile(holder, 0, 0, 30, 0);
    CloseHandle(holder);
    EXPECT_TRUE(previous == ReadFileBytes(target));

    // Something that is not a file in the way, at the target or at the
    // partial file's place: 15, and nothing changed.
    std::string partial = target + kPartialSuffix;
    ASSERT_TRUE(CreateDirectoryA(partial.c_str(), nullptr));
    EXPECT_EQ(kDownloadCannotOpen, Fetch());
    RemoveDirectoryA(partial.c_str());
    EXPECT_TRUE(previous == ReadFileBytes(target));

    DeleteFileA(target.c_str());
    ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
    EXPECT_EQ(kDownloadCannotOpen, Fetch());
    EXPECT_TRUE(NoPartialFile());
}

TEST_F(Download, ThreadEndsWithExactlyOneDoneRecord)
{
    RecordSink sink;
    for (bool fail : {false, true}) {
        sink.records.clear();
        ASSERT_TRUE(DemoFault(kInstallerPath, fail ? "cut" : "normal"));
        DownloadJob threaded;
        threaded.kind = kTransferComponent;
        threaded.row = 7;
        threaded.url = url;
        threaded.path = target;
        threaded.window = sink.window();
        uintptr_t thread = _beginthreadex(nullptr, 0, DownloadThread, &threaded, 0, nullptr);
        ASSERT_NE(0u, thread);
        ASSERT_TRUE(sink.Collect(30000)) << "no done record";
        WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
        CloseHandle(reinterpret_cast<HANDLE>(thread));
        // The thread has ended: anything it posted is in the queue by now.
        MSG extra;
        EXPECT_FALSE(PeekMessageW(&extra, sink.window(), 0, 0, PM_NOREMOVE)) << "record after done";

        const DownloadProgress& last = sink.records.back();
        EXPECT_EQ(1, last.done);
        EXPECT_EQ(fail ? 0 : 1, last.success);
        EXPECT_EQ(kTransferComponent, last.kind);
        EXPECT_EQ(7, last.row);
        EXPECT_EQ(target, last.path);
        EXPECT_EQ(served.size(), last.total);
        if (!fail) {
            EXPECT_EQ(served.size(), last.received);
            EXPECT_DOUBLE_EQ(100.0, last.percent);
            EXPECT_TRUE(served == ReadFileBytes(target));
        }
        for (size_t i = 0; i + 1 < sink.records.size(); ++i) EXPECT_EQ(0, sink.records[i].done);
    }
}

TEST_F(Download, MissingFileOnAThreadGivesOneFailedRecord)
{
    RecordSink sink;
    DownloadJob threaded;
    threaded.url = DemoBaseUrl() + "/norvik/Download/IE/missing.exe";
    threaded.path = target;
    threaded.window = sink.window();
    DownloadThread(&threaded);
    ASSERT_TRUE(sink.Collect(1000));
    ASSERT_EQ(1u, sink.records.size());
    EXPECT_EQ(0, sink.records[0].success);
    EXPECT_EQ(0.0, sink.records[0].percent);
    EXPECT_EQ(1u, scope.boxes.size());
}

TEST_F(Download, ConcurrentDownloadsAllComplete)
{
    // Several workers at once, as the component repair starts them; the
    // library's global set-up must not disturb a running transfer.
    const char* names[] = {"IE8-WindowsXP-x86-ENU.exe", "IE8-WindowsVista-x86-CHS.exe",
                           "IE8-WindowsServer2003-x86-ENU.exe", "IE8-WindowsXP-x86-CHS.exe"};
    DownloadJob jobs[4];
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) {
        jobs[i].url = DemoBaseUrl() + "/norvik/Download/IE/" + names[i];
        jobs[i].path = scope.folder() + "many\\" + names[i];
        threads[i] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DownloadThread, &jobs[i], 0, nullptr));
    }
    WaitForMultipleObjects(4, threads, TRUE, 60000);
    for (int i = 0; i < 4; ++i) {
        CloseHandle(threads[i]);
        EXPECT_TRUE(DemoGet(std::string("/norvik/Download/IE/") + names[i]) == ReadFileBytes(jobs[i].path)) << names[i];
    }
}

TEST_F(Download, ProcessStartedMeanwhileDoesNotHoldThePartialFile)
{
    // The program starts processes while downloads run (the component repair
    // registers each finished file with regsvr32). Such a process must not
    // inherit the partial file: it would hold it open, and the finished
    // download could not take the target's place.
    ASSERT_TRUE(DemoFault(kInstallerPath, "rate:" + std::to_string(served.size())));
    RecordSink sink;
    DownloadJob threaded;
    threaded.url = url;
    threaded.path = target;
    threaded.window = sink.window();
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DownloadThread, &threaded, 0, nullptr));
    PROCESS_INFORMATION child = {};
    int success = -1;
    ASSERT_TRUE(sink.PumpUntilDone(30000, [&](DownloadProgress* record) {
        if (!child.hProcess && !record->done) {
            STARTUPINFOW startup = {};
            startup.cb = sizeof startup;
            // Started directly and without a console, so that ending it
            // leaves nothing behind.
            wchar_t command[] = L"ping.exe -n 30 127.0.0.1";
            CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                           &child);
        }
        if (record->done) success = record->success;
        delete record;
    }));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_TRUE(child.hProcess) << "no process was started while the file was open";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(child.hProcess, 0)) << "it ended too soon";
    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    EXPECT_EQ(1, success);
    EXPECT_TRUE(served == ReadFileBytes(target)) << "the target is not the download";
}

TEST_F(Download, ProgressRecordsAreSpacedButTheTransferIsNot)
{
    // A capped rate spreads the body over about a second. Records are posted
    // at least kProgressInterval apart, so however long the transfer took,
    // no more of them fit into it than that spacing allows, plus the done
    // record; yet the whole body arrives.
    ASSERT_TRUE(DemoFault(kInstallerPath, "rate:" + std::to_string(served.size())));
    RecordSink sink;
    DownloadJob threaded;
    threaded.url = url;
    threaded.path = target;
    threaded.window = sink.window();
    DWORD begin = GetTickCount();
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DownloadThread, &threaded, 0, nullptr));
    ASSERT_TRUE(sink.Collect(30000));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_GE(sink.records.size(), 3u);
    EXPECT_EQ(1, sink.records.back().done);
    const DWORD span = sink.arrival.back() - begin;
    EXPECT_LE(sink.records.size() - 1, span / kProgressInterval + 1) << "over " << span << " ms";
    EXPECT_TRUE(served == ReadFileBytes(target)) << "body differs";
    uint32_t last = 0;
    for (const DownloadProgress& r : sink.records) {
        EXPECT_GE(r.received, last);
        last = r.received;
    }
}

TEST(Probe, DroppedConnectionGivesUpAfterTheConnectTimeout)
{
    // A listener whose accept queue is full drops further connection
    // attempts, like a firewall: the probe must give up on its own.
    AppScope scope;
    sockaddr_in address;
    SOCKET listener = BoundLoopbackSocket(&address);
    ASSERT_EQ(0, listen(listener, 0));
    std::vector<SOCKET> fillers;
    for (int i = 0; i < 4; ++i) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(s);
    }
    // The queue is full once the listener has taken a first connection in.
    fd_set connected;
    FD_ZERO(&connected);
    for (SOCKET s : fillers) FD_SET(s, &connected);
    timeval wait = {10, 0};
    ASSERT_GT(select(0, nullptr, &connected, nullptr, &wait), 0) << "no connection reached the listener";
    std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
    DWORD start = GetTickCount();
    EXPECT_FALSE(IsUrlAvaliableFast(url.c_str()));
    DWORD took = GetTickCount() - start;
    // It waited for the connection (not refused at once), and gave up on
    // the connect time-out, not on the probe's overall limit.
    EXPECT_GE(took, static_cast<DWORD>(kConnectTimeout * 1000 - 1000));
    EXPECT_LT(took, static_cast<DWORD>(kProbeTimeout * 1000));
    for (SOCKET s : fillers) closesocket(s);
    closesocket(listener);
}

namespace {
// Every download the program makes, as the program names its target.
struct DownloadPath {
    const char* what;
    const char* serverPath;
    const char* fileName;
};
const DownloadPath kEveryDownload[] = {
    {"component list", "/norvik/DownLoad/ThirdParty/local.inf", "local.inf"},
    {"component", "/norvik/DownLoad/ThirdParty/PylonixReport.dll", "PylonixReport.dll"},
    {"browser installer", "/norvik/Download/IE/IE8-WindowsXP-x86-CHS.exe", "IE8-WindowsXP-x86-CHS.exe"},
    {"speed-test file", "/norvik/Download/IE/IE8-WindowsServer2003-x86-CHS.exe", "IE8-WindowsServer2003-x86-CHS.exe"},
};

class DownloadFaults : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(DemoBaseUrl().empty()) << "demo server not running";
        ASSERT_TRUE(DemoReset());
    }
    void TearDown() override { DemoReset(); }

    // Downloads `path` over a previous file in `folder` and checks what every
    // failure owes: the result, the previous bytes, no partial file, and a
    // log line naming the URL, the target and the result.
    void Expect(const DownloadPath& path, const std::string& folder, int expected, const std::string& context)
    {
        std::string url = DemoBaseUrl() + path.serverPath;
        std::string target = folder + path.fileName;
        SCOPED_TRACE(std::string(path.what) + ", " + context);
        bool hadPrevious = WriteFileBytes(target, previous);
        std::string before = ReadFileBytes(target);
        DownloadJob job;
        job.stallSeconds = 1;
        DWORD start = GetTickCount();
        EXPECT_EQ(expected, DownloadFile(&job, url.c_str(), 1, 1, target.c_str()));
        EXPECT_LT(GetTickCount() - start, 20000u) << "gave up too late";
        if (expected == kDownloadOk) {
            EXPECT_TRUE(DemoGet(path.serverPath) == ReadFileBytes(target)) << "not the served bytes";
        } else {
            if (hadPrevious) {
                EXPECT_TRUE(before == ReadFileBytes(target)) << "previous file changed";
            }
            EXPECT_NE(std::string::npos,
                      ReadTodaysLog().find("DownloadFile " + url + " to " + target + ": " +
                                           DownloadResultText(expected)))
                << "no log line";
        }
        EXPECT_NE(0, _access((target + kPartialSuffix).c_str(), 0)) << "partial file left";
        EXPECT_EQ(nullptr, job.file);
    }

    AppScope scope;
    const std::string previous = "the previous file";
};
} // namespace

TEST_F(DownloadFaults, EveryDownloadSurvivesEveryServerFault)
{
    // A server that cuts the body, goes silent mid-body, sends more than it
    // declared, or answers with no length, nothing, an error or elsewhere.
    // "more": the bytes beyond the declared length are not the file's.
    const struct {
        const char* mode;
        int result;
    } faults[] = {
        {"cut", kDownloadTransferFailed}, {"stall", kDownloadTransferFailed}, {"more", kDownloadOk},
        {"nolength", kDownloadNoLength},  {"empty", kDownloadNoLength},       {"404", kDownloadUrlUnavailable},
        {"302", kDownloadUrlUnavailable},
    };
    for (const DownloadPath& path : kEveryDownload) {
        for (const auto& fault : faults) {
            ASSERT_TRUE(DemoFault(path.serverPath, fault.mode));
            Expect(path, scope.folder(), fault.result, fault.mode);
        }
        ASSERT_TRUE(DemoFault(path.serverPath, "normal"));
    }
}

TEST_F(DownloadFaults, TargetHeldOpenWithoutSharingIsLeftAlone)
{
    for (const DownloadPath& path : kEveryDownload) {
        std::string target = scope.folder() + path.fileName;
        ASSERT_TRUE(WriteFileBytes(target, previous));
        HANDLE holder = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        Expect(path, scope.folder(), kDownloadCannotOpen, "held open");
        CloseHandle(holder);
    }
}

TEST_F(DownloadFaults, FullOrReadOnlyDriveKeepsThePreviousFile)
{
    // Small file systems the test fixture mounts where the system lets it.
    std::string state = DemoStateFolder() + "\\";
    if (_access((state + "full\\filler").c_str(), 0) != 0)
        GTEST_SKIP() << "no scratch drives (the fixture mounts them only as root)";

    // The full drive keeps a previous installer of its own; the download
    // runs out of room mid-body.
    const DownloadPath& installer = kEveryDownload[2];
    Expect(installer, state + "full\\", kDownloadTransferFailed, "full drive");
    EXPECT_TRUE(previous == ReadFileBytes(state + "full\\" + installer.fileName));

    // On the read-only drive the fixture left a previous installer.
    std::string readonly = state + "readonly\\Download\\";
    std::string before = ReadFileBytes(readonly + installer.fileName);
    ASSERT_FALSE(before.empty());
    DownloadJob job;
    std::string url = DemoBaseUrl() + installer.serverPath;
    EXPECT_EQ(kDownloadCannotOpen, DownloadFile(&job, url.c_str(), 1, 1, (readonly + installer.fileName).c_str()));
    EXPECT_TRUE(before == ReadFileBytes(readonly + installer.fileName));
    EXPECT_NE(0, _access((readonly + installer.fileName + kPartialSuffix).c_str(), 0));
    // A missing folder that cannot be made there.
    std::string deeper = readonly + "new\\" + installer.fileName;
    EXPECT_EQ(kDownloadNoFolder, DownloadFile(&job, url.c_str(), 1, 1, deeper.c_str()));
}
