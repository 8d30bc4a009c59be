#include "browser/cache.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

struct Launch {
    HWND owner;
    std::wstring verb, file, parameters;
    bool hasVerb, hasFile, hasParameters, hasDirectory;
    int show;
};

class ClearIECache : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetShellLauncher([this](HWND owner, const wchar_t* verb, const wchar_t* file,
                                const wchar_t* parameters, const wchar_t* directory, int show) {
            launches.push_back({owner, verb ? verb : L"", file ? file : L"",
                                parameters ? parameters : L"", verb != nullptr, file != nullptr,
                                parameters != nullptr, directory != nullptr, show});
            return reinterpret_cast<HINSTANCE>(42);  // what a started program gives back
        });
    }
    void TearDown() override { SetShellLauncher(nullptr); }

    std::vector<Launch> launches;
};

TEST_F(ClearIECache, StartsTheAppletFourTimesInOrder)
{
    EXPECT_TRUE(::ClearIECache());

    struct Expected {
        const wchar_t* parameters;
        int show;
    } const expected[] = {
        {L"InetCpl.cpl,ClearMyTracksByProcess 8", SW_HIDE},
        {L"InetCpl.cpl,ClearMyTracksByProcess 2", SW_SHOWNORMAL},
        {L"InetCpl.cpl,ClearMyTracksByProcess 16", SW_HIDE},
        {L"InetCpl.cpl,ClearMyTracksByProcess 4351", SW_HIDE},
    };
    ASSERT_EQ(4u, launches.size());
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Launch& launch = launches[i];
        EXPECT_EQ(nullptr, launch.owner);
        EXPECT_TRUE(launch.hasVerb);
        EXPECT_EQ(L"open", launch.verb);
        EXPECT_EQ(L"rundll32.exe", launch.file);
        EXPECT_TRUE(launch.hasParameters);
        EXPECT_EQ(expected[i].parameters, launch.parameters);
        EXPECT_FALSE(launch.hasDirectory);
        EXPECT_EQ(expected[i].show, launch.show);
    }
}

TEST_F(ClearIECache, EveryCallStartsItsOwnRound)
{
    EXPECT_TRUE(::ClearIECache());
    EXPECT_TRUE(::ClearIECache());
    ASSERT_EQ(8u, launches.size());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(launches[i].parameters, launches[i + 4].parameters);
        EXPECT_EQ(launches[i].show, launches[i + 4].show);
    }
}

TEST_F(ClearIECache, FailedLaunchesDoNotStopTheRest)
{
    SetShellLauncher([this](HWND, const wchar_t*, const wchar_t*, const wchar_t* parameters,
                            const wchar_t*, int show) {
        launches.push_back({nullptr, L"", L"", parameters, true, true, true, false, show});
        return reinterpret_cast<HINSTANCE>(SE_ERR_FNF);  // rundll32 not found
    });
    EXPECT_TRUE(::ClearIECache());
    EXPECT_EQ(4u, launches.size());
}

} // namespace
