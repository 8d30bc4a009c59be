#include "testutil.h"

#include "settings/config.h"
#include "base/textconv.h"
#include "pages/networkpage.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

const char* const kPage = "/norvik/SM/Upload/TestUploadSpeed.aspx";

// Stands in for the network tab: a message-only window that receives the
// records, and what each control would show.
class UploadView : public NetworkTabView {
public:
    UploadView()
    {
        m_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    }
    ~UploadView() override
    {
        MSG msg;
        while (PeekMessageW(&msg, m_window, WM_UPLOAD_PROGRESS, WM_UPLOAD_PROGRESS, PM_REMOVE))
            delete reinterpret_cast<UploadProgress*>(msg.wParam);
        DestroyWindow(m_window);
    }
    HWND Window() override { return m_window; }
    void ShowControl(int id, bool visible) override { shown.Set(id, visible); }
    void SetProgress(int id, int percent) override { progress[id] = percent; }
    void SetText(int id, const std::string& text) override { texts[id] = text; }
    void Redraw() override { ++redraws; }

    // Hands every record to the test until the done one; copies kept.
    bool Pump(UploadSpeedTest& test, DWORD ms = 60000)
    {
        DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < ms) {
            if (!PeekMessageW(&msg, m_window, WM_UPLOAD_PROGRESS, WM_UPLOAD_PROGRESS, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
                continue;
            }
            std::unique_ptr<UploadProgress> record = TakeRecord<UploadProgress>(msg.wParam);
            records.push_back(*record);
            bool done = record->done != 0;
            test.OnProgress(std::move(record));
            if (done) return true;
        }
        return false;
    }

    std::vector<UploadProgress> records;
    VisibilityLog shown;
    std::map<int, int> progress;
    std::map<int, std::string> texts;
    int redraws = 0;

private:
    HWND m_window;
};

// The connection of the program's probe to `listener`; INVALID_SOCKET when
// none came within 20 s.
SOCKET AcceptProbe(SOCKET listener)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait = {20, 0};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return INVALID_SOCKET;
    return accept(listener, nullptr, nullptr);
}

DWORD g_now = 0;
DWORD FakeTick() { return g_now; }

std::unique_ptr<UploadProgress> Record(uint32_t total, uint32_t posted, int done = 0)
{
    auto p = std::make_unique<UploadProgress>();
    p->total = total;
    p->posted = posted;
    p->done = done;
    return p;
}

class UploadTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(DemoReset());
        folder = MakeScratchFolder("upload") + "\\";
    }
    void TearDown() override
    {
        DemoReset();
        // Files of up to 20 MiB: not left in the prefix.
        for (const std::string& path : files) DeleteFileW(AnsiToWide(path).c_str());
        RemoveDirectoryW(AnsiToWide(folder).c_str());
    }
    std::string File(const char* name, size_t size)
    {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
        std::string path = folder + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        files.push_back(path);
        return path;
    }
    // The one box so far: a warning with `text`, owned by no window.
    void ExpectOneWarning(const std::string& text)
    {
        ASSERT_EQ(1u, scope.boxes.size());
        EXPECT_EQ(text, scope.boxes[0].text);
        EXPECT_EQ("警告", scope.boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), scope.boxes[0].type);
        EXPECT_EQ(nullptr, scope.boxes[0].owner);
    }
    // No test runs and no job is held.
    void ExpectIdle(const UploadSpeedTest& test)
    {
        EXPECT_EQ(0, state.uploadRunning);
        EXPECT_EQ(0, state.testRunning);
        EXPECT_EQ(nullptr, test.Job());
    }

    AppScope scope;
    ServerAtDemo server;
    UploadView view;
    NetworkTestState state;
    std::string folder;
    std::vector<std::string> files;
};

} // namespace

TEST(UploadSpeedText, BytesSentOverTheTimeSoFar)
{
    EXPECT_EQ("500.0KB/s", UploadSpeedText(1536000, 3000));
    EXPECT_EQ("1500.0KB/s", UploadSpeedText(1536000, 0));  // no time yet: one second
    EXPECT_EQ("2000.0KB/s", UploadSpeedText(1024000, 500));
    EXPECT_EQ("0.1KB/s", UploadSpeedText(100, 1000));
    EXPECT_EQ("4194304.0KB/s", UploadSpeedText(0xFFFFFFFFu, 1000));
}

