// Skins drawn into a 32-bit DIB and checked pixel by pixel.
#include "ui/scrollbar.h"
#include "ui/skins.h"

#include <gtest/gtest.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

using namespace SkinEngine;

namespace {

const uint32_t kBackground = 0x010203;

// The engine's DIB, cleared to a known background; pixels read as 0xRRGGBB.
struct Canvas : CSkinDib {
    Canvas(int width, int height) : CSkinDib(width, height), w(width), h(height), dc(Dc())
    {
        for (int i = 0; i < w * h; ++i) Bits()[i] = kBackground;
    }
    uint32_t px(int x, int y) const { return Pixel(x, y); }
    int w, h;
    HDC dc;
};

std::shared_ptr<CSkinImage> MakeImage(int w, int h, const std::function<uint32_t(int, int)>& rgb)
{
    std::vector<uint32_t> argb(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) argb[y * w + x] = 0xFF000000 | rgb(x, y);
    return CSkinImage::FromPixels(w, h, argb.data());
}

using Attrs = std::vector<std::pair<std::string, std::string>>;

std::unique_ptr<CSkinBase> MakeSkin(const char* tag, const Attrs& attrs,
                                    std::shared_ptr<CSkinImage> image = nullptr)
{
    std::unique_ptr<CSkinBase> skin = CreateSkin(tag);
    for (const auto& a : attrs) skin->SetAttribute(a.first, a.second);
    if (auto* list = dynamic_cast<CSkinImageList*>(skin.get())) list->SetImage(image);
    return skin;
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

// Nine-grid source: margins left 5, top 10, right 10, bottom 15 around a
// 15 x 10 centre, each region its own colour. It is the second state of two;
// the first is grey, so a wrong state offset shows.
const uint32_t kGrid[3][3] = {{0xFF0000, 0x00FF00, 0x0000FF},
                              {0xFFFF00, 0x00FFFF, 0xFF00FF},
                              {0x800000, 0x008000, 0x000080}};
std::shared_ptr<CSkinImage> GridImage()
{
    return MakeImage(60, 35, [](int x, int y) {
        if (x < 30) return 0x808080u;
        x -= 30;
        return kGrid[y < 10 ? 0 : y < 20 ? 1 : 2][x < 5 ? 0 : x < 20 ? 1 : 2];
    });
}

class SkinDrawing : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gdiplus.ok()); }
    CGdiplusSession gdiplus;
};

TEST_F(SkinDrawing, FrameNineGridPartsAndFill)
{
    // D = (10,10)-(110,50), 100 x 40; I is the expected inner rectangle.
    const struct { const char* part; const char* crbg; RECT in; } cases[] = {
        {"all", nullptr, {15, 20, 100, 35}},     // top band 85 long, left band 15 high
        {"middle", nullptr, {15, 10, 100, 50}},  // side bands and centre the full 40
        {"top", nullptr, {15, 20, 100, 50}},     // open at the bottom
        {"left", nullptr, {15, 20, 110, 35}},    // open on the right
        {"all", "123456", {15, 20, 100, 35}},    // the fill hides the centre
    };
    for (const auto& c : cases) {
        Attrs attrs = {{"src", "7"}, {"subwidth", "30"}, {"left", "5"}, {"top", "10"},
                       {"right", "10"}, {"bottom", "15"}, {"part", c.part}};
        if (c.crbg) attrs.push_back({"crbg", c.crbg});
        auto skin = MakeSkin("imgframe", attrs, GridImage());
        Canvas canvas(120, 60);
        const RECT d = {10, 10, 110, 50};
        skin->Draw(canvas.dc, d, 1);

        // Outside I a pixel takes the band or corner colour of its side.
        int wrong = 0;
        for (int y = 0; y < canvas.h; ++y) {
            for (int x = 0; x < canvas.w; ++x) {
                const int col = x < c.in.left ? 0 : x < c.in.right ? 1 : 2;
                const int row = y < c.in.top ? 0 : y < c.in.bottom ? 1 : 2;
                const bool inD = x >= d.left && x < d.right && y >= d.top && y < d.bottom;
                const uint32_t want = !inD                              ? kBackground
                                      : c.crbg && col == 1 && row == 1 ? 0x123456
                                                                        : kGrid[row][col];
                if (canvas.px(x, y) != want && wrong++ == 0)
                    ADD_FAILURE() << c.part << " at (" << x << "," << y << "): " << std::hex
                                  << canvas.px(x, y) << " instead of " << want;
            }
        }
        EXPECT_EQ(0, wrong) << c.part;
    }

    // Smaller than its margins: the corners overlap, but stay inside D.
    auto small = MakeSkin("imgframe", {{"subwidth", "30"}, {"left", "5"}, {"top", "10"},
                                       {"right", "10"}, {"bottom", "15"}},
                          GridImage());
    Canvas canvas(30, 30);
    small->Draw(canvas.dc, RECT{10, 10, 18, 18}, 1);
    int outside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if ((x < 10 || x >= 18 || y < 10 || y >= 18) && canvas.px(x, y) != kBackground)
                ++outside;
    EXPECT_EQ(0, outside);
    EXPECT_EQ(kGrid[2][2], canvas.px(17, 17));  // drawn last, over the others
}

