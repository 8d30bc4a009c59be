#include "browser/shortcut.h"

#include "settings/config.h"
#include "base/textconv.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <string>
#include <thread>

namespace {

const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const char kFallbackBrowser[] = "C:\\Program Files (x86)\\Internet Explorer\\iexplore.exe";

struct LinkContents {
    HRESULT loaded = E_FAIL;
    std::wstring target, arguments, description, icon;
    int iconIndex = -1;
};

// Reads a saved link back through the shell's own link object.
LinkContents ReadLink(const std::wstring& path)
{
    LinkContents out;
    IShellLinkW* link = nullptr;
    out.loaded = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (FAILED(out.loaded)) return out;
    IPersistFile* file = nullptr;
    out.loaded = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(out.loaded)) {
        out.loaded = file->Load(path.c_str(), STGM_READ);
        file->Release();
    }
    if (SUCCEEDED(out.loaded)) {
        wchar_t text[1024];
        if (link->GetPath(text, 1024, nullptr, SLGP_RAWPATH) == S_OK) out.target = text;
        if (SUCCEEDED(link->GetArguments(text, 1024))) out.arguments = text;
        if (SUCCEEDED(link->GetDescription(text, 1024))) out.description = text;
        int index = -1;
        if (SUCCEEDED(link->GetIconLocation(text, 1024, &index))) {
            out.icon = text;
            out.iconIndex = index;
        }
    }
    link->Release();
    return out;
}

// The ShowCommand field of a link file's header (little-endian, offset 0x3C).
int StoredShowCommand(const std::wstring& path)
{
    std::string bytes = ReadFileBytes(WideToAnsi(path));
    if (bytes.size() < 0x4C) return -1;
    int value = 0;
    for (int i = 3; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(bytes[0x3C + i]);
    return value;
}

std::wstring Desktop()
{
    wchar_t folder[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_DESKTOPDIRECTORY, FALSE);
    return folder;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetAppPath(HKEY root, const std::string& value, DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, kAppPaths, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

// Runs `body` on a thread of its own, where COM starts out not initialised.
void OnFreshThread(const std::function<void()>& body)
{
    std::thread thread(body);
    thread.join();
}

class LoginShortcut : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_serverSettings;
        g_serverSettings.serverAddr = "srv";
        g_serverSettings.serverPort = 8080;
        g_serverSettings.serverWebsite = "/norvik/login.htm";
        g_serverSettings.edition = "std";
        g_serverSettings.editionName = EditionDisplayName("std");
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        // Left over by an earlier run that stopped half-way.
        DeleteFileW(StandardLink().c_str());
        DeleteFileW(PlainLink().c_str());
    }

    void TearDown() override
    {
        DeleteFileW(StandardLink().c_str());
        DeleteFileW(PlainLink().c_str());
        CoUninitialize();
        g_serverSettings = m_saved;
    }

    // Spelled out in UTF-16, independent of the narrow conversions under test.
    static std::wstring StandardLink() { return Desktop() + L"\\Norvik12.0\u6807\u51c6\u7248.lnk"; }
    static std::wstring PlainLink() { return Desktop() + L"\\Norvik12.0.lnk"; }

private:
    ServerSettings m_saved;
};

TEST_F(LoginShortcut, TextsFollowTheServerSettings)
{
    EXPECT_EQ(" -nomerge \"http://srv:8080/norvik/login.htm\"", LoginShortcutArguments(g_serverSettings));
    EXPECT_EQ(StandardLink(), AnsiToWide(LoginShortcutPath(g_serverSettings)));

    g_serverSettings.serverWebsite = "norvik/login.htm";  // appended as it is
    g_serverSettings.serverPort = 80;                      // the default port is still written
    EXPECT_EQ(" -nomerge \"http://srv:80norvik/login.htm\"", LoginShortcutArguments(g_serverSettings));
    g_serverSettings.serverPort = 65535;  // unsigned, not a negative 16-bit number
    g_serverSettings.serverWebsite = "";
    EXPECT_EQ(" -nomerge \"http://srv:65535\"", LoginShortcutArguments(g_serverSettings));

    g_serverSettings.editionName = EditionDisplayName("pro");
    EXPECT_EQ(Desktop() + L"\\Norvik12.0\u4e13\u4e1a\u7248.lnk", AnsiToWide(LoginShortcutPath(g_serverSettings)));
    g_serverSettings.editionName = EditionDisplayName("nonsense");
    EXPECT_EQ(PlainLink(), AnsiToWide(LoginShortcutPath(g_serverSettings)));

    wchar_t system[MAX_PATH] = L"";
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 2u);
    EXPECT_EQ(std::wstring(system, 2) + L"\\login.ico", AnsiToWide(LoginIconPath()));
}