TEST_F(UploadTest, RecordsDriveBarAndFigureAndTheDoneRecordEndsTheRun)
{
    UploadSpeedTest test(view, state);
    test.m_tick = FakeTick;
    state.testRunning = state.uploadRunning = state.downloadRunning = 1;
    state.uploadStart = g_now = 1000;

    EXPECT_EQ(-1, test.OnProgress(nullptr));
    // The figure divides the bytes sent, not the file size, by the time.
    g_now += 2000;
    EXPECT_EQ(0, test.OnProgress(Record(4 << 20, 1 << 20)));
    EXPECT_EQ(25, view.progress[kNetUploadBar]);
    EXPECT_EQ("512.0KB/s", view.texts[kNetUploadSpeed]);
    // Once the transfer has begun, the time before it is not counted.
    std::unique_ptr<UploadProgress> timed = Record(4 << 20, 1 << 20);
    timed->started = 2000;
    test.OnProgress(std::move(timed));
    EXPECT_EQ("1024.0KB/s", view.texts[kNetUploadSpeed]);
    g_now += 2000;
    test.OnProgress(Record(3000, 2999));
    EXPECT_EQ(99, view.progress[kNetUploadBar]);  // truncated, not rounded
    test.OnProgress(Record(0, 0));
    EXPECT_EQ(100, view.progress[kNetUploadBar]) << "an empty file is complete";
    EXPECT_EQ(1, state.uploadRunning);

    // The done record keeps the last values and ends only the upload.
    int redraws = view.redraws;
    test.OnProgress(Record(1, 1, 1));
    EXPECT_EQ(100, view.progress[kNetUploadBar]);
    EXPECT_EQ("0.0KB/s", view.texts[kNetUploadSpeed]);
    EXPECT_EQ(redraws + 1, view.redraws);
    EXPECT_EQ(0, state.uploadRunning);
    EXPECT_EQ(1, state.testRunning) << "the download test still runs";
}

TEST_F(UploadTest, RealRunPostsTheFileWithTheTestHeadersAndEndsWithOneDoneRecord)
{
    // A Chinese name (GBK here) must arrive as UTF-8.
    std::string path = File("\xcb\xd9\xb6\xc8.bin", 3 << 20);
    UploadSpeedTest test(view, state);
    DWORD started = GetTickCount();
    ASSERT_TRUE(test.Start(AnsiToWide(path)));
    EXPECT_EQ(1, state.testRunning);
    EXPECT_EQ(1, state.uploadRunning);
    ASSERT_NE(nullptr, test.Job());
    EXPECT_EQ(DemoBaseUrl() + kPage, test.Job()->url);
    EXPECT_EQ(3u << 20, test.Job()->size);
    EXPECT_EQ(path, std::string(reinterpret_cast<const char*>(test.Job()->path.data()), test.Job()->path.size()));
    // A second upload asked for meanwhile leaves the running one its job.
    const UploadJob* running = test.Job();
    EXPECT_FALSE(test.Start(AnsiToWide(File("second.bin", 10))));
    EXPECT_EQ(running, test.Job());
    EXPECT_EQ(1, state.uploadRunning);

    ASSERT_TRUE(view.Pump(test));
    DWORD elapsed = GetTickCount() - started;
    EXPECT_EQ(nullptr, test.Job());
    EXPECT_EQ(0, state.testRunning);
    EXPECT_EQ(0, state.uploadRunning);
    EXPECT_TRUE(scope.boxes.empty());

    // At most one record per 20 ms, the full file always last before done.
    ASSERT_GE(view.records.size(), 3u);
    EXPECT_LE(view.records.size(), elapsed / kUploadRecordInterval + 3);
    const UploadProgress& done = view.records.back();
    EXPECT_EQ(1u, done.total);
    EXPECT_EQ(1u, done.posted);
    const UploadProgress& last = view.records[view.records.size() - 2];
    EXPECT_EQ(0, last.done);
    EXPECT_EQ(3u << 20, last.total);
    EXPECT_EQ(3u << 20, last.posted);
    EXPECT_EQ(0u, view.records.front().posted);
    for (size_t i = 1; i + 1 < view.records.size(); ++i) EXPECT_LE(view.records[i - 1].posted, view.records[i].posted);
    EXPECT_EQ(100, view.progress[kNetUploadBar]);
    double figure = atof(view.texts[kNetUploadSpeed].c_str());
    EXPECT_GT(figure, 3072.0 * 1000 / (elapsed + 1000)) << view.texts[kNetUploadSpeed];

    // What the server received: the probe, then the post.
    EXPECT_EQ(std::string("HEAD ") + kPage + "\nPOST " + kPage + "\n", DemoGet("/_demo/requests"));
    std::string head = DemoGet("/_demo/upload?part=head");
    EXPECT_EQ(0u, head.find(std::string("POST ") + kPage + " HTTP/1.1\r\n"));
    for (const char* line : {"\r\nUser-Agent: My User Agent v1.0\r\n", "\r\nVexel-Magic: My Magic Header\r\n",
                             "\r\nUser-Magic: User's Magic Header\r\n", "\r\nCache-Control: no-cache\r\n",
                             "\r\nContent-Type: multipart/form-data; boundary=----MAFRO-",
                             // what the request flags make WinInet send
                             "\r\nPragma: no-cache\r\n", "\r\nConnection: Keep-Alive\r\n"})
        EXPECT_NE(std::string::npos, head.find(line)) << line;
    size_t at = head.find("boundary=") + 9;
    std::string b = head.substr(at, head.find("\r\n", at) - at);
    std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"\"; filename=\"" + AnsiToUtf8(path) +
                           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + ReadFileBytes(path) + "\r\n--" +
                           b + "--\r\n";
    EXPECT_TRUE(DemoGet("/_demo/upload?part=body") == expected) << "body differs";
    EXPECT_EQ("1 " + std::to_string(expected.size()) + " complete", DemoGet("/_demo/upload"));
}