TEST_F(SkinDrawing, FieldsCompletedFromTheImage)
{
    const struct { Attrs attrs; int width, count; } strips[] = {  // over 300 x 8
        {{{"subwidth", "76"}}, 76, 3},  // integer division
        {{{"states", "4"}}, 75, 4},
        {{}, 300, 1},
        {{{"subwidth", "100"}, {"states", "2"}}, 100, 2},  // both declared: kept
    };
    for (const auto& c : strips) {
        auto skin = MakeSkin("imglst", c.attrs, MakeImage(300, 8, [](int, int) { return 0u; }));
        auto* list = static_cast<CSkinImageList*>(skin.get());
        EXPECT_EQ(c.count, list->stateCount) << c.width;
        EXPECT_EQ(c.width, skin->GetSize().cx);
        EXPECT_EQ(8, skin->GetSize().cy);
    }
    const struct { const char* left; const char* top; int right, bottom; } frames[] = {
        {"5", "10", 5, 10},  // over 100 x 40, twice the margin fits: mirrored
        {"60", "20", 0, 0},  // 120 >= 100 wide, 40 >= 40 high: none
        {"49", "19", 49, 19},
    };
    for (const auto& c : frames) {
        auto skin = MakeSkin("imgframe", {{"left", c.left}, {"top", c.top}},
                             MakeImage(100, 40, [](int, int) { return 0u; }));
        auto* frame = static_cast<CSkinImgFrame*>(skin.get());
        EXPECT_EQ(c.right, frame->right) << c.left;
        EXPECT_EQ(c.bottom, frame->bottom) << c.top;
    }
}

TEST_F(SkinDrawing, StripDrawsItsStateStretchedOrTiled)
{
    const uint32_t states[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    auto strip = MakeSkin("imglst", {{"src", "51"}, {"subwidth", "4"}},
                          MakeImage(12, 4, [&](int x, int) { return states[x / 4]; }));
    for (unsigned state : {2u, 9u}) {  // past the last state: the last one
        Canvas canvas(12, 12);
        strip->Draw(canvas.dc, RECT{2, 2, 10, 10}, state);
        EXPECT_EQ(0x0000FFu, canvas.px(2, 2));
        EXPECT_EQ(0x0000FFu, canvas.px(9, 9));
        EXPECT_EQ(kBackground, canvas.px(10, 10));
        EXPECT_EQ(kBackground, canvas.px(1, 1));
    }

    // Four distinct columns, drawn 10 wide: tiled repeats at x % 4,
    // stretched 4 -> 8 doubles every column.
    const uint32_t cols[4] = {0x110000, 0x002200, 0x000033, 0x444444};
    auto image = MakeImage(4, 1, [&](int x, int) { return cols[x]; });
    auto tiled = MakeSkin("imglst", {{"tile", "1"}}, image);
    auto stretched = MakeSkin("imglst", {{"tile", "0"}}, image);
    // The same columns as a frame's centre between 1-pixel side bands.
    auto frame = MakeSkin("imgframe", {{"tile", "1"}, {"left", "1"}, {"part", "middle"}},
                          MakeImage(6, 1, [&](int x, int) {
                              return x == 0 ? 0xAAAAAAu : x == 5 ? 0xBBBBBBu : cols[x - 1];
                          }));
    Canvas canvas(12, 5);
    tiled->Draw(canvas.dc, RECT{0, 0, 10, 2}, 0);
    stretched->Draw(canvas.dc, RECT{0, 2, 8, 4}, 0);
    frame->Draw(canvas.dc, RECT{0, 4, 12, 5}, 0);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(cols[x % 4], canvas.px(x, 1)) << "tiled x=" << x;
        EXPECT_EQ(x < 8 ? cols[x / 2] : kBackground, canvas.px(x, 3)) << "stretched x=" << x;
        EXPECT_EQ(cols[x % 4], canvas.px(x + 1, 4)) << "frame x=" << x;
    }
    EXPECT_EQ(0xAAAAAAu, canvas.px(0, 4));
    EXPECT_EQ(0xBBBBBBu, canvas.px(11, 4));
}

