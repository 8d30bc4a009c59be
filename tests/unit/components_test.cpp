// The component check and repair against the prefix's real system folder,
// with test libraries built by the project and served by the demo server.
#include "testutil.h"

#include "settings/config.h"
#include "base/filehash.h"
#include "base/paths.h"
#include "base/textconv.h"
#include "check/signature.h"
#include "pages/componentrepair.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlwapi.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

const char* const kMarkRoot = "Software\\PylonixTests\\Registered";
const char* const kInstalled[] = {"PylonixPrint.ocx", "PylonixReport.dll", "PylonixCharts.ocx",
                                  "PylonixNoVersion.dll", "PylonixAppType.dll", "PylonixTest.inf"};

std::string FixturePath(const char* file)
{
    std::string path = std::string("Z:") + COMPONENT_FIXTURE_DIR + "/" + file;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// The version a test library wrote when it was registered, "" when none.
std::string MarkVersion(const std::string& name)
{
    RegValue value = ReadRegValue(HKEY_CURRENT_USER, std::string(kMarkRoot) + "\\" + name, L"Version");
    if (!value.present) return std::string();
    std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / 2);
    while (!text.empty() && text.back() == 0) text.pop_back();
    return WideToAnsi(text);
}

// The rows and the page in one: the components row sits at `row` of run
// `run`; a repair's end is recorded with the row it then has.
class RecordingView : public RepairView, public RepairOwner {
public:
    // Hands every done record to `repair` until nothing is pending; for
    // each, how many row results there were right after it.
    std::vector<size_t> Pump(ComponentRepair& repair, DWORD ms)
    {
        std::vector<size_t> resultsAfter;
        DWORD start = GetTickCount();
        while (!repair.pending().empty() && GetTickCount() - start < ms) {
            sink.PumpUntilDone(ms, [&](DownloadProgress* record) {
                repair.OnComponentDownloadDone(*record);
                if (record->done) resultsAfter.push_back(results.size());
                delete record;
            });
        }
        return resultsAfter;
    }

    HWND Window() override { return sink.window(); }
    int RowCount() override { return 9; }
    void ShowRowControl(int kind, int row, int slot, bool on) override { shown.emplace_back(kind, row, slot, on); }
    void SetRowProgress(int, int, int) override {}
    void SetRowText(int, int, int, const std::string& text) override { texts.push_back(text); }
    void Redraw() override {}
    int RowOf(const RowRef& ref) override { return ref.run == run && ref.kind == kItemComponents ? row : -1; }
    void RepairStarted() override { ++animations; }
    void RepairEnded(int result, const RowRef& ref) override { results.emplace_back(result, ref.kind, RowOf(ref)); }
    // The components row of the current run, at `position`.
    RowRef At(int position)
    {
        row = position;
        return {run, kItemComponents};
    }

    RecordSink sink;
    std::vector<std::tuple<int, int, int, bool>> shown;
    std::vector<std::string> texts;
    std::vector<std::tuple<int, int, int>> results;
    int animations = 0;
    LPARAM run = 1;
    int row = 8;
};

// The real system folder, a table of the test's own, the demo server as
// the company server; whatever a test puts into the folder or leaves as a
// registration mark is removed again.
class Components : public ::testing::Test {
protected:
    void SetUp() override
    {
        BOOL wow64 = FALSE;
        IsWow64Process(GetCurrentProcess(), &wow64);
        strcpy(scope.app().m_sysInfo.architecture, wow64 ? "X64" : "X86");
        system = SystemFolder();
        savedTable = g_componentTable;
        savedSettings = g_serverSettings;
        g_componentTable.clear();
        Clean();
    }
    void TearDown() override
    {
        Clean();
        g_componentTable = savedTable;
        g_serverSettings = savedSettings;
    }
    void Clean()
    {
        for (const char* name : kInstalled) DeleteFileW(AnsiToWide(system + "\\" + name).c_str());
        SHDeleteKeyW(HKEY_CURRENT_USER, AnsiToWide(kMarkRoot).c_str());
    }
    void Install(const char* fixture, const char* as)
    {
        std::wstring target = AnsiToWide(system + "\\" + as);
        ASSERT_TRUE(CopyFileW(AnsiToWide(FixturePath(fixture)).c_str(), target.c_str(), FALSE)) << fixture;
    }
    void List(const char* name, int a, int b, int c, int d)
    {
        ComponentInfo& info = g_componentTable[name];
        info.major = a, info.minor = b, info.build = c, info.revision = d;
    }
    ModuleVersion InstalledVersion(const char* name) { return ReadModuleVersion(system + "\\" + name); }

