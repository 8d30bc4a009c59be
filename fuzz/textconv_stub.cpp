// The product converts between the active code page and UTF-16 through
// Windows. The native fuzz build stands in a double-byte code page shaped
// like 936 (ASCII as itself, every other unit as a lead byte 0x81..0xFE and a
// trail byte 0x80..0xFE), so the parsers see multi-byte text; its trail
// bytes stay above ASCII, so it never makes markup bytes of its own.
#include "base/textconv.h"

#include "base/utf8.h"

#include <stdint.h>

namespace {
const uint32_t kSpan = 0x7E * 0x7F;  // lead bytes times trail bytes

std::wstring Utf8ToUnits(const std::string& text)
{
    const std::u16string units = Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

} // namespace

std::wstring AnsiToWide(const std::string& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c < 0x80) {
            out += static_cast<wchar_t>(c);
        } else if (c >= 0x81 && c <= 0xFE && next >= 0x80 && next <= 0xFE) {
            out += static_cast<wchar_t>(0x80 + (c - 0x81) * 0x7F + (next - 0x80));
            ++i;
        } else {
            out += L'?';
        }
    }
    return out;
}

std::string WideToAnsi(const std::wstring& text)
{
    std::string out;
    for (wchar_t unit : text) {
        const uint32_t c = static_cast<uint32_t>(unit) & 0xFFFF;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c - 0x80 < kSpan) {
            out += static_cast<char>(0x81 + (c - 0x80) / 0x7F);
            out += static_cast<char>(0x80 + (c - 0x80) % 0x7F);
        } else {
            out += '?';  // not in the code page
        }
    }
    return out;
}

std::string Utf8ToAnsi(const std::string& text)
{
    return WideToAnsi(Utf8ToUnits(text.c_str()));
}

std::string AnsiToUtf8(const std::string& text)
{
    const std::wstring wide = AnsiToWide(text.c_str());
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}
