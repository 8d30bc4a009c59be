#include "testutil.h"

#include "app/config.h"
#include "net/speedtest.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Stands in for the network tab: keeps what each control would show.
class RecordingView : public NetworkTabView {
public:
    HWND Window() override { return sink.window(); }
    void ShowControl(int id, bool visible) override { shown.Set(id, visible); }
    void SetProgress(int id, int percent) override { progress[id] = percent; }
    void SetText(int id, const std::string& text) override { texts[id] = text; }
    void Redraw() override { ++redraws; }

    RecordSink sink;
    VisibilityLog shown;
    std::map<int, int> progress;
    std::map<int, std::string> texts;
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
            test.OnProgress(p);
        });
    }

    AppScope scope;
    ServerAtDemo server;
    RecordingView view;
    NetworkTestState state;
    int records = 0;
};

DownloadProgress* Record(uint32_t received, uint32_t total, int done)
{
    auto* p = new DownloadProgress;
    p->kind = kTransferSpeedTest;
    p->received = received;
    p->total = total;
    p->percent = static_cast<double>(received) / total * 100.0;
    p->done = done;
    p->success = 1;
    return p;
}

} // namespace

TEST(SpeedText, KilobytesPerSecondOverTheRealMilliseconds)
{
    EXPECT_EQ("500KB/s", SpeedText(1536000, 3000));
    EXPECT_EQ("1500KB/s", SpeedText(1536000, 1000));
    // A file that arrives within the first second is not divided by a whole
    // one: 32 MiB in 280 ms is a gigabit LAN's figure, not the file's size.
    EXPECT_EQ("117028KB/s", SpeedText(32u << 20, 280));
    EXPECT_EQ("1501KB/s", SpeedText(1536000, 999));
    // A transfer within the clock's resolution counts as one millisecond.
    EXPECT_EQ("1500000KB/s", SpeedText(1536000, 0));
    EXPECT_EQ("1500000KB/s", SpeedText(1536000, 1));
    // Milliseconds count: 2.5 s is not rounded down to 2.
    EXPECT_EQ("4096KB/s", SpeedText(10 * 1024 * 1024, 2500));
    // A long run: 20 MiB over ten minutes.
    EXPECT_EQ("34KB/s", SpeedText(20u << 20, 600000));
    // Kilobytes are whole: 1023 bytes are none.
    EXPECT_EQ("0KB/s", SpeedText(1023, 1000));
    // The largest figures do not wrap.
    EXPECT_EQ("4194303KB/s", SpeedText(0xFFFFFFFFu, 1000));
    EXPECT_EQ("4194303000KB/s", SpeedText(0xFFFFFFFFu, 1));
}

TEST_F(SpeedTest, EveryRecordUpdatesBarAndFigureAndTheDoneOneEndsTheRun)
{
    DownloadSpeedTest test(view, state);
    test.m_tick = FakeTick;
    state.testRunning = state.downloadRunning = 1;
    state.downloadStart = g_fakeNow = 5000;

    g_fakeNow += 3000;
    test.OnProgress(Record(1536000, 2000000, 0));
    EXPECT_EQ(76, view.progress[kNetDownloadBar]);  // 76.8 truncated
    EXPECT_EQ("500KB/s", view.texts[kNetDownloadSpeed]);
    EXPECT_EQ(1, state.downloadRunning);
    EXPECT_FALSE(view.shown.Told(kNetRetestButton));

    // Once the transfer has begun, the time before it (probes) is not counted.
    DownloadProgress* timed = Record(1536000, 2000000, 0);
    timed->started = 5000 + 1000;
    test.OnProgress(timed);
    EXPECT_EQ("750KB/s", view.texts[kNetDownloadSpeed]);

    // The upload test still runs: the network test as a whole goes on.
    state.uploadRunning = 1;
    g_fakeNow += 1000;
    test.OnProgress(Record(2000000, 2000000, 1));
    EXPECT_EQ(100, view.progress[kNetDownloadBar]);
    EXPECT_EQ("488KB/s", view.texts[kNetDownloadSpeed]);
    EXPECT_EQ(0, state.downloadRunning);
    EXPECT_EQ(1, state.testRunning);
    EXPECT_EQ(Visibility::Shown, view.shown[kNetRetestButton]);
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
    EXPECT_NE("0KB/s", view.texts[kNetDownloadSpeed]);
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