    AppScope scope;
    std::string system;
    ComponentTable savedTable;
    ServerSettings savedSettings;
    RecordingView view;
    ::ComponentRepair repair{view, view};
};

TEST_F(Components, VersionDecidesAndOnlyLibrariesNewEnoughAreRegistered)
{
    Install("PylonixPrintOld.ocx", "PylonixPrint.ocx");  // 2.4.9.9
    Install("PylonixReport.dll", "PylonixReport.dll");   // 3.2.0.0
    Install("PylonixCharts.ocx", "PylonixCharts.ocx");   // 1.0.0.1
    Install("PylonixNoVersion.dll", "PylonixNoVersion.dll");
    Install("PylonixAppType.dll", "PylonixAppType.dll");  // 9.9.9.9, but not a DLL resource
    List("PylonixPrint.ocx", 2, 5, 0, 0);
    List("PylonixReport.dll", 3, 1, 0, 12);
    List("PylonixCharts.ocx", 1, 0, 0, 1);
    List("PylonixNoVersion.dll", 0, 0, 0, 1);
    List("PylonixAppType.dll", 1, 0, 0, 0);
    List("PylonixMissing.dll", 0, 0, 0, 0);

    ComponentList list = BuildComponentList(g_componentTable);
    EXPECT_EQ(system, list.systemFolder);
    std::string states;  // table order: by name
    for (const ComponentInfo& entry : list.entries)
        states += entry.text.substr(7, 3) + "=" + std::to_string(entry.state) + " ";
    EXPECT_EQ("App=0 Cha=1 Mis=0 NoV=0 Pri=0 Rep=1 ", states);
    EXPECT_EQ("", MarkVersion("PylonixPrint.ocx"));
    EXPECT_EQ("3.2.0.0", MarkVersion("PylonixReport.dll"));
    EXPECT_EQ("1.0.0.1", MarkVersion("PylonixCharts.ocx"));

    // Without a version resource a file only passes a list that asks for 0.0.0.0.
    ComponentInfo noVersion;
    noVersion.text = "PylonixNoVersion.dll";
    List("PylonixNoVersion.dll", 0, 0, 0, 0);
    CheckComponentFile(noVersion, system);
    EXPECT_EQ(1, noVersion.state);
}

TEST_F(Components, InfFilesMustBeWritableAndFlashNeedsItsProgId)
{
    ComponentInfo inf;
    inf.text = "PylonixTest.inf";
    CheckComponentFile(inf, system);
    EXPECT_EQ(0, inf.state);
    std::string path = system + "\\PylonixTest.inf";
    ASSERT_TRUE(WriteFileBytes(path, "[x]\r\n"));
    CheckComponentFile(inf, system);
    EXPECT_EQ(1, inf.state);
    // Held without write sharing (a read-only attribute would not do:
    // the tests may run as root, and Wine's read-only is the file mode).
    HANDLE held = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CheckComponentFile(inf, system);
    CloseHandle(held);
    EXPECT_EQ(0, inf.state);

    ComponentInfo flash;
    flash.text = "flashplayer.ocx";
    CheckComponentFile(flash, system);
    EXPECT_EQ(0, flash.state);
    const wchar_t* key = L"Software\\Classes\\ShockwaveFlash.ShockwaveFlash\\CLSID";
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &handle, nullptr));
    const wchar_t clsid[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid), sizeof clsid);
    RegCloseKey(handle);
    CheckComponentFile(flash, system);
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\ShockwaveFlash.ShockwaveFlash");
    EXPECT_EQ(1, flash.state);
}

