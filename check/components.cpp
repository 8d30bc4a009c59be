#include "check/components.h"

#include "check/signature.h"

#include "base/log.h"
#include "base/paths.h"
#include "base/sysinfo.h"
#include "base/textconv.h"
#include "check/checkitem.h"

#include <objbase.h>
#include <stdio.h>
#include <windows.h>

#include <tuple>

namespace {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + name;
}

bool FlashPlayerInstalled()
{
    CLSID clsid;
    return CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash", &clsid) == S_OK;
}

// "r+" succeeds only for a file that exists and may be written.
bool OpenableForUpdate(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "r+");
    if (!file) return false;
    fclose(file);
    return true;
}

bool OlderThanListed(const ModuleVersion& found, const ComponentInfo& listed)
{
    auto have = std::make_tuple(static_cast<long long>(found.major), static_cast<long long>(found.minor),
                                static_cast<long long>(found.build), static_cast<long long>(found.revision));
    auto want = std::make_tuple(static_cast<long long>(listed.major), static_cast<long long>(listed.minor),
                                static_cast<long long>(listed.build), static_cast<long long>(listed.revision));
    return have < want;
}

int CheckLibrary(const ComponentInfo& listed, const std::string& path, const std::vector<std::string>& signers)
{
    // Loading runs the file's code, registering runs more: neither happens
    // to a file the company's signers did not sign.
    if (GetFileAttributesW(AnsiToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES &&
        !CheckSigner(path, signers, "component " + listed.text).allowed)
        return 0;
    HMODULE module = LoadLibraryW(AnsiToWide(path).c_str());
    if (!module) return 0;
    int state = 0;
    if (!OlderThanListed(ReadModuleVersion(path), listed)) {
        state = 1;
        using RegisterFn = HRESULT(__stdcall*)();
        auto registerServer =
            reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
        if (registerServer) registerServer();
    }
    FreeLibrary(module);
    return state;
}

} // namespace

bool IsUsableComponentName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    // Checked as UTF-16: a double-byte character's trail byte may look like
    // a backslash or a bar in the narrow text.
    for (wchar_t c : AnsiToWide(name)) {
        if (c < 0x20 || c == 0x7f) return false;
        if (wcschr(L"\\/:*?\"<>|&^%! \t", c)) return false;
    }
    return true;
}

ModuleVersion ReadModuleVersion(const std::string& path)
{
    ModuleVersion version;
    std::wstring wide = AnsiToWide(path);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
    if (size == 0) return version;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) return version;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return version;
    if (info->dwFileType != VFT_DLL && info->dwFileType != VFT_STATIC_LIB) return version;
    if (info->dwFileOS != VOS__WINDOWS32 && info->dwFileOS != VOS_NT && info->dwFileOS != VOS_NT_WINDOWS32)
        return version;
    version.major = HIWORD(info->dwFileVersionMS);
    version.minor = LOWORD(info->dwFileVersionMS);
    version.build = HIWORD(info->dwFileVersionLS);
    version.revision = LOWORD(info->dwFileVersionLS);
    return version;
}

void CheckComponentFile(ComponentInfo& entry, const std::string& systemFolder, const std::vector<std::string>& signers)
{
    const std::string& name = entry.text;
    if (name.find("flashplayer") != std::string::npos) {
        entry.state = FlashPlayerInstalled() ? 1 : 0;
        return;
    }
    if (!IsUsableComponentName(name)) {
        WriteLog("CheckComponentFile refused name:%s\r\n", name.c_str());
        entry.state = 0;
        return;
    }
    std::string path = JoinPath(systemFolder, name);
    if (path.find(".inf") != std::string::npos) {
        entry.state = OpenableForUpdate(path) ? 1 : 0;
        return;
    }
    entry.state = CheckLibrary(entry, path, signers);
}

ComponentList BuildComponentList(const ComponentTable& table, const std::vector<std::string>& signers)
{
    ComponentList list;
    list.systemFolder = SystemFolder();
    for (const auto& component : table) {
        ComponentInfo entry = component.second;  // with the version it must have
        entry.text = component.first;
        entry.state = 0;
        list.entries.push_back(entry);
    }
    for (ComponentInfo& entry : list.entries) CheckComponentFile(entry, list.systemFolder, signers);
    return list;
}

int CheckComponents(const ComponentTable& table, CheckItem& item, int profile, const std::vector<std::string>& signers)
{
    bool english = EnglishUI();
    item.kind = kItemComponents;
    item.title = CheckItemTitle(kItemComponents, english);
    item.description = CheckItemDescription(kItemComponents, english);
    item.optimal = OptimalText(kItemComponents, profile, english);

    ComponentList list = BuildComponentList(table, signers);
    for (const ComponentInfo& entry : list.entries) {
        if (entry.state == 0) {
            item.state = kStateFailed;
            return 0;
        }
    }
    item.state = kStatePassed;
    item.installed = 1;
    return 1;
}
