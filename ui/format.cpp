#include "ui/format.h"

#include "base/utf8.h"

#include <limits.h>

namespace SkinEngine {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool HasHexPrefix(std::string_view text)
{
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

// Decimal digits at the front of `text`, saturating at `limit`; the number
// of digits read goes to `used`.
long long ReadDecimal(std::string_view text, long long limit, size_t& used)
{
    long long value = 0;
    used = 0;
    while (used < text.size() && IsDigit(text[used])) {
        value = value * 10 + (text[used] - '0');
        if (value > limit) value = limit;
        ++used;
    }
    return value;
}

// A UTF-8 face cut to kMaxFaceUnits UTF-16 units without splitting a
// character; malformed bytes read as U+FFFD, as everywhere in the engine.
std::string CutFace(std::string_view face)
{
    std::u16string units = ::Utf8ToUtf16(std::string(face));
    if (units.size() > kMaxFaceUnits) {
        size_t keep = kMaxFaceUnits;
        if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;  // half a pair
        units.resize(keep);
    }
    return Utf16ToUtf8(units);
}

PosItem ParsePosItem(std::string_view text)
{
    PosItem item;
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i < text.size() && text[i] == '|') item.centre = true, ++i;
    if (i < text.size() && text[i] == '-') item.farEdge = true, ++i;
    size_t used;
    item.value = static_cast<int>(ReadDecimal(text.substr(i), kMaxPosValue, used));
    return item;
}

long long ResolveCoord(const PosItem& item, long long nearEdge, long long farEdge)
{
    if (item.centre) {
        const long long centre = nearEdge + (farEdge - nearEdge) / 2;
        return item.farEdge ? centre - item.value : centre + item.value;
    }
    return item.farEdge ? farEdge - item.value : nearEdge + item.value;
}

int ClampInt(long long value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool MatchAny(std::string_view text, const char* const names[], const unsigned values[], size_t count,
              unsigned& out)
{
    for (size_t i = 0; i < count; ++i) {
        if (text == names[i]) {
            out = values[i];
            return true;
        }
    }
    return false;
}

} // namespace

bool ParseSkinInt(std::string_view text, int& out)
{
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // One past INT_MAX, so INT_MIN itself can be written.
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    if (HasHexPrefix(text)) {
        text.remove_prefix(2);
        if (text.empty()) return false;
        for (char c : text) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            value = value * 16 + digit;
            if (value > limit) value = limit;
        }
    } else {
        size_t used;
        value = ReadDecimal(text, limit, used);
        if (used == 0 || used != text.size()) return false;
    }
    out = ClampInt(negative ? -value : value);
    return true;
}

bool ParseIntList(std::string_view text, int* out, int count)
{
    if (count <= 0) return true;
    int values[16];
    if (count > 16) return false;
    for (int i = 0; i < count; ++i) {
        const size_t comma = text.find(',');
        if (comma == std::string_view::npos && i + 1 < count) return false;
        if (!ParseSkinInt(text.substr(0, comma), values[i])) return false;
        if (comma != std::string_view::npos) text.remove_prefix(comma + 1);
    }
    for (int i = 0; i < count; ++i) out[i] = values[i];
    return true;
}

