// The program's small Chinese text as the workstation draws it: the face and
// size its documents give the introduction, through the engine's font pool,
// must draw every stroke of a character in solid ink. A face drawn in black
// and white from hinted outlines loses strokes at that size ("口" without
// its inside, "目" as "月"), one drawn in grey blurs them; both fail here.
#include "testutil.h"

#include "ui/fonts.h"
#include "ui/resources.h"
#include "ui/skins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace SkinEngine;

namespace {

// One character drawn black on white, as grey levels (0 ink, 255 paper).
struct Cell {
    int width = 40, height = 32;
    std::vector<unsigned char> level;
    unsigned char At(int x, int y) const { return level[static_cast<size_t>(y) * width + x]; }
};

Cell Draw(HFONT font, wchar_t character)
{
    Cell cell;
    CSkinDib dib(cell.width, cell.height);
    if (!dib.ok()) return cell;
    HGDIOBJ old = SelectObject(dib.Dc(), font);
    RECT all = {0, 0, cell.width, cell.height};
    FillRect(dib.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dib.Dc(), TRANSPARENT);
    SetTextColor(dib.Dc(), RGB(0, 0, 0));
    RECT box = {8, 6, cell.width, cell.height};
    DrawTextW(dib.Dc(), &character, 1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();
    SelectObject(dib.Dc(), old);
    for (int y = 0; y < cell.height; ++y)
        for (int x = 0; x < cell.width; ++x) {
            const uint32_t p = dib.Pixel(x, y);
            cell.level.push_back(static_cast<unsigned char>((((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255)) / 3));
        }
    return cell;
}

bool Inked(const Cell& cell, int x, int y) { return cell.At(x, y) < 128; }

// Enclosed counters: regions of paper (joined side by side) that ink closes
// off from the cell's edge. "口" has one, "日" two, "田" four; a stroke that
// is missing opens a counter, two strokes run together close one up.
int Counters(const Cell& cell)
{
    std::vector<char> seen(cell.level.size(), 0);
    int enclosed = 0;
    for (int y0 = 0; y0 < cell.height; ++y0)
        for (int x0 = 0; x0 < cell.width; ++x0) {
            if (seen[y0 * cell.width + x0] || Inked(cell, x0, y0)) continue;
            bool open = false;
            std::vector<std::pair<int, int>> todo = {{x0, y0}};
            seen[y0 * cell.width + x0] = 1;
            while (!todo.empty()) {
                const auto [x, y] = todo.back();
                todo.pop_back();
                if (x == 0 || y == 0 || x == cell.width - 1 || y == cell.height - 1) open = true;
                const int next[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (const auto& n : next) {
                    if (n[0] < 0 || n[1] < 0 || n[0] >= cell.width || n[1] >= cell.height) continue;
                    const int at = n[1] * cell.width + n[0];
                    if (seen[at] || Inked(cell, n[0], n[1])) continue;
                    seen[at] = 1;
                    todo.push_back({n[0], n[1]});
                }
            }
            if (!open) ++enclosed;
        }
    return enclosed;
}

class ProgramText : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ProgramModule(), nullptr) << "PylonixClient.exe is built beside the tests";
        ResourceSource source(ProgramModule());
        ASSERT_TRUE(pools.Load(source));
        const std::string* face = pools.strings.Find(0);
        ASSERT_NE(face, nullptr);
        const AttrList* intro = pools.styles.Find("intro_text");
        ASSERT_NE(intro, nullptr);
        const std::string* code = FindAttr(*intro, "font");
        ASSERT_NE(code, nullptr);
        const FontCode parsed = ParseFontCode(*code, *face);
        ASSERT_EQ(parsed.height, 12) << "the introduction's text is the 12-pixel text";
        font = SkinFonts().Get(*code, *face);
        ASSERT_NE(font, nullptr);
    }

    ResourcePools pools;
    HFONT font = nullptr;
};

TEST_F(ProgramText, TwelvePixelCharactersKeepEveryStrokeInSolidInk)
{
    // Simple characters close exactly their counters; the introduction's
    // words keep at least the boxes they are built on (操 holds 品, 是 holds
    // 日, 否 and 足 hold 口).
    const struct {
        wchar_t character;
        int counters;
        bool exact;
    } expected[] = {{L'口', 1, true}, {L'日', 2, true}, {L'目', 3, true}, {L'田', 4, true}, {L'回', 2, true},
                    {L'品', 3, true}, {L'操', 3, false}, {L'是', 2, false}, {L'否', 1, false}, {L'足', 1, false}};
    for (const auto& e : expected) {
        const Cell cell = Draw(font, e.character);
        ASSERT_FALSE(cell.level.empty());
        if (e.exact) EXPECT_EQ(Counters(cell), e.counters) << "U+" << std::hex << unsigned(e.character);
        else EXPECT_GE(Counters(cell), e.counters) << "U+" << std::hex << unsigned(e.character);
    }

    // Solid ink, not grey: smoothed edges would give about as many grey
    // pixels as ink.
    int ink = 0, grey = 0;
    for (wchar_t character : std::wstring(L"操作系统是否满足运行要求")) {
        const Cell cell = Draw(font, character);
        ASSERT_FALSE(cell.level.empty());
        int own = 0;
        for (unsigned char level : cell.level) {
            if (level < 64) ++own;
            else if (level < 224) ++grey;
        }
        EXPECT_GE(own, 10) << "U+" << std::hex << unsigned(character) << " has next to no solid ink";
        ink += own;
    }
    EXPECT_LE(grey * 8, ink) << ink << " ink pixels, " << grey << " grey ones";
}

}  // namespace
