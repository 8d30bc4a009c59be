#include "browser/regkeys.h"

#include "base/textconv.h"

HKEY OpenBrowserKey(HKEY root, const std::string& path, bool create)
{
    std::wstring wide = AnsiToWide(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, wide.c_str(), 0, kBrowserKeyAccess, &key) == ERROR_SUCCESS) return key;
    if (create && RegCreateKeyExW(root, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        return key;
    return nullptr;
}

bool SetDwordValue(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

bool ReadDwordValue(HKEY key, const wchar_t* name, DWORD* value, bool* present)
{
    DWORD size = 0, type = REG_NONE;
    *present = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (!*present) return false;
    // Only a 32-bit number is one: text such as "no" (older browsers wrote
    // some of these as text), or a binary of another size, is present but
    // unreadable, so the check fails and the repair writes a number.
    if (type != REG_DWORD || size != sizeof(DWORD)) return false;
    DWORD number = 0, length = sizeof number;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &length) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || length != sizeof number)
        return false;
    *value = number;
    return true;
}
