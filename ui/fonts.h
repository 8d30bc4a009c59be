#pragma once
// Shared fonts: one font object per (face, code) pair, the face compared
// without regard to case, so every control asking for "0004:Arial" or
// "0004:arial" draws with the same object. Kept in this header so the pool
// needs no source file of its own.
//
// Used from the main thread only (all windows live there): no locking.
#include "ui/format.h"

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace SkinEngine {

class CSkinFontPool {
public:
    CSkinFontPool() = default;
    CSkinFontPool(const CSkinFontPool&) = delete;
    CSkinFontPool& operator=(const CSkinFontPool&) = delete;
    ~CSkinFontPool() { Clear(); }

    // The font of a font code ("0004", "1004:Arial"); `defaultFace` (UTF-8)
    // is the face of a code without one. Null only when the system could not
    // create the font; a failure is not remembered, so a later call retries.
    HFONT Get(std::string_view code, std::string_view defaultFace)
    {
        return Get(ParseFontCode(code, defaultFace));
    }

    HFONT Get(const FontCode& font)
    {
        const std::wstring face = FaceOf(font);
        Key key(Folded(face), font.code);
        auto found = m_fonts.find(key);
        if (found != m_fonts.end()) return found->second;
        HFONT handle = Create(font, face);
        if (handle) m_fonts.emplace(std::move(key), handle);
        return handle;
    }

    size_t Size() const { return m_fonts.size(); }

    // Deletes every font; handles given out before are invalid afterwards.
    void Clear()
    {
        for (auto& entry : m_fonts) DeleteObject(entry.second);
        m_fonts.clear();
    }

private:
    // (face in upper case, code): faces that differ only in case share a key.
    using Key = std::pair<std::wstring, unsigned>;

    // Upper case by the invariant locale, the same on every workstation.
    static std::wstring Folded(const std::wstring& face)
    {
        std::wstring upper(face.size(), L'\0');
        if (face.empty() || LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, face.c_str(), static_cast<int>(face.size()),
                                         &upper[0], static_cast<int>(upper.size())) != static_cast<int>(face.size()))
            return face;
        return upper;
    }

    static std::wstring FaceOf(const FontCode& font) { return Utf8ToWide(font.face); }

    static HFONT Create(const FontCode& font, const std::wstring& face)
    {
        LOGFONTW lf = {};
        lf.lfHeight = -font.height;  // character height in pixels, not cell height
        lf.lfWeight = font.Weight();
        lf.lfItalic = font.italic;
        lf.lfUnderline = font.underline;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = ANTIALIASED_QUALITY;  // smooth glyphs on every window
        lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
        // The parser already keeps faces within the field; cut again anyway.
        const size_t units = face.size() < LF_FACESIZE - 1 ? face.size() : LF_FACESIZE - 1;
        face.copy(lf.lfFaceName, units);
        lf.lfFaceName[units] = L'\0';
        return CreateFontIndirectW(&lf);
    }

    std::map<Key, HFONT> m_fonts;
};

// The engine's pool, living until the program ends (or its Clear()).
inline CSkinFontPool& SkinFonts()
{
    static CSkinFontPool pool;
    return pool;
}

}  // namespace SkinEngine