TEST_F(Components, ItemPassesOnlyWhenEveryComponentIsPresent)
{
    CheckItem item;
    EXPECT_EQ(1, CheckComponents(g_componentTable, item, 1));  // empty list
    EXPECT_EQ(std::make_tuple(int(kItemComponents), int(kStatePassed), 1),
              std::make_tuple(item.kind, item.state, item.installed));
    EXPECT_EQ("第三方组件检测", item.description);

    Install("PylonixCharts.ocx", "PylonixCharts.ocx");
    List("PylonixCharts.ocx", 1, 0, 0, 1);
    List("PylonixReport.dll", 3, 1, 0, 12);
    scope.app().m_sysInfo.englishUI = 1;
    CheckItem failed;
    EXPECT_EQ(0, CheckComponents(g_componentTable, failed, 1));
    EXPECT_EQ(std::make_tuple(int(kStateFailed), 0), std::make_tuple(failed.state, failed.installed));
    EXPECT_EQ("Third Party Tools", failed.description);
}

TEST_F(Components, NamesThatLeaveTheFolderOrReachTheShellAreRefused)
{
    EXPECT_TRUE(IsUsableComponentName("PylonixPrint.ocx"));
    EXPECT_TRUE(IsUsableComponentName("打印控件.ocx"));
    for (const char* name : {"", "..", "..\\PylonixCharts.ocx", "a/b.dll", "C:x.dll", "a.dll & calc", "a b.dll",
                             "a|b.dll", "%PATH%.dll"})
        EXPECT_FALSE(IsUsableComponentName(name)) << name;

    // The file exists one folder up; it must not be loaded from there.
    Install("PylonixCharts.ocx", "PylonixCharts.ocx");
    ComponentInfo escaping;
    escaping.text = "..\\" + std::string(SystemFolderName()) + "\\PylonixCharts.ocx";
    List(escaping.text.c_str(), 0, 0, 0, 0);
    CheckComponentFile(escaping, system);
    EXPECT_EQ(0, escaping.state);
    EXPECT_EQ("", MarkVersion("PylonixCharts.ocx"));
}

// The suite is named after the class it tests; inside it that class is
// spelt ::ComponentRepair.
class ComponentRepair : public Components {
protected:
    void SetUp() override
    {
        Components::SetUp();
        ASSERT_TRUE(DemoReset());
        ASSERT_TRUE(server.ok());
    }
    void TearDown() override
    {
        DemoReset();
        Components::TearDown();
    }

    ServerAtDemo server;
};

