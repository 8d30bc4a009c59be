#include "base/textconv.h"

#include <windows.h>

std::wstring AnsiToWide(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string WideToAnsi(const std::wstring& text)
{
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

namespace {
std::string Recode(const std::string& text, UINT from, UINT to)
{
    std::string source(text.c_str());  // up to the first zero byte
    if (source.empty()) return source;
    int n = MultiByteToWideChar(from, 0, source.data(), static_cast<int>(source.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(from, 0, source.data(), static_cast<int>(source.size()), &wide[0], n);
    int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, &out[0], m, nullptr, nullptr);
    return out;
}
} // namespace

std::string Utf8ToAnsi(const std::string& text)
{
    return Recode(text, CP_UTF8, CP_ACP);
}

std::string AnsiToUtf8(const std::string& text)
{
    return Recode(text, CP_ACP, CP_UTF8);
}
