#include "testutil.h"

#include "base/textconv.h"
#include "browser/iesettings.h"
#include "browser/shortcut.h"
#include "browser/trustsites.h"
#include "check/browserprobe.h"
#include "check/checkitem.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

// Every registry value a probe reads, as other programs may have left it:
// of another type, longer than any real one, text without its terminating
// zero, a number of the wrong size, or its key missing. Each gives a
// defined answer, never bytes from past the value.
namespace {

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

// How a value is stored: its type and raw bytes; no key at all when
// `missingKey`.
struct Stored {
    const char* shape;
    bool missingKey;
    DWORD type;
    std::string bytes;
};

std::string Utf16(const std::string& ascii, bool terminated = true)
{
    std::string bytes;
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    if (terminated) bytes += std::string(2, '\0');
    return bytes;
}

std::string Dword(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Writes `stored` as `name` under `path` of `root`, the key made first.
void Store(HKEY root, const std::string& path, const wchar_t* name, const Stored& stored)
{
    if (stored.missingKey) return;
    ASSERT_TRUE(MakeKey(root, path));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, AnsiToWide(path).c_str(), 0, KEY_ALL_ACCESS, &key));
    // Wine's registry adds a terminator to a text that a NUL follows in
    // memory, and what follows a string's bytes is whatever the heap holds:
    // two bytes that are no NUL keep the stored shape exactly as written.
    const std::string padded = stored.bytes + "\xff\xff";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, stored.type, reinterpret_cast<const BYTE*>(padded.data()),
                                            static_cast<DWORD>(stored.bytes.size())));
    RegCloseKey(key);
}

class RegistryValues : public testing::Test {
protected:
    ScratchRegistry machine{HKEY_LOCAL_MACHINE};
    ScratchRegistry user;
    AppScope scope;
};

const std::string kHuge(40000, '9');

} // namespace

TEST_F(RegistryValues, BrowserVersionIsReadOnlyFromText)
{
    const char* unreadable = "获取IE版本失败";
    const struct {
        Stored stored;
        const char* description;  // what the row shows
    } cases[] = {
        {{"missing key", true, REG_SZ, ""}, unreadable},
        {{"number", false, REG_DWORD, Dword(0x00380038)}, unreadable},  // "88" if read as text
        {{"binary", false, REG_BINARY, Utf16("8.0")}, unreadable},
        {{"no terminator", false, REG_SZ, Utf16("8.0.6001", false)}, "Microsoft Internet Explorer (8.0.6001)"},
        {{"odd size", false, REG_SZ, Utf16("8.0", false) + "1"}, "Microsoft Internet Explorer (8.01)"},
        {{"expandable", false, REG_EXPAND_SZ, Utf16("8.0")}, "Microsoft Internet Explorer (8.0)"},
        {{"over-long", false, REG_SZ, Utf16("8." + kHuge)}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.shape);
        SHDeleteKeyW(machine.real(), AnsiToWide(kBrowserKey).c_str());
        Store(machine.real(), kBrowserKey, L"Version", c.stored);
        CheckItem item;
        CheckBrowserVersion(item, kCheckProfile);
        if (c.description) {
            EXPECT_EQ(c.description, item.description);
        } else {
            // The whole text, and nothing after it.
            EXPECT_EQ(std::string(kBrowserNamePrefix) + "(8." + kHuge + ")", item.description);
        }
        EXPECT_EQ(c.description != unreadable, item.installed == 1);
    }
}

