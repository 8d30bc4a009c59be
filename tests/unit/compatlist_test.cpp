#include "testutil.h"

#include "base/textconv.h"
#include "browser/compatlist.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <vector>

namespace {
const wchar_t kKey[] = L"Software\\Microsoft\\Internet Explorer\\BrowserEmulation\\ClearableListData";

std::string Le32(uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

void Patch32(std::string& bytes, size_t offset, uint32_t v)
{
    bytes.replace(offset, 4, Le32(v));
}

// One stored entry, written out the long way.
std::string Entry(const std::wstring& site, int length = -1)
{
    uint16_t n = static_cast<uint16_t>(length < 0 ? site.size() : length);
    std::string out = Le32(0x0C) + std::string(8, '\0') + Le32(1) + char(n) + char(n >> 8);
    for (wchar_t c : site) out += {char(c), char(c >> 8)};
    return out;
}

std::string Header(uint32_t id, uint32_t count, uint32_t area, uint32_t created)
{
    return Le32(id) + Le32(0xBAAD0853) + Le32(count) + Le32(area + 12) + Le32(created) + Le32(count);
}

void Store(const ScratchRegistry& registry, const std::string& bytes, DWORD type = REG_BINARY)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(registry.real(), kKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"UserFilter", 0, type,
                                            reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()));
    RegCloseKey(key);
}

// The stored value; fails the test unless it has the given type.
std::string Stored(const ScratchRegistry& registry, DWORD wantType = REG_BINARY)
{
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(registry.real(), kKey, L"UserFilter", RRF_RT_ANY, &type, nullptr, &size));
    std::vector<char> bytes(size + 1);
    LONG result = RegGetValueW(registry.real(), kKey, L"UserFilter", RRF_RT_ANY, &type, bytes.data(), &size);
    EXPECT_EQ(ERROR_SUCCESS, result);
    EXPECT_EQ(wantType, type);
    return result == ERROR_SUCCESS ? std::string(bytes.data(), size) : std::string();
}
} // namespace

TEST(CompatibleList, FirstSiteCreatesTheList)
{
    ScratchRegistry registry;
    CompatibleList list;
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(registry.real(), kKey, 0, KEY_READ, &key)) << "key made on load";
    RegCloseKey(key);
    EXPECT_FALSE(list.headerLoaded());

    ASSERT_TRUE(list.AddSite(L"10.1.2.3"));
    const unsigned char expected[] = {
        0x41, 0x1F, 0, 0, 0x53, 0x08, 0xAD, 0xBA, 1, 0, 0, 0, 18 + 16 + 12, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
        0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 8, 0,
        '1', 0, '0', 0, '.', 0, '1', 0, '.', 0, '2', 0, '.', 0, '3', 0};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), sizeof expected), Stored(registry));

    // Too short to be a list (including empty): thrown away on the first add.
    for (size_t size : {0, 1, 23}) {
        Store(registry, std::string(size, '\x7F'));
        CompatibleList shortList;
        EXPECT_FALSE(shortList.headerLoaded()) << size;
        ASSERT_TRUE(shortList.AddSite(L"10.1.2.3")) << size;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), sizeof expected), Stored(registry))
            << size;
    }
}

TEST(CompatibleList, AppendsAfterTheStoredBytes)
{
    AppScope scope;
    ScratchRegistry registry;
    const std::wstring chinese = L"\u534e\u4e1c.example";
    std::string area = Entry(L"norvik.example") + Entry(chinese) + Entry(L"192.168.0.10");
    // Foreign id and created word, stored as another type: all kept, type ignored.
    std::string old = Header(0x12345678, 3, area.size(), 7) + area;
    Store(registry, old, REG_NONE);

    CompatibleList list;
    EXPECT_TRUE(list.headerLoaded());
    EXPECT_EQ((std::set<std::wstring>{L"norvik.example", chinese, L"192.168.0.10"}), list.sites());

    // Listed sites match exactly: nothing stored, just a log line.
    ASSERT_TRUE(list.AddSite(chinese));
    EXPECT_EQ(old, Stored(registry, REG_NONE));
    EXPECT_NE(std::string::npos, ReadTodaysLog().find(WideToAnsi(chinese) + " already in compatible list\r\n"));

    ASSERT_TRUE(list.AddSite(L"Norvik.example"));
    std::string expected = old + Entry(L"Norvik.example");
    Patch32(expected, 8, 4);
    Patch32(expected, 12, area.size() + Entry(L"Norvik.example").size() + 12);
    Patch32(expected, 20, 4);
    EXPECT_EQ(expected, Stored(registry));

    // The site just added counts as listed, in this object and the next.
    ASSERT_TRUE(list.AddSite(L"Norvik.example"));
    CompatibleList reloaded;
    ASSERT_TRUE(reloaded.AddSite(L"Norvik.example"));
    EXPECT_EQ(expected, Stored(registry));
    EXPECT_EQ(4u, reloaded.sites().size());
}

