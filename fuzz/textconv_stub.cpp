// The product converts between the active code page and UTF-16 through
// Windows. The native fuzz build stands in a double-byte code page shaped
// like 936 (ASCII as itself, every other unit as a lead byte 0x81..0xFE and a
// trail byte 0x80..0xFE), so the parsers see multi-byte text; its trail
// bytes stay above ASCII, so it never makes markup bytes of its own.
#include "base/textconv.h"

#include "utf16.h"

#include <stdint.h>

namespace {
const uint32_t kSpan = 0x7E * 0x7F;  // lead bytes times trail bytes

std::wstring Utf8ToUnits(const std::string& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                        : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
        uint32_t c = extra <= 0 ? lead : lead & (0x3F >> extra);
        bool ok = extra >= 0 && i + extra < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            ok = (next & 0xC0) == 0x80;
            c = c << 6 | (next & 0x3F);
        }
        if (!ok) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 | (c - 0x10000) >> 10);
            out += static_cast<wchar_t>(0xDC00 | (c & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
        i += 1 + extra;
    }
    return out;
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
    return Utf16UnitsToUtf8(wide.data(), wide.size());
}
