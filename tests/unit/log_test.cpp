#include "testutil.h"

#include "base/log.h"
#include "base/paths.h"

#include <gtest/gtest.h>

#include <io.h>
#include <time.h>

#include <regex>

TEST(WriteLog, LineHasTimeStampTabAndOneLineFeed)
{
    AppScope scope;
    ASSERT_TRUE(WriteLog("plain %d", 42));
    ASSERT_TRUE(WriteLog("crlf message\r\n"));
    std::string log = ReadTodaysLog();
    std::regex line(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\tplain 42\n)"
                    R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\tcrlf message\r\n\n$)");
    EXPECT_TRUE(std::regex_match(log, line)) << log;
}

TEST(WriteLog, FileIsNamedAfterTodayInTheLogsFolder)
{
    AppScope scope;
    ASSERT_TRUE(WriteLog("x"));
    char date[16];
    time_t now = time(nullptr);
    strftime(date, sizeof date, "%Y%m%d", localtime(&now));
    std::string expected = scope.folder() + "logs\\Pylonix_" + date + ".log";
    EXPECT_EQ(0, _access(expected.c_str(), 0)) << expected;
}

TEST(WriteLog, OversizedMessageBecomesTheOverflowLine)
{
    AppScope scope;
    std::string huge(102400, 'a');
    ASSERT_TRUE(WriteLog("%s", huge.c_str()));
    std::string log = ReadTodaysLog();
    std::regex line(R"(^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\t-- \* --\n$)");
    EXPECT_TRUE(std::regex_match(log, line)) << log.substr(0, 80);

    // The largest message that still fits is written whole.
    std::string fits(102397 - 20, 'b');
    ASSERT_TRUE(WriteLog("%s", fits.c_str()));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find(fits + "\n"));
}

TEST(WriteLog, RefusesLogPathsLongerThanItsBuffer)
{
    AppScope scope;
    SetDataFolder(std::wstring(L"C:\\") + std::wstring(290, L'd') + L"\\");
    EXPECT_FALSE(WriteLog("dropped"));
}

TEST(MakeDirectories, CreatesEveryMissingLevelAndAcceptsExistingPaths)
{
    std::string base = MakeScratchFolder("mkdir");
    std::string deep = base + "\\one\\two\\three";
    EXPECT_TRUE(MakeDirectories(deep.c_str()));
    EXPECT_EQ(0, _access((base + "\\one").c_str(), 0));
    EXPECT_EQ(0, _access(deep.c_str(), 0));
    EXPECT_TRUE(MakeDirectories((deep + "\\").c_str()));
    EXPECT_TRUE(MakeDirectories(base.c_str()));
}

TEST(MakeDirectories, FailsWithoutCreatingAnythingForOverlongPathsOrUnderAFile)
{
    std::string base = MakeScratchFolder("long");
    std::string tooLong = base + "\\" + std::string(260 - base.size(), 'x') + "\\sub";
    ConsoleCapture console;
    EXPECT_FALSE(MakeDirectories(tooLong.c_str()));
    EXPECT_NE(0, _access(tooLong.substr(0, base.size() + 20).c_str(), 0));

    // A file where a folder should be: said on the console channel, since
    // the log cannot hold it.
    ASSERT_TRUE(WriteFileBytes(base + "\\file", "x"));
    EXPECT_FALSE(MakeDirectories((base + "\\file\\sub").c_str()));
    EXPECT_EQ("[error]mkdir error\r\n", console.Text());
}
