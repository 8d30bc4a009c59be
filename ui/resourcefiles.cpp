// Documents and images from the program's resources and from folders.
#include "ui/resources.h"

#include <windows.h>

namespace SkinEngine {

bool LoadResourceBytes(const wchar_t* type, unsigned id, std::string& bytes, void* module)
{
    bytes.clear();
    HMODULE handle = module ? static_cast<HMODULE>(module) : GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(handle, type, MAKEINTRESOURCEW(id), kResourceLanguage);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(handle, found);
    DWORD size = SizeofResource(handle, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

bool LoadFileBytes(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    char chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    if (!ok) bytes.clear();
    return ok;
}

bool ResourceSource::Xml(unsigned id, std::string& text)
{
    if (!LoadResourceBytes(kXmlResourceType, id, text, m_module)) return false;
    SkipUtf8Bom(text);
    return true;
}

bool ResourceSource::Image(unsigned id, std::string& bytes)
{
    return LoadResourceBytes(kImageResourceType, id, bytes, m_module);
}

bool ResourceSource::TypedImage(const std::string& type, unsigned id, std::string& bytes)
{
    // Resource type names are ASCII; anything else cannot name one.
    std::wstring wide;
    for (char c : type) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0') return false;
        wide += static_cast<wchar_t>(c);
    }
    return !wide.empty() && LoadResourceBytes(wide.c_str(), id, bytes, m_module);
}

bool FolderSource::Xml(unsigned id, std::string& text)
{
    if (!LoadFileBytes(m_folder + L"\\" + std::to_wstring(id) + L".xml", text)) return false;
    SkipUtf8Bom(text);
    return true;
}

bool FolderSource::Image(unsigned id, std::string& bytes)
{
    bytes.clear();
    // The image's extension says its format; any one will do, the bytes tell the decoder.
    std::wstring stem = m_folder + L"\\" + std::to_wstring(id);
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((stem + L".*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ok = LoadFileBytes(m_folder + L"\\" + data.cFileName, bytes);
        break;
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return ok;
}

}  // namespace SkinEngine
