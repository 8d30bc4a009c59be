#include "testutil.h"

#include "browser/trustsites.h"
#include "browser/zonesettings.h"

#include <gtest/gtest.h>

namespace {

class ZoneSettings : public testing::Test {
protected:
    void MakeProfile()
    {
        ASSERT_TRUE(MakeKey(user.real(), kTrustedZoneKey));
        ASSERT_TRUE(MakeKey(user.real(), kInternetZoneKey));
        ASSERT_TRUE(MakeKey(user.real(), kInternationalKey));
        ASSERT_TRUE(MakeKey(machine.real(), kMachineMainKey));
    }
    void ExpectDword(HKEY root, const char* path, const wchar_t* name, DWORD expected)
    {
        RegValue v = ReadRegValue(root, path, name);
        EXPECT_TRUE(v.present) << path;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), v.type) << path;
        EXPECT_EQ(4u, v.bytes.size()) << path;
        EXPECT_EQ(expected, v.dword()) << path;
    }

    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
};

const wchar_t* const kTrustedValues[] = {L"1004", L"1405", L"1201", L"1001", L"2200",
                                         L"2102", L"1402", L"1400", L"CurrentLevel", L"160A"};

} // namespace

TEST_F(ZoneSettings, TrustedZoneValuesAndIdempotent)
{
    EXPECT_FALSE(IEActiveXSetting()) << "missing zone key";
    EXPECT_FALSE(KeyExists(user.real(), kTrustedZoneKey)) << "and it is not created";

    MakeProfile();
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(IEActiveXSetting());
        EXPECT_EQ(10u, ValueNames(user.real(), kTrustedZoneKey).size());
        for (const wchar_t* name : kTrustedValues) ExpectDword(user.real(), kTrustedZoneKey, name, 0);
    }
}

TEST_F(ZoneSettings, OtherValuesAndTheKeysTheyMayCreate)
{
    EXPECT_FALSE(OtherIESetting()) << "missing Internet zone";
    EXPECT_FALSE(KeyExists(user.real(), kPrivacyKey)) << "nothing after the failed step";

    MakeProfile();
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(OtherIESetting());
        EXPECT_EQ(3u, ValueNames(user.real(), kInternetZoneKey).size());
        ExpectDword(user.real(), kInternetZoneKey, L"160A", 0);
        ExpectDword(user.real(), kInternetZoneKey, L"1804", 1);
        ExpectDword(user.real(), kInternetZoneKey, L"1809", 3);
        ExpectDword(machine.real(), kMachineMainKey, L"TabProcGrowth", 0);
        ExpectDword(user.real(), kInternationalKey, L"AutoDetect", 1);
        ExpectDword(user.real(), kPrivacyKey, L"UseAllowList", 0);
        ExpectDword(user.real(), kBrowserEmulationKey, L"IntranetCompatibilityMode", 1);
        EXPECT_FALSE(KeyExists(user.real(), kSecurityManagerFeatureKey)) << "never created";
    }

    ASSERT_TRUE(MakeKey(user.real(), kSecurityManagerFeatureKey));
    EXPECT_TRUE(OtherIESetting());
    ExpectDword(user.real(), kSecurityManagerFeatureKey, L"iexplore.exe", 1);
}

TEST_F(ZoneSettings, MachineKeyMissingStopsAfterTheInternetZone)
{
    ASSERT_TRUE(MakeKey(user.real(), kInternetZoneKey));
    ASSERT_TRUE(MakeKey(user.real(), kInternationalKey));
    EXPECT_FALSE(OtherIESetting());
    ExpectDword(user.real(), kInternetZoneKey, L"1809", 3);
    EXPECT_FALSE(KeyExists(machine.real(), kMachineMainKey));
    EXPECT_FALSE(ReadRegValue(user.real(), kInternationalKey, L"AutoDetect").present);
}
