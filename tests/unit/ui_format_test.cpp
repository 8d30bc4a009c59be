#include "ui/control.h"
#include "ui/fonts.h"
#include "ui/format.h"
#include "ui/resources.h"

#include <gtest/gtest.h>

#include <limits.h>

#include <map>

using namespace SkinEngine;

namespace {
const SkinRect kWindow{0, 0, 800, 500};
const std::string kSong = u8"宋体";

std::string Repeat(const std::string& piece, int times)
{
    std::string out;
    while (times-- > 0) out += piece;
    return out;
}
} // namespace

TEST(SkinFormat, PositionsResolveAgainstTheParent)
{
    struct Case {
        const char* pos;
        SkinRect parent;
        SkinSize content;
        SkinRect want;
    } cases[] = {
        {"-45,0", kWindow, {45, 30}, {755, 0, 800, 30}},
        {"|-83,|80", kWindow, {166, 30}, {317, 330, 483, 360}},
        {"0,100,-0,-30", kWindow, {}, {0, 100, 800, 470}},
        {"0,0,-0,-0", {10, 20, 110, 70}, {}, {10, 20, 110, 70}},
        {"|0,|0", kWindow, {20, 10}, {400, 250, 420, 260}},
        {"|-10,|-10,|10,|10", {10, 20, 110, 70}, {}, {50, 35, 70, 55}},
        {"1,2,3,4,5", kWindow, {}, {1, 2, 3, 4}},
        {" 10 , 20 ", kWindow, {5, 6}, {10, 20, 15, 26}},
        {"abc,7", kWindow, {-4, 3}, {0, 7, 0, 10}},          // no digits read 0, no negative size
        {"-|5,12px", kWindow, {1, 1}, {800, 12, 801, 13}},   // "|" after "-" ends the item
        {"0,100,-0,-30", {0, 0, 800, 120}, {}, {0, 100, 800, 100}},  // inverted: empty, not negative
        {"99999999999,0", kWindow, {1, 1}, {kMaxPosValue, 0, kMaxPosValue + 1, 1}},
    };
    for (const Case& c : cases) {
        SkinRect got;
        ASSERT_TRUE(ResolvePos(ParsePos(c.pos), c.parent, c.content, got)) << c.pos;
        EXPECT_EQ(c.want, got) << c.pos << " -> " << got.left << "," << got.top << "," << got.right
                               << "," << got.bottom;
    }
}

TEST(SkinFormat, OneOrThreeItemsLeaveTheControlToItsContainer)
{
    for (const char* pos : {"", "5", "1,2,3", "1,2,"}) {
        const PosValue value = ParsePos(pos);
        EXPECT_FALSE(value.Fixed()) << pos;
        SkinRect out{1, 2, 3, 4};
        EXPECT_FALSE(ResolvePos(value, kWindow, {10, 10}, out)) << pos;
        EXPECT_EQ((SkinRect{1, 2, 3, 4}), out) << pos;
    }
    EXPECT_EQ(2, ParsePos("1,2").count);
    EXPECT_EQ(4, ParsePos("1,2,3,4,5,6").count);
}