TEST(CompatibleList, DamagedValuesLoadWhatFitsAndStillGrow)
{
    std::string whole = Entry(L"ok.example");
    std::string tail = Entry(L"tail.example");
    struct Case {
        const char* what;
        std::string area;
        std::vector<std::wstring> sites;
    } cases[] = {
        {"header only", "", {}},
        {"shorter than the first length field", std::string(17, '\0'), {}},
        {"length past the end", whole + Entry(L"abc", 40), {L"ok.example"}},
        {"length 0x8000 with the bytes there", whole + Entry(L"", 0x8000) + std::string(0x10000, 'x'),
         {L"ok.example"}},
        {"length -1", whole + Entry(L"", 0xFFFF) + tail, {L"ok.example"}},
        {"odd size", whole + "\x05", {L"ok.example"}},
        {"half a length field", whole + std::string(17, '\0'), {L"ok.example"}},
        {"truncated text", whole + tail.substr(0, tail.size() - 1), {L"ok.example"}},
        {"zero inside text", Entry(std::wstring(L"a\0b", 3)) + tail, {L"a", L"tail.example"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchRegistry registry;
        std::string old = Header(0x1F41, 2, c.area.size(), 1) + c.area;
        Store(registry, old);
        CompatibleList list;
        EXPECT_EQ(std::set<std::wstring>(c.sites.begin(), c.sites.end()), list.sites());
        EXPECT_EQ(c.area.size(), list.entryAreaSize());

        ASSERT_TRUE(list.AddSite(L"new.example"));
        std::string expected = old + Entry(L"new.example");
        Patch32(expected, 8, 3);
        Patch32(expected, 12, expected.size() - 24 + 12);
        Patch32(expected, 20, 3);
        EXPECT_EQ(expected, Stored(registry));
    }
}

TEST(CompatibleList, RefusesSitesTheLengthFieldCannotHold)
{
    AppScope scope;
    ScratchRegistry registry;
    CompatibleList list;
    EXPECT_FALSE(list.AddSite(std::wstring(0x8000, L'a')));
    EXPECT_EQ(0u, list.entryAreaSize());
    EXPECT_EQ(0u, list.headerWord(kCompatCount));
    ASSERT_TRUE(list.AddSite(std::wstring(0x7FFF, L'a')));
    EXPECT_EQ(24u + 18 + 2 * 0x7FFF, Stored(registry).size());
    CompatibleList reloaded;
    EXPECT_EQ(1u, reloaded.sites().count(std::wstring(0x7FFF, L'a')));
}

TEST(CompatibleList, FailedStoreLeavesTheListAsItWas)
{
    ScratchRegistry outer;
    ScratchRegistry inner;  // lives under `outer`, which stays intact
    std::string old = Header(0x1F41, 1, Entry(L"a").size(), 1) + Entry(L"a");
    Store(inner, old);
    CompatibleList list;
    // With the current user's key deleted, no key can be created under it.
    ASSERT_EQ(ERROR_SUCCESS, SHDeleteKeyW(inner.real(), L"Software"));  // all `inner` holds
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(inner.real(), L""));

    EXPECT_FALSE(list.AddSite(L"b"));
    EXPECT_EQ(std::set<std::wstring>{L"a"}, list.sites());
    EXPECT_EQ(Entry(L"a").size(), list.entryAreaSize());
    EXPECT_EQ(1u, list.headerWord(kCompatCount));

    // Once storing works again, the failed attempt left nothing behind.
    RegOverridePredefKey(HKEY_CURRENT_USER, outer.real());
    ASSERT_TRUE(list.AddSite(L"b"));
    std::string expected = Header(0x1F41, 2, 2 * Entry(L"a").size(), 1) + Entry(L"a") + Entry(L"b");
    EXPECT_EQ(expected, Stored(outer));
}
