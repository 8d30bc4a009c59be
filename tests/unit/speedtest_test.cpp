#include "testutil.h"

#include "settings/config.h"
#include "pages/networkpage.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Stands in for the network tab: keeps what each control would show.
class RecordingView : public NetworkTabView {
public:
    HWND Window() override { return sink.window(); }
    void ShowControl(int id, bool visible) override { shown.Set(id, visible); }
    void SetProgress(int id, int percent) override { progress[id] = percent; }
    void SetText(int id, const std::string& text) override
    {
        texts[id] = text;
        if (id == kNetDownloadSpeed) figures.push_back(text);
    }
    void Redraw() override { ++redraws; }

    RecordSink sink;
    VisibilityLog shown;
    std::map<int, int> progress;
    std::map<int, std::string> texts;
    std::vector<std::string> figures;  // every download figure, in order
    int redraws = 0;
};

DWORD g_fakeNow = 0;
DWORD FakeTick() { return g_fakeNow; }

class SpeedTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(DemoReset());
    }
    void TearDown() override
    {
        DemoReset();
    }
    // Feeds every record to the test, as the window's handler would.
    bool RunToEnd(DownloadSpeedTest& test)
    {
        return view.sink.PumpUntilDone(120000, [&](DownloadProgress* p) {
            ++records;
            test.OnProgress(std::unique_ptr<DownloadProgress>(p));
        });
    }

    AppScope scope;
    ServerAtDemo server;
    RecordingView view;
    NetworkTestState state;
    int records = 0;
};

// A record whose bytes were counted at `receivedAt` microseconds of a
// transfer whose first bytes arrived at `started` (0: not yet).
std::unique_ptr<DownloadProgress> Record(uint32_t received, uint32_t total, int done, uint64_t started = 0,
                                         uint64_t receivedAt = 0)
{
    auto p = std::make_unique<DownloadProgress>();
    p->kind = kTransferSpeedTest;
    p->received = received;
    p->total = total;
    p->percent = static_cast<double>(received) / total * 100.0;
    p->done = done;
    p->success = 1;
    p->started = started;
    p->receivedAt = receivedAt;
    return p;
}

} // namespace

TEST(SpeedText, KilobytesPerSecondOverTheMeasuredTime)
{
    EXPECT_EQ("500KB/s", SpeedText(1536000, 3000000));
    EXPECT_EQ("1501KB/s", SpeedText(1536000, 999000));
    // A file that arrives within the first second is not divided by a whole
    // one: 32 MiB in 280 ms is a gigabit LAN's figure, not the file's size.
    EXPECT_EQ("117028KB/s", SpeedText(32u << 20, 280000));
    // Less than a millisecond is still time the clock measured.
    EXPECT_EQ("6000000KB/s", SpeedText(1536000, 250));
    // No time at all: no figure.
    EXPECT_EQ("", SpeedText(1536000, 0));
    // Kilobytes are whole: 1023 bytes are none.
    EXPECT_EQ("0KB/s", SpeedText(1023, 1000000));
    // Two hours do not wrap to a few minutes, the largest figures do not wrap.
    EXPECT_EQ("1KB/s", SpeedText(7200u << 10, 7200000000ull));
    EXPECT_EQ("4194303000000KB/s", SpeedText(0xFFFFFFFFu, 1));
}

TEST_F(SpeedTest, RecordsMoveTheBarAndShowAFigureOnlyOverMeasuredTime)
{
    DownloadSpeedTest test(view, state);
    state.testRunning = state.downloadRunning = 1;
    const uint64_t start = 7000000;

    // The first record goes out with the body's first bytes: the bar moves,
    // but no time lies behind its bytes, so there is no figure yet.
    test.OnProgress(Record(65536, 2000000, 0, start, start));
    EXPECT_EQ(3, view.progress[kNetDownloadBar]);
    EXPECT_TRUE(view.figures.empty()) << view.figures[0];
    // Nor before the transfer has begun.
    test.OnProgress(Record(0, 2000000, 0));
    EXPECT_TRUE(view.figures.empty()) << view.figures[0];

    test.OnProgress(Record(1536000, 2000000, 0, start, start + 3000000));
    EXPECT_EQ(76, view.progress[kNetDownloadBar]);  // 76.8 truncated
    EXPECT_EQ("500KB/s", view.texts[kNetDownloadSpeed]);
    EXPECT_EQ(1, state.downloadRunning);
    EXPECT_FALSE(view.shown.Told(kNetRetestButton));

    // The upload test still runs: the network test as a whole goes on. The
    // done record's figure is over the whole transfer, however short.
    state.uploadRunning = 1;
    test.OnProgress(Record(32u << 20, 32u << 20, 1, start, start + 280000));
    EXPECT_EQ(100, view.progress[kNetDownloadBar]);
    EXPECT_EQ("117028KB/s", view.texts[kNetDownloadSpeed]);
    EXPECT_EQ(0, state.downloadRunning);
    EXPECT_EQ(1, state.testRunning);
    EXPECT_EQ(Visibility::Shown, view.shown[kNetRetestButton]);
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("download speed test ended: 117028KB/s, 33554432 of 33554432 bytes\r\n"));
}