TEST_F(SkinDrawing, OpacityReachesEveryImageBlit)
{
    // 128 over the background blends about half and half, per channel.
    auto frame = MakeSkin("imgframe", {{"subwidth", "30"}, {"left", "5"}, {"top", "10"},
                                       {"right", "10"}, {"bottom", "15"}},
                          GridImage());
    auto strip = MakeSkin("imglst", {}, MakeImage(2, 2, [](int, int) { return 0xFF00FFu; }));
    auto half = [](uint32_t c) {
        uint32_t out = 0;
        for (int s = 0; s < 24; s += 8)
            out |= ((((c >> s) & 0xFF) * 128 + ((kBackground >> s) & 0xFF) * 127) / 255) << s;
        return out;
    };
    Canvas canvas(110, 40);
    frame->Draw(canvas.dc, RECT{0, 0, 100, 40}, 1, 128);
    strip->Draw(canvas.dc, RECT{100, 0, 110, 4}, 0, 128);
    EXPECT_TRUE(Near(half(0xFF00FF), canvas.px(105, 1), 2)) << std::hex << canvas.px(105, 1);
    EXPECT_TRUE(Near(half(kGrid[0][1]), canvas.px(50, 2), 2)) << std::hex << canvas.px(50, 2);
    EXPECT_TRUE(Near(half(kGrid[1][1]), canvas.px(50, 20), 2)) << std::hex << canvas.px(50, 20);
    EXPECT_TRUE(Near(half(kGrid[2][2]), canvas.px(95, 38), 2)) << std::hex << canvas.px(95, 38);
}

TEST_F(SkinDrawing, ColourButtonStates)
{
    const Attrs colours = {{"bg", "102030"},         {"border", "A0B0C0"},
                           {"bgup", "FF0000"},       {"bgdown", "800000"},
                           {"bguphover", "00FF00"},  {"bgdownhover", "008000"},
                           {"bguppush", "0000FF"},   {"bgdownpush", "000080"}};
    auto button = MakeSkin("button", colours);
    const struct { unsigned state; uint32_t up, down; } cases[] = {
        {0x00, 0xFF0000, 0x800000}, {0x01, 0x00FF00, 0x008000}, {0x02, 0x0000FF, 0x000080},
        {0x03, 0x0000FF, 0x000080},  // pressed wins over hovered
        {0x13, 0x102030, 0x102030},  // disabled: only the fill
    };
    for (const auto& c : cases) {
        Canvas canvas(30, 30);
        button->Draw(canvas.dc, RECT{5, 5, 25, 25}, c.state);
        SCOPED_TRACE(c.state);
        EXPECT_EQ(0xA0B0C0u, canvas.px(15, 5));   // outline on all four sides
        EXPECT_EQ(0xA0B0C0u, canvas.px(15, 24));
        EXPECT_EQ(0xA0B0C0u, canvas.px(5, 15));
        EXPECT_EQ(0xA0B0C0u, canvas.px(24, 15));
        EXPECT_EQ(kBackground, canvas.px(4, 15));
        EXPECT_EQ(kBackground, canvas.px(25, 15));
        EXPECT_EQ(0x102030u, canvas.px(6, 6));    // the 1-pixel ring inside is the fill
        EXPECT_EQ(0x102030u, canvas.px(15, 23));
        EXPECT_EQ(c.up, canvas.px(15, 7));
        EXPECT_TRUE(Near(c.down, canvas.px(15, 22), 0x10)) << std::hex << canvas.px(15, 22);
    }
    // The defaults are greys whatever the byte order.
    auto plain = MakeSkin("button", {});
    Canvas canvas(20, 20);
    plain->Draw(canvas.dc, RECT{0, 0, 20, 20}, kButtonDisabled);
    EXPECT_EQ(0x707070u, canvas.px(10, 0));
    EXPECT_EQ(0xEEEEEEu, canvas.px(10, 10));
}

