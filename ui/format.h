#pragma once
// Value syntaxes of the layout and skin documents: positions, colours, font
// codes, text modes, alignments, cursors, string references and the small
// integer lists of a layer. Free of <windows.h>, so it also builds natively
// (for sanitizers and fuzzing).
//
// Every parser takes a string_view (SkinText turns a possibly null C string
// from the XML reader into one), never reads outside it and never fails
// loudly: what each one makes of malformed input is written beside it.
#include <stdint.h>

#include <functional>
#include <string>
#include <string_view>

namespace SkinEngine {

inline std::string_view SkinText(const char* text)
{
    return text ? std::string_view(text) : std::string_view();
}

struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // Left and top edges inside, right and bottom outside.
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const SkinRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// The same rectangle as the system's RECT, or any type with these four
// members, for drawing and window calls: ToRect<RECT>(r). A template, so
// that this file needs no <windows.h>.
template <class Rect>
Rect ToRect(const SkinRect& r)
{
    Rect out{};
    out.left = r.left;
    out.top = r.top;
    out.right = r.right;
    out.bottom = r.bottom;
    return out;
}

struct SkinSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const SkinSize& o) const { return cx == o.cx && cy == o.cy; }
};

// Widths of four edges (a layer's `ncRect`, an `inset`, a border).
struct SkinEdges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const SkinEdges& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Every integer attribute (`id`, `data`, widths, flags) of every document,
// controls, skins, pools and menus alike, reads through these two. An
// integer is optional spaces and sign, then decimal digits or "0x" and
// hexadecimal digits, then optional spaces. False, with `out` untouched, for
// anything else (empty text, "12px", "0x", "1 2"); values beyond the int
// range saturate.
bool ParseSkinInt(std::string_view text, int& out);
// The same, or `fallback` when the text is not an integer: "0x1" reads 1,
// "12" reads 12, "12px" and "" read `fallback`.
int SkinIntOr(std::string_view text, int fallback);

// Up to `count` comma-separated integers into `out`. False, with `out`
// untouched, when there are fewer than `count` items or one of the first
// `count` is not an integer; items after the first `count` are ignored.
bool ParseIntList(std::string_view text, int* out, int count);

// `ncRect` and `inset`: four integers. Negative widths become 0.
bool ParseEdges(std::string_view text, SkinEdges& out);
// `minsize`: width and height. Negative values become 0.
bool ParseSkinSize(std::string_view text, SkinSize& out);

// --- Positions (`pos`) ---

// Coordinates in a position saturate here, so resolving never overflows.
constexpr int kMaxPosValue = 1 << 24;

struct PosItem {
    bool centre = false;   // "|": from the parent's centre
    bool farEdge = false;  // "-": from the right or bottom edge (centre - n with "|")
    int value = 0;
};

struct PosValue {
    // 4: left, top, right, bottom; 2: top-left corner, size from the
    // content; 0: no fixed position, the container lays the control out.
    int count = 0;
    PosItem items[4];
    bool Fixed() const { return count != 0; }
};

// Splits at commas: two items give a corner, four or more a rectangle from
// the first four, any other count no fixed position (so does empty text).
// An item is optional spaces, "|", "-", decimal digits, optional spaces;
// missing digits read 0 and the item's first unexpected character ends it
// ("-|5" is the far edge itself, "12px" is 12).
PosValue ParsePos(std::string_view text);

// The control's rectangle in the parent's coordinates. `content` gives the
// size of a two-item position (negative sizes count as 0). A far edge that
// lands before the near one gives an empty rectangle at the near edge, never
// a negative size. False, with `out` untouched, when the position is not fixed.
bool ResolvePos(const PosValue& value, const SkinRect& parent, const SkinSize& content, SkinRect& out);

// --- Colours (RRGGBB) ---

struct SkinColor {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    // The 0x00BBGGRR layout of the system's colour values.
    uint32_t Ref() const { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }
    bool operator==(const SkinColor& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Three hexadecimal pairs, either case. A pair holding a non-hexadecimal
// character, or cut short by the end of the text, reads 0; characters after
// the sixth are ignored.
SkinColor ParseColor(std::string_view text);

// --- Font codes ("XXXX" or "XXXX:face") ---

constexpr int kDefaultFontHeight = 12;
// The face field of a system font holds 32 UTF-16 units with the terminator.
constexpr size_t kMaxFaceUnits = 31;

enum : unsigned {
    kFontItalic = 0x01,
    kFontUnderline = 0x02,
    kFontBold = 0x04,
    kFontSignedStep = 0x80,  // in the high byte: subtract the low seven bits
};

struct FontCode {
    unsigned code = 0;   // the 16-bit number before the face
    bool bold = false;
    bool underline = false;
    bool italic = false;
    int height = kDefaultFontHeight;  // pixels, at least 1
    std::string face;    // UTF-8, at most kMaxFaceUnits UTF-16 units
    int Weight() const { return bold ? 700 : 400; }
};

// The text before the last ":" is read as hexadecimal (ParseHex); the text
// after it names the face. No ":" or nothing after it gives `defaultFace`
// (string 0 of the string table). A face is cut to kMaxFaceUnits UTF-16
// units without splitting a character; a malformed byte in it reads as
// U+FFFD. A size step that would leave less than one pixel gives 1.
FontCode ParseFontCode(std::string_view text, std::string_view defaultFace);

// Hexadecimal: optional spaces and "0x", then hexadecimal digits up to the
// first other character (none reads 0); only the low 32 bits are kept.
uint32_t ParseHex(std::string_view text);

// --- Text modes, alignment, cursors ---

enum : unsigned {
    kTextCentre = 0x01,
    kTextRight = 0x02,
    kTextVCentre = 0x04,
    kTextBottom = 0x08,
    kTextSingleLine = 0x20,
    kTextModeMask = kTextCentre | kTextRight | kTextVCentre | kTextBottom | kTextSingleLine,
};

// `textmode`, hexadecimal. These bits have the values of the system's text
// drawing flags; every other bit is dropped, so no document can turn drawing
// into measuring or clipping off.
unsigned ParseTextMode(std::string_view text);

enum : unsigned {
    kAlignLeft = 0,
    kAlignCenter = 0x100,
    kAlignRight = 0x200,
    kVAlignTop = 0,
    kVAlignMiddle = 0x1000,
    kVAlignBottom = 0x2000,
};

// "left", "center", "right" (exact spelling); false, `out` untouched, otherwise.
bool ParseAlign(std::string_view text, unsigned& out);
// "top", "middle", "bottom" (exact spelling); false, `out` untouched, otherwise.
bool ParseVAlign(std::string_view text, unsigned& out);

enum class SkinCursor { kNone, kArrow, kHand };
// "hand" or "arrow"; anything else is kNone (the control keeps its cursor).
SkinCursor ParseCursor(std::string_view text);

// --- String references ---

// The text of string-table entry `id`, or null when there is none.
using StringLookup = std::function<const std::string*(int id)>;

// Replaces each "%strN%" (N decimal, 1 or more, at most nine digits) with
// entry N. A reference to a missing entry, "%str0%", or one that is not well
// formed stays as written; inserted texts are not scanned again.
std::string ExpandStringRefs(std::string_view text, const StringLookup& lookup);

// UTF-8 as wide text, as the screen takes it; each malformed byte reads as
// U+FFFD (base/utf8.h), so a bad byte never hides the rest of a title.
std::wstring Utf8ToWide(std::string_view text);

}  // namespace SkinEngine