TEST_F(RegistryValues, PreferencesCountOnlyAsFourByteNumbers)
{
    // MaxScriptStatements passes only as 0xFFFFFFFF; the pop-up manager
    // passes when absent or 0. Anything else that is there fails, and the
    // repair writes a number over it.
    const struct {
        Stored stored;
        bool scriptPasses, popupPasses;
    } cases[] = {
        {{"missing key", true, REG_DWORD, ""}, false, false},
        {{"the number", false, REG_DWORD, Dword(0xFFFFFFFF)}, true, false},
        {{"zero", false, REG_DWORD, Dword(0)}, false, true},
        {{"text of a number", false, REG_SZ, Utf16("0")}, false, false},
        {{"binary of four", false, REG_BINARY, Dword(0)}, false, false},
        {{"eight bytes", false, REG_QWORD, std::string(8, '\xff')}, false, false},
        {{"over-long", false, REG_BINARY, kHuge}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.shape);
        SHDeleteKeyW(user.real(), L"Software");
        Store(user.real(), kStylesKey, L"MaxScriptStatements", c.stored);
        Store(user.real(), kNewWindowsKey, L"PopupMgr", c.stored);
        EXPECT_EQ(c.scriptPasses, CheckMaxScriptment());
        EXPECT_EQ(c.popupPasses, CheckAllowPopUpWin());
        if (!c.stored.missingKey && !c.popupPasses) {
            ASSERT_TRUE(SetMaxScriptment());
            EXPECT_TRUE(CheckMaxScriptment()) << "the repair did not take";
        }
    }
}

TEST_F(RegistryValues, TrustedRangeMatchesOnlyItsOwnText)
{
    // Range1 holds a value left by someone else; adding 10.1.2.3 either
    // finds it there or writes Range2, and Range1 keeps its bytes.
    const struct {
        Stored stored;
        bool found;
    } cases[] = {
        {{"no terminator", false, REG_SZ, Utf16("10.1.2.3", false)}, true},
        {{"number", false, REG_DWORD, Dword(0x00300031)}, false},
        {{"odd size", false, REG_SZ, Utf16("10.1.2.3", false) + "4"}, false},
        {{"over-long", false, REG_SZ, Utf16("10.1.2.3" + kHuge)}, false},
        {{"empty", false, REG_SZ, ""}, false},
    };
    const std::string range1 = std::string(kZoneMapRanges) + "\\Range1";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.shape);
        SHDeleteKeyW(user.real(), L"Software");
        ASSERT_TRUE(MakeKey(user.real(), kTrustedZoneKey));
        Store(user.real(), range1, L":Range", c.stored);
        EXPECT_TRUE(AddTrustSites("10.1.2.3", kZoneMapRanges, kZoneMapDomains));
        EXPECT_EQ(!c.found, KeyExists(user.real(), std::string(kZoneMapRanges) + "\\Range2"));
        RegValue kept = ReadRegValue(user.real(), range1, L":Range");
        EXPECT_EQ(c.stored.type, kept.type);
        EXPECT_TRUE(c.stored.bytes == kept.bytes);
    }
}

TEST_F(RegistryValues, BrowserPathWithoutTerminatorOrOfAnotherKind)
{
    const std::string path = "C:\\IE\\iexplore.exe";
    const std::string fallback = BrowserPath();  // no key yet
    const struct {
        Stored stored;
        bool used;
    } cases[] = {
        {{"no terminator", false, REG_SZ, path}, true},
        {{"expandable", false, REG_EXPAND_SZ, path + '\0'}, true},
        {{"binary", false, REG_BINARY, path + '\0'}, false},
        {{"over-long", false, REG_SZ, kHuge + '\0'}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.shape);
        SHDeleteKeyW(machine.real(), L"SOFTWARE");
        ASSERT_TRUE(MakeKey(machine.real(), kAppPaths));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(machine.real(), kAppPaths, 0, KEY_ALL_ACCESS, &key));
        // Narrow bytes, as a narrow-text installer writes them.
        RegSetValueExA(key, nullptr, 0, c.stored.type, reinterpret_cast<const BYTE*>(c.stored.bytes.data()),
                       static_cast<DWORD>(c.stored.bytes.size()));
        RegCloseKey(key);
        EXPECT_EQ(c.used ? path : fallback, BrowserPath());
    }
}