TEST_F(ComponentRepair, MissingAndOutdatedFilesAreFetchedMovedAndRegistered)
{
    Install("PylonixPrintOld.ocx", "PylonixPrint.ocx");
    Install("PylonixCharts.ocx", "PylonixCharts.ocx");
    List("PylonixPrint.ocx", 2, 5, 0, 0);
    List("PylonixReport.dll", 3, 1, 0, 12);
    List("PylonixCharts.ocx", 1, 0, 0, 1);

    EXPECT_EQ(0, repair.OnDownAndRegThirdParty(view.At(8)));
    EXPECT_TRUE(repair.Busy());
    // A second start while the files are on their way adds nothing.
    repair.OnDownAndRegThirdParty(view.At(8));
    EXPECT_EQ(2u, repair.pending().size());
    EXPECT_EQ(std::make_tuple(8, 8, 5, false), view.shown.at(0));
    EXPECT_EQ(2, view.animations);

    std::vector<size_t> resultsAfter = view.Pump(repair, 120000);
    ASSERT_EQ(std::vector<size_t>({0, 1}), resultsAfter) << "one result, after the last file";
    EXPECT_FALSE(repair.Busy());
    EXPECT_EQ(std::make_tuple(int(kRowSuccess), 8, 8), view.results.at(0));
    EXPECT_EQ(std::vector<std::string>({"下载完成"}), view.texts);

    ModuleVersion print = InstalledVersion("PylonixPrint.ocx");
    EXPECT_EQ(std::make_tuple(2u, 5u), std::make_tuple(print.major, print.minor));
    EXPECT_EQ(3u, InstalledVersion("PylonixReport.dll").major);
    EXPECT_EQ("2.5.0.0", MarkVersion("PylonixPrint.ocx"));  // by regsvr32, in its own process
    EXPECT_EQ("3.2.0.0", MarkVersion("PylonixReport.dll"));
    EXPECT_FALSE(FileExists(DownloadFolder() + "\\PylonixPrint.ocx"));

    std::string log = ReadTodaysLog();
    EXPECT_NE(std::string::npos, log.find("OnDownAndRegThirdParty need download file:http://127.0.0.1:" +
                                          std::to_string(g_serverSettings.serverPort) +
                                          "/norvik/DownLoad/ThirdParty/PylonixReport.dll"));
    EXPECT_EQ(std::string::npos, log.find("ThirdParty/PylonixCharts.ocx"));
    EXPECT_NE(std::string::npos, log.find("Third party all download finish"));
    CheckItem item;
    EXPECT_EQ(1, CheckComponents(g_componentTable, item, 1));
}