TEST_F(UploadTest, FigureEndsAtTheRateTheServerTookTheBytesAt)
{
    // The page reads 150000 bytes a second; the socket buffers take the
    // whole file at once, so only a figure taken when the server has
    // everything shows the link's rate. The server cannot take the bytes
    // faster than that (upper bound); the figure cannot be lower than the
    // bytes over the whole run as this test's own clock saw it (lower bound),
    // however slowly the machine runs.
    ASSERT_TRUE(DemoFault(kPage, "rate:150000"));
    const double kilobytes = 300000 / 1024.0;
    UploadSpeedTest test(view, state);
    DWORD begin = GetTickCount();
    ASSERT_TRUE(test.Start(AnsiToWide(File("slow.bin", 300000))));
    ASSERT_TRUE(view.Pump(test));
    DWORD wall = GetTickCount() - begin;
    double figure = atof(view.texts[kNetUploadSpeed].c_str());
    EXPECT_GE(figure, kilobytes * 1000 / wall - 0.1) << view.texts[kNetUploadSpeed] << " after " << wall << " ms";
    EXPECT_LT(figure, 146.5 * 1.05) << view.texts[kNetUploadSpeed];
}

TEST_F(UploadTest, SizeLimitMissingFilesAndCancel)
{
    UploadSpeedTest test(view, state);
    // One byte over 20 MiB is refused before anything is sent.
    EXPECT_FALSE(test.Start(AnsiToWide(File("over.bin", 20971521))));
    ExpectOneWarning("上传测试文件不要超过20m");
    ExpectIdle(test);

    // The test runs from the moment the dialog opens, and a second click
    // meanwhile opens no second dialog; cancelled, and a vanished file: no
    // message, flags back.
    ASSERT_TRUE(test.BeginChoosing());
    EXPECT_EQ(1, state.uploadRunning);
    EXPECT_EQ(1, state.testRunning);
    EXPECT_FALSE(test.BeginChoosing());
    EXPECT_FALSE(test.Start(L""));
    ExpectIdle(test);
    EXPECT_FALSE(test.Start(AnsiToWide(folder + "gone.bin")));
    EXPECT_EQ(1u, scope.boxes.size());
    EXPECT_EQ(0, state.testRunning);
    EXPECT_EQ("", DemoGet("/_demo/requests"));

    // Exactly 20 MiB goes, and so does an empty file.
    for (size_t size : {size_t(20971520), size_t(0)}) {
        view.records.clear();
        ASSERT_TRUE(test.Start(AnsiToWide(File(size ? "max.bin" : "empty.bin", size)))) << size;
        ASSERT_TRUE(view.Pump(test));
        EXPECT_EQ(size, view.records[view.records.size() - 2].posted);
        EXPECT_EQ(100, view.progress[kNetUploadBar]);
        EXPECT_NE(std::string::npos, DemoGet("/_demo/upload").find(" complete"));
    }
    EXPECT_EQ(1u, scope.boxes.size());

    // A name the code page cannot spell (Hangul) is sent all the same.
    const std::wstring korean = AnsiToWide(File("korean.bin", 4096)).substr(0, AnsiToWide(folder).size()) + L"\uD55C.bin";
    ASSERT_TRUE(MoveFileW(AnsiToWide(folder + "korean.bin").c_str(), korean.c_str()));
    view.records.clear();
    ASSERT_TRUE(test.Start(korean)) << "a file outside the code page was refused";
    ASSERT_TRUE(view.Pump(test));
    DeleteFileW(korean.c_str());
    EXPECT_EQ(4096u, view.records[view.records.size() - 2].posted);
    EXPECT_NE(std::string::npos, DemoGet("/_demo/upload").find(" complete"));
    EXPECT_EQ(1u, scope.boxes.size());
}

