#include "testutil.h"

#include "check/osprobe.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

OSFacts Facts(DWORD major, DWORD minor, BYTE productType, WORD suite, WORD arch, DWORD edition = 0)
{
    OSFacts f = {};
    f.version.dwOSVersionInfoSize = sizeof f.version;
    f.version.dwPlatformId = VER_PLATFORM_WIN32_NT;
    f.version.dwMajorVersion = major;
    f.version.dwMinorVersion = minor;
    f.version.wProductType = productType;
    f.version.wSuiteMask = suite;
    f.architecture = arch;
    f.haveProductInfo = major >= 6;
    f.productType = edition;
    return f;
}

struct Described {
    bool known;
    std::wstring name;
    SystemInfo info;
    std::string servicePack;
};

Described Describe(const OSFacts& facts)
{
    Described d{};
    strcpy(d.info.architecture, "X86");
    d.known = DescribeOperatingSystem(facts, &d.info, &d.name, &d.servicePack);
    return d;
}

} // namespace

TEST(OperatingSystemName, WorkstationsOfEachFamily)
{
    Described win7 = Describe(Facts(6, 1, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_AMD64, 48));
    EXPECT_TRUE(win7.known);
    EXPECT_EQ(L"Microsoft Windows 7 Professional, 64-bit", win7.name);
    EXPECT_EQ(1, win7.info.windows7);
    EXPECT_STREQ("X64", win7.info.architecture);

    Described win8 = Describe(Facts(6, 2, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_INTEL, 48));
    EXPECT_EQ(L"Microsoft Windows 8 Professional, 32-bit", win8.name);
    EXPECT_EQ(1, win8.info.windows8);

    OSFacts xpFacts = Facts(5, 1, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_INTEL);
    wcscpy(xpFacts.version.szCSDVersion, L"Service Pack 3");
    Described xp = Describe(xpFacts);
    EXPECT_EQ(L"Microsoft Windows XP Professional", xp.name);
    EXPECT_EQ(1, xp.info.windowsXP);
    EXPECT_STREQ("X86", xp.info.architecture);
    EXPECT_EQ("Service Pack 3", xp.servicePack);

    Described vista = Describe(Facts(6, 0, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_INTEL, 1));
    EXPECT_EQ(L"Microsoft Windows Vista Ultimate Edition, 32-bit", vista.name);
    EXPECT_EQ(1, vista.info.windowsVista);

}

TEST(OperatingSystemName, TodaysSystemsByVersionAndBuild)
{
    struct Case {
        DWORD major, minor, build;
        BYTE type;
        WORD arch;
        const wchar_t* name;
        bool workstationFlag;  // windows8, else server2012
    };
    const Case cases[] = {
        {6, 3, 9600, VER_NT_WORKSTATION, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows 8.1 Professional, 64-bit", true},
        {10, 0, 19045, VER_NT_WORKSTATION, PROCESSOR_ARCHITECTURE_INTEL, L"Microsoft Windows 10 Professional, 32-bit", true},
        {10, 0, 21999, VER_NT_WORKSTATION, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows 10 Professional, 64-bit", true},
        {10, 0, 22000, VER_NT_WORKSTATION, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows 11 Professional, 64-bit", true},
        {10, 0, 26100, VER_NT_WORKSTATION, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows 11 Professional, 64-bit", true},
        {6, 3, 9600, VER_NT_SERVER, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows Server 2012 R2 Standard Edition, 64-bit", false},
        {10, 0, 14393, VER_NT_SERVER, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows Server 2016 Standard Edition, 64-bit", false},
        {10, 0, 17763, VER_NT_DOMAIN_CONTROLLER, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows Server 2019 Standard Edition, 64-bit", false},
        {10, 0, 20348, VER_NT_SERVER, PROCESSOR_ARCHITECTURE_AMD64, L"Microsoft Windows Server 2022 Standard Edition, 64-bit", false},
    };
    for (const Case& c : cases) {
        OSFacts facts = Facts(c.major, c.minor, c.type, 0, c.arch, c.workstationFlag ? 48 : 7);
        facts.version.dwBuildNumber = c.build;
        const Described d = Describe(facts);
        EXPECT_TRUE(d.known);
        EXPECT_EQ(c.name, d.name) << c.build;
        EXPECT_EQ(c.workstationFlag ? 1 : 0, d.info.windows8) << c.build;
        EXPECT_EQ(c.workstationFlag ? 0 : 1, d.info.server2012) << c.build;
        EXPECT_STREQ(c.arch == PROCESSOR_ARCHITECTURE_AMD64 ? "X64" : "X86", d.info.architecture);
    }
    // A minor version nobody has shipped yet: the edition and bitness only.
    Described later = Describe(Facts(6, 4, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_AMD64, 48));
    EXPECT_EQ(L"Microsoft Professional, 64-bit", later.name);
}

TEST(OperatingSystemName, ServersAndTheXp64Special)
{
    Described s2003 = Describe(Facts(5, 2, VER_NT_SERVER, VER_SUITE_ENTERPRISE, PROCESSOR_ARCHITECTURE_INTEL));
    EXPECT_EQ(L"Microsoft Windows Server 2003, Enterprise Edition", s2003.name);
    EXPECT_EQ(1, s2003.info.server2003);
    EXPECT_EQ(1, s2003.info.serverEdition);

    Described xp64 = Describe(Facts(5, 2, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_AMD64));
    EXPECT_EQ(L"Microsoft Windows XP Professional x64 Edition", xp64.name);
    EXPECT_EQ(1, xp64.info.windowsXP);
    EXPECT_EQ(0, xp64.info.server2003);
    EXPECT_STREQ("X64", xp64.info.architecture);

    Described s2008 = Describe(Facts(6, 0, VER_NT_SERVER, 0, PROCESSOR_ARCHITECTURE_AMD64, 7));
    EXPECT_EQ(L"Microsoft Windows Server 2008 Standard Edition, 64-bit", s2008.name);
    EXPECT_EQ(1, s2008.info.server2008);
}

TEST(OperatingSystemName, OlderOrNonNtSystemsAreUnknown)
{
    Described nt4 = Describe(Facts(4, 0, VER_NT_WORKSTATION, 0, PROCESSOR_ARCHITECTURE_INTEL));
    EXPECT_FALSE(nt4.known);
    EXPECT_EQ(1, nt4.info.unknownOS);
    EXPECT_EQ(L"未知windows操作系统", nt4.name);
}

TEST(InterfaceLanguage, SetsOneFlagAndLogsIt)
{
    AppScope scope;
    SystemInfo info{};
    ProbeInterfaceLanguage(&info, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ(1, info.englishUI);
    SystemInfo zh{};
    ProbeInterfaceLanguage(&zh, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    EXPECT_EQ(1, zh.simplifiedChineseUI);
    EXPECT_EQ(0, zh.englishUI);
    SystemInfo tw{};
    ProbeInterfaceLanguage(&tw, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL));
    EXPECT_EQ(1, tw.traditionalChineseUI);
    SystemInfo de{};
    ProbeInterfaceLanguage(&de, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    EXPECT_EQ(0, de.englishUI + de.simplifiedChineseUI + de.traditionalChineseUI);

    std::string log = ReadTodaysLog();
    EXPECT_NE(std::string::npos, log.find("Operate system Language English\r\n"));
    EXPECT_NE(std::string::npos, log.find("Operate system Language simple Chinese\r\n"));
    EXPECT_NE(std::string::npos, log.find("Operate system Language traditional Chinese\r\n"));
}