TEST_F(SkinDrawing, GradientSizeAndDirection)
{
    {
        auto vert = MakeSkin("gradation", {{"from", "000000"}, {"to", "C8C8C8"},
                                           {"size", "10"}, {"direction", "vert"}});
        Canvas canvas(20, 40);
        vert->Draw(canvas.dc, RECT{0, 0, 20, 40}, 0);
        EXPECT_EQ(0x000000u, canvas.px(10, 0));
        EXPECT_TRUE(Near(0xC8C8C8, canvas.px(10, 9), 0x18)) << std::hex << canvas.px(10, 9);
        EXPECT_LT(canvas.px(10, 4) & 0xFF, canvas.px(10, 9) & 0xFF);
        EXPECT_EQ(canvas.px(0, 5), canvas.px(19, 5));  // rows are uniform
        for (int y = 10; y < 40; ++y) EXPECT_EQ(0xC8C8C8u, canvas.px(10, y)) << y;
    }
    {
        auto horz = MakeSkin("gradation", {{"from", "0000FF"}, {"to", "FF0000"}});
        Canvas canvas(40, 10);
        horz->Draw(canvas.dc, RECT{0, 0, 40, 10}, 0);
        EXPECT_EQ(0x0000FFu, canvas.px(0, 5));
        EXPECT_TRUE(Near(0xFF0000, canvas.px(39, 5), 0x10)) << std::hex << canvas.px(39, 5);
        EXPECT_TRUE(Near(0x800080, canvas.px(20, 5), 0x10)) << std::hex << canvas.px(20, 5);
        EXPECT_EQ(canvas.px(20, 0), canvas.px(20, 9));  // columns are uniform
    }
}

// Encodes a GDI+ bitmap with the encoder of `mime`.
std::vector<BYTE> Encode(Gdiplus::Bitmap& bitmap, const wchar_t* mime)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    std::vector<BYTE> bytes;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mime) != 0) continue;
        IStream* stream = NewMemoryStream(nullptr, 0);
        if (bitmap.Save(stream, &codecs[i].Clsid, nullptr) == Gdiplus::Ok) {
            STATSTG stat = {};
            stream->Stat(&stat, STATFLAG_NONAME);
            bytes.resize(static_cast<size_t>(stat.cbSize.QuadPart));
            LARGE_INTEGER zero = {};
            stream->Seek(zero, STREAM_SEEK_SET, nullptr);
            ULONG read = 0;
            stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
        }
        stream->Release();
    }
    return bytes;
}

// A GIF89a with a four-colour table, written by hand: the encoder of GDI+
// under Wine writes a header without image data. The LZW stream sends a
// clear code before every two pixels, so codes stay 3 bits wide.
std::vector<BYTE> TinyGif(int w, int h, const uint32_t (&palette)[4],
                          const std::vector<int>& pixels)
{
    std::vector<BYTE> gif = {'G', 'I', 'F', '8', '9', 'a', BYTE(w), 0, BYTE(h), 0, 0x91, 0, 0};
    for (uint32_t c : palette) gif.insert(gif.end(), {BYTE(c >> 16), BYTE(c >> 8), BYTE(c)});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, BYTE(w), 0, BYTE(h), 0, 0, 2});
    std::vector<BYTE> lzw;
    unsigned acc = 0, nbits = 0;
    auto put = [&](unsigned code) {
        acc |= code << nbits;
        for (nbits += 3; nbits >= 8; nbits -= 8, acc >>= 8) lzw.push_back(BYTE(acc));
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % 2 == 0) put(4);  // clear
        put(pixels[i]);
    }
    put(5);  // end of information
    if (nbits) lzw.push_back(BYTE(acc));
    gif.push_back(BYTE(lzw.size()));
    gif.insert(gif.end(), lzw.begin(), lzw.end());
    gif.insert(gif.end(), {0, 0x3B});
    return gif;
}