TEST_F(ComponentRepair, FileHeldOpenFailsTheMoveWithOneMessage)
{
    Install("PylonixPrintOld.ocx", "PylonixPrint.ocx");
    List("PylonixPrint.ocx", 2, 5, 0, 0);
    HANDLE held = CreateFileW(AnsiToWide(system + "\\PylonixPrint.ocx").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    repair.OnDownAndRegThirdParty(view.At(3));
    view.Pump(repair, 120000);
    CloseHandle(held);

    ASSERT_EQ(1u, scope.boxes.size());
    EXPECT_EQ(nullptr, scope.boxes[0].owner);
    EXPECT_EQ("文件被占用,无法更新,请关闭浏览器重新检测修复！", scope.boxes[0].text);
    EXPECT_EQ("注意", scope.boxes[0].caption);
    EXPECT_EQ(0, repair.componentsOk());
    EXPECT_EQ(std::vector<std::string>({"下载失败"}), view.texts);
    ASSERT_EQ(1u, view.results.size());
    EXPECT_EQ(std::make_tuple(int(kRowDownloadFailed), 8, 3), view.results[0]);
    EXPECT_EQ(4u, InstalledVersion("PylonixPrint.ocx").minor);  // the old file stays
}

TEST_F(ComponentRepair, FailedOrRefusedFilesEndTheRowFailed)
{
    List("PylonixReport.dll", 3, 1, 0, 12);
    ASSERT_TRUE(DemoFault("/norvik/DownLoad/ThirdParty/PylonixReport.dll", "404"));
    repair.OnDownAndRegThirdParty(view.At(8));
    view.Pump(repair, 60000);
    EXPECT_EQ(std::vector<std::string>({"下载失败"}), view.texts);
    EXPECT_FALSE(FileExists(system + "\\PylonixReport.dll"));

    // A name that would leave the download folder is never fetched, and
    // the rest succeeding does not make the row pass.
    g_componentTable.clear();
    List("PylonixCharts.ocx", 1, 0, 0, 1);
    List("..\\PylonixCharts.ocx", 1, 0, 0, 1);
    view.texts.clear();
    ::ComponentRepair other(view, view);
    other.OnDownAndRegThirdParty(view.At(8));
    EXPECT_EQ(1u, other.pending().size());
    view.Pump(other, 60000);
    EXPECT_EQ(1u, InstalledVersion("PylonixCharts.ocx").major);
    EXPECT_EQ(std::vector<std::string>({"下载失败"}), view.texts);
}

TEST_F(ComponentRepair, ListedHashesDecideWhatIsInstalled)
{
    // The print control is listed with a hash its download does not have:
    // the old control stays. The report library's hash is its own (given
    // in capitals): it is installed.
    Install("PylonixPrintOld.ocx", "PylonixPrint.ocx");
    List("PylonixPrint.ocx", 2, 5, 0, 0);
    List("PylonixReport.dll", 3, 1, 0, 12);
    // The digests as the build machine's own tool gave them.
    std::string good = ReadFileBytes(FixturePath("PylonixReport.dll.sha256")).substr(0, 64);
    const std::string printDigest = ReadFileBytes(FixturePath("PylonixPrint.ocx.sha256")).substr(0, 64);
    ASSERT_EQ(64u, good.size());
    ASSERT_EQ(64u, printDigest.size());
    for (char& c : good) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    g_componentTable["PylonixReport.dll"].sha256 = good;
    const std::string wrong(64, 'a');
    g_componentTable["PylonixPrint.ocx"].sha256 = wrong;

    repair.OnDownAndRegThirdParty(view.At(8));
    view.Pump(repair, 60000);
    EXPECT_EQ(std::make_tuple(int(kRowHashMismatch), 8, 8), view.results.at(0));
    EXPECT_EQ(std::vector<std::string>({"文件校验失败"}), view.texts);
    const ModuleVersion print = InstalledVersion("PylonixPrint.ocx");
    EXPECT_EQ(std::make_tuple(2u, 4u), std::make_tuple(print.major, print.minor)) << "the old control was replaced";
    EXPECT_EQ(3u, InstalledVersion("PylonixReport.dll").major);
    EXPECT_FALSE(FileExists(DownloadFolder() + "\\PylonixPrint.ocx")) << "the refused download was left behind";
    EXPECT_NE(std::string::npos, ReadTodaysLog().find("component PylonixPrint.ocx: SHA-256 mismatch: listed " + wrong +
                                                      ", downloaded " + printDigest));

    // A company that names its signers: the print control's download, now
    // the listed file, is not signed by them, so it is not taken either.
    g_componentTable["PylonixPrint.ocx"].sha256 = printDigest;
    g_serverSettings.componentSigners = {"Pylonix Test Components"};
    view.results.clear();
    view.texts.clear();
    repair.OnDownAndRegThirdParty(view.At(8));
    view.Pump(repair, 60000);
    g_serverSettings.componentSigners.clear();
    EXPECT_EQ(std::make_tuple(int(kRowSignatureRefused), 8, 8), view.results.at(0));
    EXPECT_EQ(std::vector<std::string>({"签名校验失败"}), view.texts);
    EXPECT_EQ(4u, InstalledVersion("PylonixPrint.ocx").minor) << "an unsigned control was installed";
    EXPECT_FALSE(FileExists(DownloadFolder() + "\\PylonixPrint.ocx"));
    EXPECT_NE(std::string::npos,
              ReadTodaysLog().find("PylonixPrint.ocx refused: not signed (signer found: \"\")"));
}

TEST(FileSha256, BCryptAndTheOlderCryptoApiGiveTheStandardDigests)
{
    // XP has no BCrypt: there downloads are checked through CryptoAPI, so both
    // engines must give the published digests, also past one read's buffer.
    AppScope scope;
    const struct {
        std::string bytes, digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    const std::string path = scope.folder() + "hashed.bin";
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        EXPECT_EQ(c.digest, FileSha256(path)) << c.bytes.size() << " bytes";
        EXPECT_EQ(c.digest, FileSha256(path, Sha256Engine::CryptoApi)) << c.bytes.size() << " bytes";
    }
    EXPECT_EQ("", FileSha256(scope.folder() + "missing.bin", Sha256Engine::CryptoApi));
}

TEST_F(ComponentRepair, BadRowsAndStrayRecordsChangeNothing)
{
    List("PylonixReport.dll", 3, 1, 0, 12);
    // Rows of another run or kind are not the repair's.
    EXPECT_EQ(0, repair.OnDownAndRegThirdParty({view.run + 1, kItemComponents}));
    EXPECT_EQ(0, repair.OnDownAndRegThirdParty({view.run, kItemBrowserVersion}));
    EXPECT_TRUE(view.shown.empty());
    EXPECT_FALSE(repair.Busy());

    DownloadProgress stray;
    stray.kind = kTransferComponent;
    stray.done = 1;
    stray.path = DownloadFolder() + "\\PylonixReport.dll";
    repair.OnComponentDownloadDone(stray);
    EXPECT_TRUE(view.results.empty());

    // Nothing to fetch: no download will end the row, so it ends at once.
    g_componentTable.clear();
    repair.OnDownAndRegThirdParty(view.At(8));
    EXPECT_EQ(1, view.animations);
    EXPECT_TRUE(repair.pending().empty());
    ASSERT_EQ(1u, view.results.size());
    EXPECT_EQ(std::make_tuple(int(kRowSuccess), 8, 8), view.results[0]);

    // Only a refused name: nothing is fetched and the row ends failed at
    // once instead of spinning for a download that never comes.
    List("..\\PylonixCharts.ocx", 1, 0, 0, 1);
    repair.OnDownAndRegThirdParty(view.At(8));
    EXPECT_TRUE(repair.pending().empty());
    EXPECT_EQ(std::vector<std::string>({"下载失败"}), view.texts);
    ASSERT_EQ(2u, view.results.size());
    EXPECT_EQ(std::make_tuple(int(kRowDownloadFailed), 8, 8), view.results[1]);
}

}  // namespace

