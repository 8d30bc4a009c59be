#include "testutil.h"

#include "base/textconv.h"
#include "browser/trustsites.h"

#include <gtest/gtest.h>

namespace {
const char* const kCompatList = "Software\\Microsoft\\Internet Explorer\\BrowserEmulation\\ClearableListData";

std::string Wide(const char* ascii)
{
    std::string bytes;
    for (const char* p = ascii; *p; ++p) {
        bytes += *p;
        bytes += '\0';
    }
    return bytes;
}

class TrustSites : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeKey(user.real(), kTrustedZoneKey)); }

    std::string Range(int n) { return std::string(kZoneMapRanges) + "\\Range" + std::to_string(n); }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
};

} // namespace

TEST_F(TrustSites, WorkedExamples)
{
    EXPECT_TRUE(AddTrustSites("http://10.1.2.3:8080", kZoneMapRanges, kZoneMapDomains));
    RegValue star = ReadRegValue(user.real(), Range(1), L"*");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), star.type);
    EXPECT_EQ(2u, star.dword());
    RegValue range = ReadRegValue(user.real(), Range(1), L":Range");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), range.type);
    EXPECT_EQ(Wide("10.1.2.3"), range.bytes) << "no terminating NUL";
    RegValue flags = ReadRegValue(user.real(), kTrustedZoneKey, L"Flags");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), flags.type);
    EXPECT_EQ(0x43u, flags.dword());

    // Already listed: nothing new.
    EXPECT_TRUE(AddTrustSites("10.1.2.3", kZoneMapRanges, kZoneMapDomains));
    EXPECT_FALSE(KeyExists(user.real(), Range(2)));

    EXPECT_TRUE(AddTrustSites("erp.corp.lan", kZoneMapRanges, kZoneMapDomains));
    EXPECT_EQ(2u, ReadRegValue(user.real(), std::string(kZoneMapDomains) + "\\corp.lan\\erp", L"*").dword());
    EXPECT_TRUE(ValueNames(user.real(), std::string(kZoneMapDomains) + "\\corp.lan").empty());
    EXPECT_TRUE(AddTrustSites("corp.lan", kZoneMapRanges, kZoneMapDomains));
    EXPECT_EQ(2u, ReadRegValue(user.real(), std::string(kZoneMapDomains) + "\\lan\\corp", L"*").dword());

    EXPECT_TRUE(AddTrustSites("http://127.0.0.1", kZoneMapRanges, kZoneMapDomains));
    EXPECT_EQ(Wide("127.0.0.1"), ReadRegValue(user.real(), Range(2), L":Range").bytes);

    EXPECT_FALSE(AddTrustSites("http://localhost", kZoneMapRanges, kZoneMapDomains));
    EXPECT_FALSE(AddTrustSites("10.1.2.3:8080", kZoneMapRanges, kZoneMapDomains));
    EXPECT_FALSE(KeyExists(user.real(), Range(3)));

    // Every site that got this far was offered to the compatibility list.
    std::string list = ReadRegValue(user.real(), kCompatList, L"UserFilter").bytes;
    for (const char* site : {"10.1.2.3", "erp.corp.lan", "corp.lan", "127.0.0.1", "localhost", "8080"})
        EXPECT_NE(std::string::npos, list.find(Wide(site))) << site;

    std::string log = ReadTodaysLog();
    for (const char* line : {"添加可信任站点:http://10.1.2.3:8080\r\n", "error: IsAddress invalid ip:erp.corp.lan\r\n",
                             "Wrong site:localhost\r\n", "Wrong site:8080\r\n"})
        EXPECT_NE(std::string::npos, log.find(line)) << line;
}

TEST_F(TrustSites, NewAddressFillsTheFirstGapAndNeverOverwrites)
{
    HKEY root = user.real();
    ASSERT_TRUE(MakeKey(root, Range(1)));
    {
        HKEY key;
        RegOpenKeyExW(root, AnsiToWide(Range(1)).c_str(), 0, KEY_ALL_ACCESS, &key);
        const wchar_t other[] = L"10.9.9.9";
        RegSetValueExW(key, L":Range", 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
        RegCloseKey(key);
    }
    ASSERT_TRUE(MakeKey(root, Range(2)));  // no ":Range" at all
    ASSERT_TRUE(MakeKey(root, Range(5)));

    EXPECT_TRUE(AddTrustSites("10.1.2.3", kZoneMapRanges, kZoneMapDomains));
    EXPECT_EQ(Wide("10.1.2.3"), ReadRegValue(root, Range(3), L":Range").bytes);
    EXPECT_EQ(Wide("10.9.9.9") + std::string(2, '\0'), ReadRegValue(root, Range(1), L":Range").bytes);
    EXPECT_FALSE(ReadRegValue(root, Range(2), L":Range").present);
    EXPECT_FALSE(KeyExists(root, Range(4)));
    // The stored text with its terminator still matches.
    EXPECT_TRUE(AddTrustSites("10.9.9.9", kZoneMapRanges, kZoneMapDomains));
    EXPECT_FALSE(KeyExists(root, Range(4)));
}

TEST_F(TrustSites, EnhancedSecurityPairAndTheCommandLineForm)
{
    EXPECT_TRUE(AddTrustSites("http://127.0.0.1:8080/x", kZoneMapEscRanges, kZoneMapEscDomains));
    EXPECT_EQ(Wide("127.0.0.1"),
              ReadRegValue(user.real(), std::string(kZoneMapEscRanges) + "\\Range1", L":Range").bytes);
    EXPECT_FALSE(KeyExists(user.real(), kZoneMapRanges));
    EXPECT_TRUE(AddTrustSites("a.b", kZoneMapEscRanges, kZoneMapEscDomains));
    EXPECT_EQ(2u, ReadRegValue(user.real(), std::string(kZoneMapEscDomains) + "\\b\\a", L"*").dword());
}

TEST(TrustSitesWithoutZone, NothingIsWritten)
{
    ScratchRegistry machine(HKEY_LOCAL_MACHINE);
    ScratchRegistry user;
    AppScope scope;
    EXPECT_FALSE(AddTrustSites("10.1.2.3", kZoneMapRanges, kZoneMapDomains));
    EXPECT_FALSE(KeyExists(user.real(), "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"));
    EXPECT_FALSE(ReadRegValue(user.real(), kCompatList, L"UserFilter").present);
    EXPECT_NE(std::string::npos,
              ReadTodaysLog().find(std::string("AddTrustSites fail RegOpenKeyEx:") + kTrustedZoneKey + "\r\n"));
}

TEST(SplitPieces, EmptyPiecesCount)
{
    EXPECT_EQ((std::vector<std::string>{"http", "//10.1.2.3", "8080"}), SplitPieces("http://10.1.2.3:8080", ':'));
    EXPECT_EQ((std::vector<std::string>{"a", ""}), SplitPieces("a:", ':'));
    EXPECT_EQ((std::vector<std::string>{""}), SplitPieces("", ':'));
}