bool ParseEdges(std::string_view text, SkinEdges& out)
{
    int v[4];
    if (!ParseIntList(text, v, 4)) return false;
    for (int& x : v)
        if (x < 0) x = 0;
    out = {v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseSkinSize(std::string_view text, SkinSize& out)
{
    int v[2];
    if (!ParseIntList(text, v, 2)) return false;
    out = {v[0] < 0 ? 0 : v[0], v[1] < 0 ? 0 : v[1]};
    return true;
}

PosValue ParsePos(std::string_view text)
{
    PosValue value;
    PosItem items[4];
    int count = 0;
    for (;;) {
        const size_t comma = text.find(',');
        if (count < 4) items[count] = ParsePosItem(text.substr(0, comma));
        ++count;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (count == 2 || count >= 4) {
        value.count = count == 2 ? 2 : 4;
        for (int i = 0; i < value.count; ++i) value.items[i] = items[i];
    }
    return value;
}

bool ResolvePos(const PosValue& value, const SkinRect& parent, const SkinSize& content, SkinRect& out)
{
    if (value.count != 2 && value.count != 4) return false;
    const long long left = ResolveCoord(value.items[0], parent.left, parent.right);
    const long long top = ResolveCoord(value.items[1], parent.top, parent.bottom);
    long long right, bottom;
    if (value.count == 4) {
        right = ResolveCoord(value.items[2], parent.left, parent.right);
        bottom = ResolveCoord(value.items[3], parent.top, parent.bottom);
    } else {
        right = left + (content.cx > 0 ? content.cx : 0);
        bottom = top + (content.cy > 0 ? content.cy : 0);
    }
    if (right < left) right = left;
    if (bottom < top) bottom = top;
    out = {ClampInt(left), ClampInt(top), ClampInt(right), ClampInt(bottom)};
    return true;
}

SkinColor ParseColor(std::string_view text)
{
    uint8_t pairs[3] = {0, 0, 0};
    for (size_t i = 0; i < 3; ++i) {
        if (text.size() < 2 * i + 2) break;
        const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (high >= 0 && low >= 0) pairs[i] = static_cast<uint8_t>(high << 4 | low);
    }
    SkinColor color;
    color.r = pairs[0];
    color.g = pairs[1];
    color.b = pairs[2];
    return color;
}

uint32_t ParseHex(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    if (HasHexPrefix(text)) text.remove_prefix(2);
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) break;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

FontCode ParseFontCode(std::string_view text, std::string_view defaultFace)
{
    FontCode font;
    const size_t colon = text.rfind(':');
    font.code = ParseHex(text.substr(0, colon)) & 0xFFFF;
    font.bold = (font.code & kFontBold) != 0;
    font.underline = (font.code & kFontUnderline) != 0;
    font.italic = (font.code & kFontItalic) != 0;
    const unsigned step = font.code >> 8;
    font.height = step & kFontSignedStep ? kDefaultFontHeight - int(step & 0x7F) : kDefaultFontHeight + int(step);
    if (font.height < 1) font.height = 1;

    if (colon != std::string_view::npos) font.face = CutFace(text.substr(colon + 1));
    if (font.face.empty()) font.face = CutFace(defaultFace);
    return font;
}

unsigned ParseTextMode(std::string_view text)
{
    return ParseHex(text) & kTextModeMask;
}

bool ParseAlign(std::string_view text, unsigned& out)
{
    static const char* const names[] = {"left", "center", "right"};
    static const unsigned values[] = {kAlignLeft, kAlignCenter, kAlignRight};
    return MatchAny(text, names, values, 3, out);
}

bool ParseVAlign(std::string_view text, unsigned& out)
{
    static const char* const names[] = {"top", "middle", "bottom"};
    static const unsigned values[] = {kVAlignTop, kVAlignMiddle, kVAlignBottom};
    return MatchAny(text, names, values, 3, out);
}

SkinCursor ParseCursor(std::string_view text)
{
    if (text == "hand") return SkinCursor::kHand;
    if (text == "arrow") return SkinCursor::kArrow;
    return SkinCursor::kNone;
}

std::string ExpandStringRefs(std::string_view text, const StringLookup& lookup)
{
    static const std::string_view kOpen = "%str";
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t start = text.find(kOpen, i);
        if (start == std::string_view::npos) break;
        out.append(text.substr(i, start - i));
        const size_t digits = start + kOpen.size();
        size_t used;
        const long long id = ReadDecimal(text.substr(digits), INT_MAX, used);
        const size_t close = digits + used;
        const std::string* entry = nullptr;
        if (used > 0 && used <= 9 && id >= 1 && close < text.size() && text[close] == '%' && lookup)
            entry = lookup(static_cast<int>(id));
        if (entry) {
            out += *entry;
            i = close + 1;
        } else {
            // Keep the "%" and look again from the next character, so
            // "%str%str1%" still finds its second reference.
            out += text[start];
            i = start + 1;
        }
    }
    out.append(text.substr(i));
    return out;
}

int SkinIntOr(std::string_view text, int fallback)
{
    int out = fallback;
    ParseSkinInt(text, out);
    return out;
}

std::wstring Utf8ToWide(std::string_view text)
{
    const std::u16string wide = ::Utf8ToUtf16(std::string(text));
    return std::wstring(wide.begin(), wide.end());
}

} // namespace SkinEngine