TEST_F(SpeedTest, RealRunThenRetestOnTheSameJob)
{
    DownloadSpeedTest test(view, state);
    test.ResetTabAndStart();
    for (int id : {int(kNetTestButton), 1141, 1145, 1149, int(kNetRelationLabel), int(kNetRelationText), int(kNetBrowserPane)})
        EXPECT_EQ(Visibility::Hidden, view.shown[id]) << id;
    EXPECT_EQ(Visibility::Shown, view.shown[kNetSplitPane]);
    EXPECT_EQ("0KB/s", view.texts[kNetUploadSpeed]);
    EXPECT_EQ(0, view.progress[kNetUploadBar]);
    EXPECT_EQ(Visibility::Hidden, view.shown[kNetRetestButton]);
    EXPECT_EQ(1, state.testRunning);
    EXPECT_EQ(1, state.downloadRunning);
    EXPECT_FALSE(test.DiscardJob()) << "job dropped while its download runs";
    // A retest asked for meanwhile does not start a second run on the job.
    const DownloadJob* running = test.Job();
    const DWORD started = state.downloadStart;
    const auto realTick = test.m_tick;
    test.m_tick = FakeTick;
    g_fakeNow = started + 5000;
    test.Start();
    test.m_tick = realTick;
    EXPECT_EQ(running, test.Job());
    EXPECT_EQ(started, state.downloadStart);

    ASSERT_TRUE(RunToEnd(test));
    const DownloadJob* job = test.Job();
    ASSERT_NE(nullptr, job);
    EXPECT_EQ(kTransferSpeedTest, job->kind);
    EXPECT_EQ(DemoBaseUrl() + "/norvik/Download/IE/" + kSpeedTestFile, job->url);
    EXPECT_GE(job->total, 20u << 20);
    EXPECT_EQ(job->total, job->received);
    EXPECT_EQ(100, view.progress[kNetDownloadBar]);
    // The whole transfer ends with its figure, however fast the loopback.
    EXPECT_GT(atoll(view.texts[kNetDownloadSpeed].c_str()), 0) << view.texts[kNetDownloadSpeed];
    EXPECT_EQ(Visibility::Shown, view.shown[kNetRetestButton]);
    EXPECT_EQ(0, state.testRunning);
    EXPECT_EQ(0, state.downloadRunning);
    EXPECT_EQ(static_cast<int>(job->total), static_cast<int>(ReadFileBytes(SpeedTestPath()).size()));

    records = 0;
    test.Start();
    EXPECT_EQ(job, test.Job());
    EXPECT_EQ(Visibility::Hidden, view.shown[kNetRetestButton]);
    ASSERT_TRUE(RunToEnd(test));
    EXPECT_GE(records, 1);
    EXPECT_EQ(Visibility::Shown, view.shown[kNetRetestButton]);
    EXPECT_TRUE(test.DiscardJob());
    EXPECT_EQ(nullptr, test.Job());
}

TEST_F(SpeedTest, UnavailableFileEndsLikeAFinishedRun)
{
    ASSERT_TRUE(DemoFault(std::string("/norvik/Download/IE/") + kSpeedTestFile, "404"));
    DownloadSpeedTest test(view, state);
    test.ResetTabAndStart();
    ASSERT_TRUE(RunToEnd(test));
    EXPECT_EQ(1, records);
    EXPECT_EQ("0KB/s", view.texts[kNetDownloadSpeed]);
    EXPECT_EQ(0, view.progress[kNetDownloadBar]);
    EXPECT_EQ(Visibility::Shown, view.shown[kNetRetestButton]);
    EXPECT_EQ(0, state.testRunning);
    ASSERT_EQ(1u, scope.boxes.size());
    EXPECT_EQ("请检查资源是否有效:" + SpeedTestUrl(), scope.boxes[0].text);
}
