// The value syntaxes of the layout and skin documents, each held to what
// ui/format.h says it makes of malformed text.
#include "base/utf8.h"
#include "ui/format.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <stdlib.h>

#include <string>

using namespace SkinEngine;

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

void Integers(std::string_view text, int count)
{
    int out = 0x5A5A5A5A;
    const bool ok = ParseSkinInt(text, out);
    if (ok) {
        Check(SkinIntOr(text, 7) == out);
        int again = 0;
        Check(ParseSkinInt(std::to_string(out), again) && again == out);
    } else {
        Check(out == 0x5A5A5A5A && SkinIntOr(text, 7) == 7);
    }
    int list[8];
    for (int& item : list) item = 0x5A5A5A5A;
    if (!ParseIntList(text, list, count))
        for (int item : list) Check(item == 0x5A5A5A5A);
    SkinEdges edges;
    edges.left = -1;
    if (ParseEdges(text, edges)) Check(edges.left >= 0 && edges.top >= 0 && edges.right >= 0 && edges.bottom >= 0);
    else Check(edges.left == -1);
    SkinSize size;
    if (ParseSkinSize(text, size)) Check(size.cx >= 0 && size.cy >= 0);
}

void Positions(std::string_view text, FuzzedDataProvider& provider)
{
    const PosValue pos = ParsePos(text);
    Check(pos.count == 0 || pos.count == 2 || pos.count == 4);
    for (int i = 0; i < pos.count; ++i) Check(pos.items[i].value >= -kMaxPosValue && pos.items[i].value <= kMaxPosValue);
    SkinRect parent;
    parent.left = provider.ConsumeIntegral<int>();
    parent.top = provider.ConsumeIntegral<int>();
    parent.right = provider.ConsumeIntegral<int>();
    parent.bottom = provider.ConsumeIntegral<int>();
    SkinSize content;
    content.cx = provider.ConsumeIntegral<int>();
    content.cy = provider.ConsumeIntegral<int>();
    // Rectangles the layout hands down stay within screen-like coordinates.
    const bool sane = parent.left > -kMaxPosValue && parent.top > -kMaxPosValue && parent.right < kMaxPosValue &&
                      parent.bottom < kMaxPosValue && parent.left <= parent.right && parent.top <= parent.bottom;
    SkinRect out;
    out.left = 12345;
    const bool resolved = sane && ResolvePos(pos, parent, content, out);
    if (sane) Check(resolved == pos.Fixed());
    if (resolved) Check(out.right >= out.left && out.bottom >= out.top);
    else Check(out.left == 12345);
}

void Fonts(std::string_view text, std::string_view face)
{
    const FontCode font = ParseFontCode(text, face);
    Check(font.height >= 1);
    const std::u16string units = ::Utf8ToUtf16(font.face);
    Check(units.size() <= kMaxFaceUnits);
    Check((ParseTextMode(text) & ~static_cast<unsigned>(kTextModeMask)) == 0);
    const SkinColor colour = ParseColor(text);
    Check(colour.Ref() <= 0xFFFFFF);
    unsigned align = 99, valign = 99;
    if (!ParseAlign(text, align)) Check(align == 99);
    if (!ParseVAlign(text, valign)) Check(valign == 99);
    (void)ParseCursor(text);
    (void)ParseHex(text);
}

void Strings(std::string_view text)
{
    const std::string one = "<one>";
    const StringLookup lookup = [&one](int id) -> const std::string* { return id % 2 ? &one : nullptr; };
    const std::string expanded = ExpandStringRefs(text, lookup);
    if (text.find('%') == std::string_view::npos) Check(expanded == text);
    // Nothing but references is replaced, so the text grows by at most the
    // inserted texts over the shortest reference ("%str1%").
    Check(expanded.size() <= text.size() + (text.size() / 7 + 1) * one.size());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::string text = provider.ConsumeRandomLengthString(512);
    const std::string face = provider.ConsumeRandomLengthString(80);
    const int count = provider.ConsumeIntegralInRange(0, 8);
    Integers(text, count);
    Positions(text, provider);
    Fonts(text, face);
    Strings(text);
    return 0;
}