TEST_F(SkinDrawing, ImagesLoadFromBytesAndFiles)
{
    // Red left half, blue right half; the PNG has one transparent pixel.
    Gdiplus::Bitmap argb(6, 3, PixelFormat32bppARGB), rgb(6, 3, PixelFormat24bppRGB);
    std::vector<int> indexes;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6; ++x) {
            const Gdiplus::Color colour(255, x < 3 ? 255 : 0, 0, x < 3 ? 0 : 255);
            argb.SetPixel(x, y, colour);
            rgb.SetPixel(x, y, colour);
            indexes.push_back(x < 3 ? 0 : 1);
        }
    }
    argb.SetPixel(1, 1, Gdiplus::Color(0, 255, 0, 0));
    const uint32_t palette[4] = {0xFF0000, 0x0000FF, 0x00FF00, 0xFFFFFF};
    const struct { const char* kind; std::vector<BYTE> bytes; uint32_t at11; } cases[] = {
        {"png", Encode(argb, L"image/png"), kBackground},
        {"bmp", Encode(rgb, L"image/bmp"), 0xFF0000},
        {"gif", TinyGif(6, 3, palette, indexes), 0xFF0000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        auto image = CSkinImage::FromBytes(c.bytes.data(), c.bytes.size());
        ASSERT_TRUE(image);
        EXPECT_EQ(6, image->Width());
        EXPECT_EQ(3, image->Height());
        Canvas canvas(6, 3);
        MakeSkin("imglst", {}, image)->Draw(canvas.dc, RECT{0, 0, 6, 3}, 0);
        EXPECT_EQ(0xFF0000u, canvas.px(0, 0));
        EXPECT_EQ(0x0000FFu, canvas.px(5, 2));
        EXPECT_EQ(c.at11, canvas.px(1, 1));
    }

    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"skn", 0, path);
    FILE* f = _wfopen(path, L"wb");
    ASSERT_TRUE(f);
    fwrite(cases[0].bytes.data(), 1, cases[0].bytes.size(), f);
    fclose(f);
    auto fromFile = CSkinImage::FromFile(path);
    DeleteFileW(path);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(6, fromFile->Width());

    const char junk[] = "not an image at all";
    EXPECT_FALSE(CSkinImage::FromBytes(junk, sizeof junk));
    EXPECT_FALSE(CSkinImage::FromFile(L"C:\\no\\such\\image.png"));
}

TEST_F(SkinDrawing, AttributeValues)
{
    EXPECT_EQ(RGB(0x0A, 0x84, 0xD2), ParseSkinColour("0A84D2"));
    EXPECT_EQ(RGB(0xAB, 0, 0xEF), ParseSkinColour("abx0ef"));  // a bad pair reads 0
    const ImageRef plain = ParseImageRef("103"), typed = ParseImageRef("8:BMP");
    EXPECT_EQ(103u, plain.id);
    EXPECT_EQ("IMGX", plain.type);
    EXPECT_EQ(8u, typed.id);
    EXPECT_EQ("BMP", typed.type);
    EXPECT_TRUE(dynamic_cast<CSkinScrollBar*>(CreateSkin("scrollbar").get()));
    auto skin = MakeSkin("imglst", {{"name", "btn_close"}, {"owner", "PylonixClient"}});
    EXPECT_EQ("btn_close", skin->name);
    EXPECT_EQ("PylonixClient", skin->owner);
    EXPECT_FALSE(skin->SetAttribute("magin", "3"));  // unknown: ignored
}

}  // namespace