TEST_F(LoginShortcut, BrowserPathComesFromAppPathsOrTheFallback)
{
    ScratchRegistry scratch(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(kFallbackBrowser, BrowserPath());  // no key at all

    SetAppPath(scratch.real(), "D:\\\xe4\xaf\xc0\xc0\\browser.exe");  // GBK bytes pass unchanged
    EXPECT_EQ("D:\\\xe4\xaf\xc0\xc0\\browser.exe", BrowserPath());

    SetAppPath(scratch.real(), std::string(258, 'x'));  // 259 bytes with its zero: still fits
    EXPECT_EQ(std::string(258, 'x'), BrowserPath());
    SetAppPath(scratch.real(), std::string(300, 'x'));
    EXPECT_EQ(kFallbackBrowser, BrowserPath());

    DWORD number = 7;
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch.real(), kAppPaths, 0, KEY_ALL_ACCESS, &key));
    RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(kFallbackBrowser, BrowserPath());
}

TEST_F(LoginShortcut, WritesTheLinkToTheDesktop)
{
    std::wstring desktop = Desktop();
    ASSERT_FALSE(desktop.empty());
    // The test prefix's desktop is a folder of its own, never a link into a home.
    ASSERT_EQ(FILE_ATTRIBUTE_DIRECTORY,
              GetFileAttributesW(desktop.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

    ScratchRegistry scratch(HKEY_LOCAL_MACHINE);
    std::string browser = MakeScratchFolder("browser") + "\\\xe4\xaf\xc0\xc0.exe";
    ASSERT_TRUE(WriteFileBytes(browser, "MZ"));
    SetAppPath(scratch.real(), browser);

    CreateLoginShortcut(g_serverSettings);

    LinkContents link = ReadLink(StandardLink());
    ASSERT_EQ(S_OK, link.loaded);
    EXPECT_EQ(AnsiToWide(browser), link.target);
    EXPECT_EQ(L" -nomerge \"http://srv:8080/norvik/login.htm\"", link.arguments);
    EXPECT_EQ(L"Norvik Pylonix", link.description);
    // Loading turns any show command but 1, 3 and 7 into 1, so the stored
    // field is read from the file's header.
    EXPECT_EQ(SW_SHOW, StoredShowCommand(StandardLink()));
    EXPECT_EQ(AnsiToWide(LoginIconPath()), link.icon);
    EXPECT_EQ(0, link.iconIndex);
    EXPECT_FALSE(Exists(PlainLink()));
    DeleteFileA(browser.c_str());
}

TEST_F(LoginShortcut, UsesTheFallbackBrowserAndThePlainNameWithoutEdition)
{
    ScratchRegistry scratch(HKEY_LOCAL_MACHINE);
    g_serverSettings.edition = "";
    g_serverSettings.editionName = "";

    CreateLoginShortcut(g_serverSettings);

    EXPECT_FALSE(Exists(StandardLink()));
    LinkContents link = ReadLink(PlainLink());
    ASSERT_EQ(S_OK, link.loaded);
    EXPECT_EQ(AnsiToWide(kFallbackBrowser), link.target);
}

TEST_F(LoginShortcut, LeavesAnExistingFileAlone)
{
    const std::string bytes("not a link\r\n\0\x01\x02", 15);
    ASSERT_TRUE(WriteFileBytes(LoginShortcutPath(g_serverSettings), bytes));
    g_serverSettings.serverAddr = "other";

    CreateLoginShortcut(g_serverSettings);

    EXPECT_EQ(bytes, ReadFileBytes(LoginShortcutPath(g_serverSettings)));
}

TEST_F(LoginShortcut, SetsUpAndReleasesComOnItsOwn)
{
    HRESULT after = S_OK;
    OnFreshThread([&] {
        CreateLoginShortcut(g_serverSettings);
        // Balanced: the thread is left without COM, as it was found.
        IUnknown* object = nullptr;
        after = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&object));
        if (object) object->Release();
    });
    EXPECT_EQ(CO_E_NOTINITIALIZED, after);
    EXPECT_EQ(S_OK, ReadLink(StandardLink()).loaded);
}

