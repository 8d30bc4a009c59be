#pragma once
// UTF-16 units (as wchar_t, whatever its width here) to UTF-8, for the fuzz
// build's stand-ins of the system's conversions. Each unit is encoded on its
// own, so a surrogate pair comes out as two three-byte sequences.
#include <stdint.h>

#include <string>

inline std::string Utf16UnitsToUtf8(const wchar_t* units, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t c = static_cast<uint32_t>(units[i]) & 0xFFFF;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