TEST_F(UploadTest, ProbeRunsOnTheWorkerAndASilentServerDoesNotHoldTheWindow)
{
    // A server that takes the connection and never answers.
    sockaddr_in address;
    SOCKET listener = BoundLoopbackSocket(&address);
    ASSERT_EQ(0, listen(listener, 4));
    g_serverSettings.serverPort = ntohs(address.sin_port);
    const std::string url = "http://127.0.0.1:" + std::to_string(g_serverSettings.serverPort) + kPage;
    const std::wstring file = AnsiToWide(File("a.bin", 100));
    UploadSpeedTest test(view, state);

    DWORD begin = GetTickCount();
    const bool started = test.Start(file);
    DWORD took = GetTickCount() - begin;
    // The probe may wait 10 s to connect and 30 s in all.
    EXPECT_LT(took, 3000u) << "Start waited for the server";
    ASSERT_TRUE(started);
    EXPECT_EQ(1, state.uploadRunning);
    ASSERT_NE(nullptr, test.Job());
    EXPECT_EQ(url, test.Job()->url);
    EXPECT_FALSE(test.Start(AnsiToWide(File("b.bin", 10)))) << "a second click while probing";

    // The worker's probe arrives and waits for an answer; nothing is
    // reported meanwhile. Then the server hangs up without one.
    SOCKET probe = AcceptProbe(listener);
    ASSERT_NE(INVALID_SOCKET, probe) << "no probe came";
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, view.Window(), WM_UPLOAD_PROGRESS, WM_UPLOAD_PROGRESS, PM_NOREMOVE));
    closesocket(probe);
    closesocket(listener);

    ASSERT_TRUE(view.Pump(test));
    ASSERT_EQ(1u, view.records.size()) << "nothing but the done record";
    EXPECT_EQ(1, view.records[0].unavailable);
    ExpectOneWarning("上传测试接口:" + url + " 不可用");
    ExpectIdle(test);
}

TEST_F(UploadTest, UnavailablePageLeavesTheDownloadTestAlone)
{
    ASSERT_TRUE(DemoFault(kPage, "404"));
    state.testRunning = state.downloadRunning = 1;
    UploadSpeedTest test(view, state);
    ASSERT_TRUE(test.Start(AnsiToWide(File("a.bin", 100))));
    ASSERT_TRUE(view.Pump(test));
    ASSERT_EQ(1u, scope.boxes.size());
    EXPECT_EQ("上传测试接口:" + DemoBaseUrl() + kPage + " 不可用", scope.boxes[0].text);
    EXPECT_EQ(1, state.testRunning);
    EXPECT_EQ(1, state.downloadRunning);
    EXPECT_EQ(0, state.uploadRunning);
    EXPECT_EQ(nullptr, test.Job());
    EXPECT_EQ(std::string("HEAD ") + kPage + "\n", DemoGet("/_demo/requests")) << "only the probe";

    // Without "/login.htm" the page follows the port directly.
    g_serverSettings.serverWebsite = "/norvik/index.htm";
    EXPECT_EQ(DemoBaseUrl() + "/SM/Upload/TestUploadSpeed.aspx", UploadTestUrl());
}

TEST_F(UploadTest, ServerDroppingTheConnectionStillEndsTheRun)
{
    ASSERT_TRUE(DemoFault(kPage, "cut"));
    UploadSpeedTest test(view, state);
    ASSERT_TRUE(test.Start(AnsiToWide(File("big.bin", 16 << 20))));
    ASSERT_TRUE(view.Pump(test));
    int doneRecords = 0;
    for (const auto& r : view.records) doneRecords += r.done;
    EXPECT_EQ(1, doneRecords);
    EXPECT_EQ(1, view.records.back().done);
    EXPECT_LT(view.records[view.records.size() - 2].posted, 16u << 20);
    ExpectIdle(test);
    EXPECT_TRUE(scope.boxes.empty());
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("UploadThread failed: 408 ::InternetWriteFile failed."));

    // A page that answers the probe and is gone by the post ends the same
    // way: one done record, not marked unavailable, and no box.
    sockaddr_in address;
    SOCKET listener = BoundLoopbackSocket(&address);
    ASSERT_EQ(0, listen(listener, 1));
    g_serverSettings.serverPort = ntohs(address.sin_port);
    view.records.clear();
    ASSERT_TRUE(test.Start(AnsiToWide(File("small.bin", 10))));
    SOCKET probe = AcceptProbe(listener);
    ASSERT_NE(INVALID_SOCKET, probe);
    std::string request;
    char buffer[1024];
    int n;
    while (request.find("\r\n\r\n") == std::string::npos && (n = recv(probe, buffer, sizeof buffer, 0)) > 0)
        request.append(buffer, n);
    EXPECT_EQ(0u, request.find("HEAD ")) << request;
    closesocket(listener);  // before the answer, so the post finds nobody
    const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send(probe, answer, sizeof answer - 1, 0);
    closesocket(probe);
    ASSERT_TRUE(view.Pump(test));
    ASSERT_EQ(1u, view.records.size());
    EXPECT_EQ(0, view.records[0].unavailable);
    EXPECT_TRUE(scope.boxes.empty());
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("UploadThread failed: 407"));
}