TEST_F(LoginShortcut, WritesNothingWhenComCannotBeSetUp)
{
    OnFreshThread([] {
        // A multithreaded apartment makes the single-threaded set-up fail.
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        CreateLoginShortcut(g_serverSettings);
        CoUninitialize();
    });
    EXPECT_FALSE(Exists(StandardLink()));
}

class CreateShortcutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        m_folder = MakeScratchFolder("links");
    }
    void TearDown() override { CoUninitialize(); }
    std::string m_folder;
};

TEST_F(CreateShortcutTest, RefusesMissingTexts)
{
    std::string link = m_folder + "\\a.lnk";
    const char* l = link.c_str();
    EXPECT_EQ(E_INVALIDARG, CreateShortcut(nullptr, "", l, ""));
    EXPECT_EQ(E_INVALIDARG, CreateShortcut("", "", l, ""));
    EXPECT_EQ(E_INVALIDARG, CreateShortcut("C:\\b.exe", nullptr, l, ""));
    EXPECT_EQ(E_INVALIDARG, CreateShortcut("C:\\b.exe", "", nullptr, ""));
    EXPECT_EQ(E_INVALIDARG, CreateShortcut("C:\\b.exe", "", "", ""));
    EXPECT_EQ(E_INVALIDARG, CreateShortcut("C:\\b.exe", "", l, nullptr));
    EXPECT_FALSE(Exists(AnsiToWide(link)));
}

TEST_F(CreateShortcutTest, EmptyArgumentsAndIconAreAllowed)
{
    std::string link = m_folder + "\\\xb2\xe2\xca\xd4.lnk";  // GBK file name
    ASSERT_EQ(S_OK, CreateShortcut("C:\\windows\\notepad.exe", "", link.c_str(), ""));
    LinkContents read = ReadLink(AnsiToWide(link));
    ASSERT_EQ(S_OK, read.loaded);
    EXPECT_EQ(L"C:\\windows\\notepad.exe", read.target);
    EXPECT_EQ(L"", read.arguments);
    EXPECT_EQ(L"", read.icon);
    DeleteFileA(link.c_str());
}

TEST_F(CreateShortcutTest, ReportsWhatWentWrong)
{
    // Saving into a folder that is not there: the save's own failure.
    std::string missing = m_folder + "\\missing\\a.lnk";
    EXPECT_TRUE(FAILED(CreateShortcut("C:\\windows\\notepad.exe", "", missing.c_str(), "")));

    // Without COM the link object cannot be made.
    std::string link = m_folder + "\\b.lnk";
    HRESULT hr = S_OK;
    OnFreshThread([&] { hr = CreateShortcut("C:\\windows\\notepad.exe", "", link.c_str(), ""); });
    EXPECT_EQ(CO_E_NOTINITIALIZED, hr);
    EXPECT_FALSE(Exists(AnsiToWide(link)));
}

} // namespace