TEST(SkinFormat, ColoursReadThreePairs)
{
    struct Case {
        const char* text;
        SkinColor want;
    } cases[] = {
        {"0A84D2", {0x0A, 0x84, 0xD2}}, {"0a84d2", {0x0A, 0x84, 0xD2}},
        {"0G84D2", {0x00, 0x84, 0xD2}}, {"0A84 2", {0x0A, 0x84, 0x00}},
        {"FFFFF", {0xFF, 0xFF, 0x00}},  {"", {0, 0, 0}},
        {"1234567890", {0x12, 0x34, 0x56}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, ParseColor(c.text)) << c.text;
    EXPECT_EQ(0xD2840Au, ParseColor("0A84D2").Ref());
}

TEST(SkinFormat, FontCodes)
{
    struct Case {
        const char* text;
        int height;
        bool bold, underline, italic;
        std::string face;
    } cases[] = {
        {"0004", 12, true, false, false, kSong},
        {"0002", 12, false, true, false, kSong},
        {"1004", 28, true, false, false, kSong},
        {"0604", 18, true, false, false, kSong},
        {"0202", 14, false, true, false, kSong},
        {"0001", 12, false, false, true, kSong},
        {"8404", 8, true, false, false, kSong},    // 0x80: the step subtracts
        {"8C00", 1, false, false, false, kSong},   // never below one pixel
        {"FF07", 1, true, true, true, kSong},
        {"0000:Arial", 12, false, false, false, "Arial"},
        {"0004:", 12, true, false, false, kSong},
        {"0004:x:Tahoma", 12, true, false, false, "Tahoma"},  // face after the last ":"
        {"", 12, false, false, false, kSong},
        {"zz:Arial", 12, false, false, false, "Arial"},
        {"Arial", 12, false, true, false, kSong},  // no ":": all of it is the number, 0x0A
        {"0000:Ar\xFF" "ial", 12, false, false, false, "Ar\xEF\xBF\xBD" "ial"},  // U+FFFD for the bad byte
        {"0000:\xC0\xAF", 12, false, false, false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        const FontCode font = ParseFontCode(c.text, kSong);
        EXPECT_EQ(c.height, font.height) << c.text;
        EXPECT_EQ(c.bold, font.bold) << c.text;
        EXPECT_EQ(c.bold ? 700 : 400, font.Weight()) << c.text;
        EXPECT_EQ(c.underline, font.underline) << c.text;
        EXPECT_EQ(c.italic, font.italic) << c.text;
        EXPECT_EQ(c.face, font.face) << c.text;
    }
    EXPECT_EQ(0x1004u, ParseFontCode("1004:Arial", kSong).code);
    EXPECT_EQ(0x1004u, ParseFontCode("0x31004", kSong).code);  // sixteen bits
}

TEST(SkinFormat, FaceNamesStopAtThirtyOneUnits)
{
    const std::string song = u8"宋";
    const std::string smile = u8"\U0001F600";  // two UTF-16 units
    struct Case {
        std::string face;
        std::string want;
    } cases[] = {
        {Repeat("a", 40), Repeat("a", 31)},
        {Repeat(song, 40), Repeat(song, 31)},
        {Repeat("a", 30) + smile, Repeat("a", 30)},
        {Repeat("a", 29) + smile, Repeat("a", 29) + smile},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, ParseFontCode("0000:" + c.face, kSong).face);
    EXPECT_EQ(Repeat("b", 31), ParseFontCode("0000", Repeat("b", 35)).face);
}

TEST(SkinFormat, TextModesAlignmentsAndCursors)
{
    struct Mode {
        const char* text;
        unsigned want;
    } modes[] = {{"20", 0x20}, {"22", 0x22}, {"24", 0x24}, {"25", 0x25}, {"26", 0x26},
                 {"425", 0x25}, {"0x05", 0x05}, {"", 0}, {"zz", 0}};
    for (const Mode& m : modes) EXPECT_EQ(m.want, ParseTextMode(m.text)) << m.text;

    struct Align {
        bool (*parse)(std::string_view, unsigned&);
        const char* text;
        bool ok;
        unsigned want;
    } aligns[] = {{ParseAlign, "center", true, 0x100},   {ParseAlign, "right", true, 0x200},
                  {ParseVAlign, "middle", true, 0x1000}, {ParseVAlign, "bottom", true, 0x2000},
                  {ParseVAlign, "top", true, 0},         {ParseAlign, "middle", false, 77},
                  {ParseVAlign, "center", false, 77},    {ParseAlign, "Left", false, 77}};
    for (const Align& a : aligns) {
        unsigned value = 77;
        EXPECT_EQ(a.ok, a.parse(a.text, value)) << a.text;
        EXPECT_EQ(a.want, value) << a.text;
    }

    EXPECT_EQ(SkinCursor::kHand, ParseCursor("hand"));
    EXPECT_EQ(SkinCursor::kArrow, ParseCursor("arrow"));
    EXPECT_EQ(SkinCursor::kNone, ParseCursor("ibeam"));
}

TEST(SkinFormat, IntegersAndLayerLists)
{
    int n = 5;
    EXPECT_TRUE(ParseSkinInt(" 0x1F ", n));
    EXPECT_EQ(31, n);
    EXPECT_TRUE(ParseSkinInt("99999999999", n));
    EXPECT_EQ(INT_MAX, n);
    EXPECT_TRUE(ParseSkinInt("-2147483648", n));
    EXPECT_EQ(INT_MIN, n);
    n = 5;
    for (const char* bad : {"", "12a", "0x", "-", "1 2"}) EXPECT_FALSE(ParseSkinInt(bad, n)) << bad;
    EXPECT_EQ(5, n);

    SkinEdges edges;
    EXPECT_TRUE(ParseEdges("4, 4,4 ,4", edges));
    EXPECT_EQ((SkinEdges{4, 4, 4, 4}), edges);
    EXPECT_TRUE(ParseEdges("-5,2,3,4,9", edges));  // negative widths are 0, extras ignored
    EXPECT_EQ((SkinEdges{0, 2, 3, 4}), edges);
    for (const char* bad : {"1,2,3", "1,x,3,4", "", "1,2,3,"}) EXPECT_FALSE(ParseEdges(bad, edges)) << bad;
    EXPECT_EQ((SkinEdges{0, 2, 3, 4}), edges);

    SkinSize size;
    EXPECT_TRUE(ParseSkinSize("400,250", size));
    EXPECT_EQ((SkinSize{400, 250}), size);
    EXPECT_FALSE(ParseSkinSize("400", size));
    EXPECT_EQ((SkinSize{400, 250}), size);
}

// A skin's, a control's and a layer document's integer attributes share one
// syntax: the same text gives the same number, or the fallback, everywhere.
TEST(SkinIntegers, ReadAlikeInSkinsControlsAndLayerDocuments)
{
    const struct {
        const char* text;
        bool integer;
        int want;
    } cases[] = {{"12", true, 12},   {"0x1", true, 1},   {"0X1f", true, 31}, {"-3", true, -3}, {"0x0", true, 0},
                 {"12px", false, 0}, {"0x", false, 0}, {"junk", false, 0}, {"", false, 0}};
    for (const auto& c : cases) {
        CSkinImageList skin;
        skin.SetAttribute("subwidth", c.text);
        skin.SetAttribute("tile", c.text);
        CSkinContainer control;
        control.SetAttribute("data", c.text);
        control.SetAttribute("show", c.text);
        LayerDocument layer;
        ASSERT_TRUE(layer.Load(std::string("<layer width=\"") + c.text + "\" resize=\"" + c.text +
                               "\"><body/></layer>"))
            << c.text;
        EXPECT_EQ(c.want, skin.subwidth) << c.text;
        EXPECT_EQ(c.want, control.Data()) << c.text;
        EXPECT_EQ(c.want, layer.Header().width) << c.text;
        // Switches are on for any integer but 0; `show` alone falls back to on.
        EXPECT_EQ(c.want != 0, skin.tile) << c.text;
        EXPECT_EQ(c.want != 0, layer.Header().resize != 0) << c.text;
        EXPECT_EQ(c.want != 0 || !c.integer, control.Visible()) << c.text;
    }

    // String-table ids and an image's id follow the same rule.
    StringTable strings;
    ASSERT_TRUE(strings.Load("<string><s id=\"0x10\">hex</s><s id=\"7px\">junk</s></string>"));
    ASSERT_NE(nullptr, strings.Find(16));
    EXPECT_EQ(1u, strings.Size());
    EXPECT_EQ(16u, ParseImageRef("0x10:PNG").id);
    EXPECT_EQ(0u, ParseImageRef("7px").id);
}

TEST(SkinFormat, StringReferences)
{
    const std::map<int, std::string> table = {{1, "1.0"}, {2, "velmora"}, {3, "%str1%"}, {4, "%str4%"}};
    const StringLookup lookup = [&](int id) -> const std::string* {
        auto found = table.find(id);
        return found == table.end() ? nullptr : &found->second;
    };
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"v%str1% by %str2%", "v1.0 by velmora"},
        {"%str2%%str2%", "velmoravelmora"},
        {"%str02%", "velmora"},
        {"%str3%", "%str1%"},  // inserted text is not expanded again
        {"<%str4%>", "<%str4%>"},  // so an entry naming itself is no loop
        {"%str9%", "%str9%"},
        {"%str0%", "%str0%"},
        {"%str%", "%str%"},
        {"%str2", "%str2"},
        {"%strx%", "%strx%"},
        {"100%", "100%"},
        {"%str%str1%", "%str1.0"},
        {"%str1234567890%", "%str1234567890%"},
        {"%str99999999999%", "%str99999999999%"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, ExpandStringRefs(c.text, lookup)) << c.text;
    EXPECT_EQ("%str1%", ExpandStringRefs("%str1%", nullptr));
}

TEST(SkinFormat, MalformedUtf8ReadsAsReplacementCharactersAndTheRestIsKept)
{
    EXPECT_EQ(L"\x5B8B\x4F53", Utf8ToWide(kSong));
    EXPECT_EQ(std::wstring(L"a\xD83D\xDE00"), Utf8ToWide(u8"a\U0001F600"));
    struct Case {
        const char* utf8;
        const wchar_t* want;
    } cases[] = {
        {"a\xC0\xAF" "b", L"a\xFFFD\xFFFD" L"b"},          // overlong
        {"a\xED\xA0\x80" "b", L"a\xFFFD\xFFFD\xFFFD" L"b"},  // a surrogate
        {"a\xE5\xAE" "b", L"a\xFFFD\xFFFD" L"b"},          // cut short
        {"a\xF4\x90\x80\x80" "b", L"a\xFFFD\xFFFD\xFFFD\xFFFD" L"b"},  // above U+10FFFF
        {"a\x80" "b", L"a\xFFFD" L"b"},                    // a stray continuation
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, Utf8ToWide(c.utf8)) << c.utf8;

    // A tip with a bad byte keeps what follows it.
    CSkinControl control;
    ASSERT_TRUE(control.SetAttribute("tip", "Save\xFF" " now"));
    EXPECT_EQ(L"Save\xFFFD now", control.Tip());
}

TEST(SkinFonts, OneFontPerFaceAndCodeWhateverTheCase)
{
    CSkinFontPool pool;
    const HFONT arial = pool.Get("0004:Arial", kSong);
    ASSERT_NE(nullptr, arial);
    EXPECT_EQ(arial, pool.Get("0004:arial", kSong));
    EXPECT_EQ(arial, pool.Get("4:ARIAL", kSong));
    EXPECT_NE(arial, pool.Get("0002:Arial", kSong));
    EXPECT_NE(arial, pool.Get("0004:Tahoma", kSong));
    EXPECT_EQ(pool.Get("0004", kSong), pool.Get("0004:" + kSong, "Arial"));
    EXPECT_EQ(4u, pool.Size());

    pool.Clear();
    EXPECT_EQ(0u, pool.Size());
    EXPECT_EQ(0u, GetObjectType(arial));
}

TEST(SkinFonts, FontsCarryTheCode)
{
    CSkinFontPool pool;
    struct Case {
        std::string code;
        LONG height, weight;
        BYTE italic, underline;
        std::wstring face;
    } cases[] = {
        {"1004:Arial", -28, 700, 0, 0, L"Arial"},
        {"0203", -14, 400, 1, 1, L"宋体"},
        {"8400:" + Repeat("F", 40), -8, 400, 0, 0, std::wstring(31, L'F')},
    };
    for (const Case& c : cases) {
        LOGFONTW lf = {};
        ASSERT_EQ(int(sizeof lf), GetObjectW(pool.Get(c.code, kSong), sizeof lf, &lf)) << c.code;
        EXPECT_EQ(c.height, lf.lfHeight) << c.code;
        EXPECT_EQ(c.weight, lf.lfWeight) << c.code;
        EXPECT_EQ(c.italic, lf.lfItalic) << c.code;
        EXPECT_EQ(c.underline, lf.lfUnderline) << c.code;
        EXPECT_EQ(c.face, lf.lfFaceName) << c.code;
    }
}
