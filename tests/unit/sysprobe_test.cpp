#include "testutil.h"

#include "base/textconv.h"
#include "check/sysprobe.h"

#include <gtest/gtest.h>

#include <string.h>

#include <regex>

TEST(SystemProbes, ProcessorNameIsBoundedAndCounted)
{
    EXPECT_EQ("Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz(4)",
              DescribeCpu("Intel(R) Xeon(R) CPU E5-2680 v4 @ 2.40GHz", 4));
    EXPECT_EQ("(1)", DescribeCpu("", 1));

    // A brand without its terminating zero: only the 48 bytes are read.
    char unterminated[64];
    memset(unterminated, 'x', sizeof unterminated);
    EXPECT_EQ(std::string(48, 'x') + "(2)", DescribeCpu(unterminated, 2));

    // The live brand stays inside its 49 bytes and ends with a zero.
    char guarded[kCpuBrandSize + 8];
    memset(guarded, 0x7F, sizeof guarded);
    ReadCpuBrand(guarded);
    EXPECT_EQ('\0', guarded[kCpuBrandSize - 1]);
    for (size_t i = kCpuBrandSize; i < sizeof guarded; ++i) EXPECT_EQ(0x7F, guarded[i]) << i;
}

TEST(SystemProbes, MemoryInWholeMegabytesPerLanguage)
{
    const unsigned long long mb = 1048576ULL;
    EXPECT_EQ("[Physical:8107MB;Available:3412MB]", DescribeMemory(8107 * mb, 3412 * mb, true));
    EXPECT_EQ("[物理内存:8107MB;可用内存:3412MB]", DescribeMemory(8107 * mb, 3412 * mb, false));
    // Rounded down, never up.
    EXPECT_EQ("[Physical:3071MB;Available:0MB]", DescribeMemory(3221225471ULL, mb - 1, true));
    EXPECT_EQ(4096u, WholeMegabytes(4ULL << 30));
}

TEST(SystemProbes, RowsTakeTextsByLanguageAndProfileAndKeepTheirState)
{
    AppScope scope;
    CheckItem cpu, memory, memory2;
    cpu.state = memory.state = kStateFailed;
    EXPECT_EQ(1, CheckCpu(cpu, 1));
    EXPECT_EQ(1, CheckMemory(memory, 1));
    EXPECT_EQ(kItemCpu, cpu.kind);
    EXPECT_EQ("CPU检测", cpu.title);
    EXPECT_EQ("两路双核cpu 2.0以上", cpu.optimal);
    EXPECT_EQ(1, cpu.installed);
    EXPECT_TRUE(std::regex_search(cpu.description, std::regex("\\([1-9][0-9]*\\)$"))) << cpu.description;
    EXPECT_EQ(kItemMemory, memory.kind);
    EXPECT_EQ("2G以上", memory.optimal);
    EXPECT_EQ(kStateFailed, cpu.state);
    EXPECT_EQ(kStateFailed, memory.state);

    scope.app().m_sysInfo.englishUI = 1;
    EXPECT_EQ(1, CheckMemory(memory2, 2));
    EXPECT_EQ("Memory", memory2.title);
    EXPECT_EQ("8G Upper", memory2.optimal);
    EXPECT_TRUE(std::regex_match(memory2.description,
                                 std::regex("\\[Physical:[1-9][0-9]*MB;Available:[0-9]+MB\\]")))
        << memory2.description;
}

TEST(SystemProbes, ServicePackFromTheSharedProbeOrReadOnce)
{
    AppScope scope;
    OSProbe shared;
    shared.versionRead = 1;
    shared.servicePack = "Service Pack 1";
    CheckItem item;
    EXPECT_EQ(1, CheckServicePack(shared, item));
    EXPECT_EQ(kItemServicePack, item.kind);
    EXPECT_EQ("系统补丁", item.title);
    EXPECT_EQ("Service Pack 1", item.description);
    EXPECT_EQ(1, item.installed);

    OSProbe none;
    none.versionRead = 1;
    CheckItem empty;
    empty.state = kStateWarning;
    EXPECT_EQ(1, CheckServicePack(none, empty));
    EXPECT_EQ("", empty.description);
    EXPECT_EQ(0, empty.installed);
    EXPECT_EQ(kStateWarning, empty.state);

    // Without a name probe first, the version record is read here.
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
    OSProbe fresh;
    CheckItem live;
    EXPECT_EQ(1, CheckServicePack(fresh, live));
    EXPECT_EQ(1, fresh.versionRead);
    EXPECT_EQ(WideToAnsi(version.szCSDVersion), live.description);
    EXPECT_EQ(version.szCSDVersion[0] ? 1 : 0, live.installed);
}

TEST(SystemProbes, OperatingSystemRowTitleFollowsTheFlagsBeforeTheProbe)
{
    AppScope scope;
    scope.app().m_sysInfo.englishUI = 1;
    OSProbe probe;
    CheckItem item;
    item.state = kStateFailed;
    item.optimal = "stale";
    ASSERT_EQ(1, CheckOperatingSystem(probe, item));
    EXPECT_EQ(kItemOperatingSystem, item.kind);
    EXPECT_EQ("OS", item.title);
    EXPECT_EQ("", item.optimal);
    EXPECT_EQ(0u, item.description.find("Microsoft Windows")) << item.description;
    EXPECT_EQ(1, probe.versionRead);
    EXPECT_EQ(kStateFailed, item.state);
}
