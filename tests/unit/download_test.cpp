#include "testutil.h"

#include "app/config.h"
#include "net/download.h"

#include <gtest/gtest.h>

#include <io.h>

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
    EXPECT_EQ(served, ReadFileBytes(target));
    EXPECT_NE(0, _access((target + ".download").c_str(), 0));
}

TEST_F(StartupFetch, CutOffTransferLeavesThePreviousListByteForByte)
{
    ASSERT_TRUE(WriteFileBytes(target, previous));
    ASSERT_TRUE(DemoFault(kInfPath, "cut"));
    EXPECT_FALSE(FetchComponentList(url, target));
    EXPECT_EQ(previous, ReadFileBytes(target));
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
        EXPECT_EQ(previous, ReadFileBytes(target));
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
    EXPECT_EQ(previous, ReadFileBytes(target));

    std::string missing = scope.folder() + "no\\such\\folder\\local.inf";
    EXPECT_EQ(kDownloadNoFolder, DownloadFile(&job, url.c_str(), 0, 1, missing.c_str()));
    EXPECT_EQ(kDownloadOk, DownloadFile(&job, url.c_str(), 1, 1, missing.c_str()));
    EXPECT_EQ(job.total, job.received);
    EXPECT_EQ(nullptr, job.file);
}
