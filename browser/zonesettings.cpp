#include "browser/zonesettings.h"

#include "browser/regkeys.h"
#include "browser/trustsites.h"

namespace {

struct DwordSetting {
    const wchar_t* name;
    DWORD value;
};

// Writes the values in order, stopping at the first that fails.
bool WriteAll(HKEY key, const DwordSetting* settings, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!SetDwordValue(key, settings[i].name, settings[i].value)) return false;
    return true;
}

// One key, opened (or created when allowed), its values written, closed.
bool WriteKey(HKEY root, const char* path, bool create, const DwordSetting* settings, size_t count)
{
    HKEY key = OpenBrowserKey(root, path, create);
    if (!key) return false;
    bool written = WriteAll(key, settings, count);
    RegCloseKey(key);
    return written;
}

template <size_t N> bool WriteKey(HKEY root, const char* path, bool create, const DwordSetting (&settings)[N])
{
    return WriteKey(root, path, create, settings, N);
}

const DwordSetting kTrustedZoneSettings[] = {
    {L"1004", 0},  // download unsigned ActiveX controls
    {L"1405", 0},  // script controls marked safe for scripting
    {L"1201", 0},  // initialise and script controls not marked safe
    {L"1001", 0},  // download signed ActiveX controls
    {L"2200", 0},  // automatic prompting for file downloads
    {L"2102", 0},  // script windows without size or position limits
    {L"1402", 0},  // scripting of applets
    {L"1400", 0},  // active scripting
    {L"CurrentLevel", 0},  // custom level
    {L"160A", 0},  // include the local path when uploading files
};

const DwordSetting kInternetZoneSettings[] = {
    {L"160A", 0},  // include the local path when uploading files
    {L"1804", 1},  // programs and files in an IFRAME: prompt
    {L"1809", 3},  // pop-up blocker: off
};
const DwordSetting kMachineMain[] = {{L"TabProcGrowth", 0}};
const DwordSetting kInternational[] = {{L"AutoDetect", 1}};
const DwordSetting kPrivacy[] = {{L"UseAllowList", 0}};
const DwordSetting kBrowserEmulation[] = {{L"IntranetCompatibilityMode", 1}};
const DwordSetting kSecurityManagerFeature[] = {{L"iexplore.exe", 1}};

} // namespace

bool IEActiveXSetting()
{
    return WriteKey(HKEY_CURRENT_USER, kTrustedZoneKey, false, kTrustedZoneSettings);
}

bool OtherIESetting()
{
    if (!WriteKey(HKEY_CURRENT_USER, kInternetZoneKey, false, kInternetZoneSettings)) return false;
    if (!WriteKey(HKEY_LOCAL_MACHINE, kMachineMainKey, false, kMachineMain)) return false;
    if (!WriteKey(HKEY_CURRENT_USER, kInternationalKey, false, kInternational)) return false;
    if (!WriteKey(HKEY_CURRENT_USER, kPrivacyKey, true, kPrivacy)) return false;
    if (!WriteKey(HKEY_CURRENT_USER, kBrowserEmulationKey, true, kBrowserEmulation)) return false;
    // The feature key is only adjusted where it exists; it is never created.
    HKEY feature = OpenBrowserKey(HKEY_CURRENT_USER, kSecurityManagerFeatureKey, false);
    if (!feature) return true;
    bool written = WriteAll(feature, kSecurityManagerFeature, 1);
    RegCloseKey(feature);
    return written;
}