// What the signature check lets through: an intact file of a named signer
// whose certificate's authority the system trusts; never an unsigned, a
// changed or another signer's file, nor the right name from an authority it
// does not trust. With no signers named, every file goes as before.
TEST(ComponentSignature, OnlyIntactFilesOfANamedTrustedSignerPass)
{
    AppScope scope;
    auto signedFile = [](const char* name) { return FixturePath((std::string("signed/") + name).c_str()); };
    const std::vector<std::string> ours = {"Someone Before", "pylonix test COMPONENTS"};

    TrustedAuthority authority(signedFile("ca.pem"));  // for this test only
    ASSERT_TRUE(authority.ok());
    SignatureCheck good = CheckSigner(signedFile("good.ocx"), ours, "component");
    SignatureCheck forged = CheckSigner(signedFile("forged.ocx"), ours, "component");
    SignatureCheck other = CheckSigner(signedFile("other.ocx"), ours, "component");
    SignatureCheck plain = CheckSigner(signedFile("plain.ocx"), ours, "component");
    SignatureCheck changed = CheckSigner(signedFile("changed.ocx"), ours, "component");
    SignatureCheck anyone = CheckSigner(signedFile("plain.ocx"), {}, "component");

    EXPECT_TRUE(good.allowed) << good.reason;
    EXPECT_EQ("Pylonix Test Components", good.signer);
    EXPECT_FALSE(forged.allowed) << "the right name from an authority nobody trusts";
    EXPECT_EQ("Pylonix Test Components", forged.signer);
    EXPECT_FALSE(other.allowed);
    EXPECT_EQ("Someone Else", other.signer);
    EXPECT_NE(std::string::npos, other.reason.find("Someone Else")) << other.reason;
    EXPECT_FALSE(plain.allowed);
    EXPECT_EQ("not signed", plain.reason);
    EXPECT_FALSE(changed.allowed) << "a changed byte must break the signature";
    EXPECT_TRUE(anyone.allowed);
    // The log names the signer found for every refusal.
    const std::string log = ReadTodaysLog();
    EXPECT_NE(std::string::npos, log.find("refused: " + other.reason + " (signer found: \"Someone Else\")")) << log;
}
