#pragma once
// Conversions between narrow texts (active code page) and UTF-16, done only
// at the window, file-system and registry boundaries.
#include <string>

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// UTF-8 <-> active code page, up to the first zero byte.
std::string Utf8ToAnsi(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
