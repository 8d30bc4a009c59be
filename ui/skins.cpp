// Skins: how images, frames, colour buttons and gradients are drawn.
#include "ui/skins.h"

#include "ui/scrollbar.h"

#include "ui/attrtable.h"
#include "ui/format.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <map>
#include <climits>
#include <cstring>
#include <vector>

namespace SkinEngine {

namespace {

const int kMaxMeasure = 100000;

// Skin measures (margins, state widths, sizes) are integer attributes kept
// far from overflow in the rectangle arithmetic; one that is not an integer
// reads 0.
int Measure(const std::string& value)
{
    return std::clamp(SkinIntOr(value, 0), -kMaxMeasure, kMaxMeasure);
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// One image blit; `tile` repeats the source at its natural size from the
// top-left corner, cutting the last row and column at the destination's edge.
void Blit(HDC dst, HDC src, const RECT& to, const RECT& from, bool tile, BYTE opacity)
{
    const int dw = Width(to), dh = Height(to), sw = Width(from), sh = Height(from);
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || opacity == 0) return;
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    if (!tile) {
        AlphaBlend(dst, to.left, to.top, dw, dh, src, from.left, from.top, sw, sh, blend);
        return;
    }
    // The tiles are laid out on a scratch surface by doubling what is already
    // there, so a tiny tile over a large area costs a few copies, not one blit
    // per tile; the surface then goes out in a single blend.
    CSkinDib scratch(dw, dh);
    HDC t = scratch.Dc();
    if (!t) return;
    BitBlt(t, 0, 0, std::min(sw, dw), std::min(sh, dh), src, from.left, from.top, SRCCOPY);
    for (int w = sw; w < dw; w *= 2) BitBlt(t, w, 0, std::min(w, dw - w), sh, t, 0, 0, SRCCOPY);
    for (int h = sh; h < dh; h *= 2) BitBlt(t, 0, h, dw, std::min(h, dh - h), t, 0, 0, SRCCOPY);
    AlphaBlend(dst, to.left, to.top, dw, dh, t, 0, 0, dw, dh, blend);
}

// A memory DC holding the image for the duration of one Draw.
class SourceDC {
public:
    SourceDC(HDC target, HBITMAP bitmap)
        : m_dc(CreateCompatibleDC(target)), m_old(m_dc ? SelectObject(m_dc, bitmap) : nullptr) {}
    ~SourceDC()
    {
        if (!m_dc) return;
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
    }
    HDC get() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

void FillColour(HDC hdc, const RECT& rect, COLORREF colour)
{
    if (Width(rect) <= 0 || Height(rect) <= 0) return;
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

}  // namespace

// ---- GDI+ and images ----

CGdiplusSession::CGdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok) m_token = 0;
}

CGdiplusSession::~CGdiplusSession()
{
    if (m_token) Gdiplus::GdiplusShutdown(m_token);
}

CSkinImage::~CSkinImage()
{
    if (m_bitmap) DeleteObject(m_bitmap);
}

HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits)
{
    // Bounded so the pixel count cannot overflow a 32-bit size.
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
        static_cast<long long>(width) * height > 64LL * 1024 * 1024)
        return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap && !pixels) {
        DeleteObject(bitmap);
        return nullptr;
    }
    *bits = static_cast<uint32_t*>(pixels);
    return bitmap;
}

// --- CSkinDib ---

CSkinDib::CSkinDib(int width, int height) : m_width(width > 0 ? width : 0), m_height(height > 0 ? height : 0)
{
    uint32_t* bits = nullptr;
    m_bitmap = CreateTopDownDib(m_width, m_height, &bits);
    if (!m_bitmap) return;
    m_dc = CreateCompatibleDC(nullptr);
    if (!m_dc) return;
    m_old = SelectObject(m_dc, m_bitmap);
    m_bits = bits;
}

CSkinDib::~CSkinDib()
{
    if (m_dc) {
        if (m_old) SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
    }
    if (m_bitmap) DeleteObject(m_bitmap);
}

uint32_t CSkinDib::Pixel(int x, int y) const
{
    if (!m_bits || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    GdiFlush();
    return m_bits[static_cast<size_t>(y) * m_width + x] & 0xFFFFFF;
}

std::shared_ptr<CSkinImage> CSkinImage::Create(int width, int height, uint32_t** bits)
{
    HBITMAP bitmap = CreateTopDownDib(width, height, bits);
    if (!bitmap) return nullptr;
    return std::shared_ptr<CSkinImage>(new CSkinImage(bitmap, width, height));
}

std::shared_ptr<CSkinImage> CSkinImage::FromPixels(int width, int height, const uint32_t* argb)
{
    uint32_t* bits = nullptr;
    std::shared_ptr<CSkinImage> image = argb ? Create(width, height, &bits) : nullptr;
    if (!image) return nullptr;
    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = argb[i], a = p >> 24;
        auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
        bits[i] = (a << 24) | (pre((p >> 16) & 0xFF) << 16) | (pre((p >> 8) & 0xFF) << 8) |
                  pre(p & 0xFF);
    }
    GdiFlush();
    return image;
}

namespace {

std::shared_ptr<CSkinImage> FromGdiplusBitmap(Gdiplus::Bitmap& bitmap)
{
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return nullptr;
    const int width = static_cast<int>(bitmap.GetWidth());
    const int height = static_cast<int>(bitmap.GetHeight());
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok)
        return nullptr;
    std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(data.Scan0) + y * data.Stride;
        std::memcpy(&argb[static_cast<size_t>(y) * width], row, width * 4u);
    }
    bitmap.UnlockBits(&data);
    return CSkinImage::FromPixels(width, height, argb.data());
}

}  // namespace

IStream* NewMemoryStream(const void* data, size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (!memory) return nullptr;
    if (size) {
        void* target = GlobalLock(memory);
        if (!target) {
            GlobalFree(memory);
            return nullptr;
        }
        std::memcpy(target, data, size);
        GlobalUnlock(memory);
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    // The stream's size is what was copied, not the block's rounded size.
    ULARGE_INTEGER length;
    length.QuadPart = size;
    stream->SetSize(length);
    return stream;
}

std::shared_ptr<CSkinImage> CSkinImage::FromBytes(const void* data, size_t size)
{
    if (!data || size == 0 || size > UINT_MAX) return nullptr;
    IStream* stream = NewMemoryStream(data, size);
    if (!stream) return nullptr;
    std::shared_ptr<CSkinImage> image;
    {
        Gdiplus::Bitmap bitmap(stream);
        image = FromGdiplusBitmap(bitmap);
    }
    stream->Release();
    return image;
}

std::shared_ptr<CSkinImage> CSkinImage::FromFile(const std::wstring& path)
{
    Gdiplus::Bitmap bitmap(path.c_str());
    return FromGdiplusBitmap(bitmap);
}

// ---- values ----

ImageRef ParseImageRef(const std::string& value)
{
    ImageRef ref;
    const size_t colon = value.find(':');
    ref.id = static_cast<unsigned>(SkinIntOr(std::string_view(value).substr(0, colon), 0));
    if (colon != std::string::npos && colon + 1 < value.size()) ref.type = value.substr(colon + 1);
    return ref;
}

COLORREF ParseSkinColour(const std::string& value)
{
    return ParseColor(value).Ref();
}

unsigned ParsePart(const std::string& value)
{
    static const struct { const char* name; unsigned bits; } kParts[] = {
        {"all", 0x2F},  {"top", 0x2B},    {"middle", 0x2A}, {"bottom", 0x2E},
        {"left", 0x0F}, {"center", 0x07}, {"right", 0x27},
    };
    for (const auto& p : kParts)
        if (value == p.name) return p.bits;
    return kPartAll;
}

void FillGradient(HDC hdc, const RECT& rect, COLORREF from, COLORREF to, bool vertical)
{
    if (Width(rect) <= 0 || Height(rect) <= 0) return;
    auto vertex = [](LONG x, LONG y, COLORREF c) {
        TRIVERTEX v;
        v.x = x;
        v.y = y;
        v.Red = static_cast<COLOR16>(GetRValue(c) << 8);
        v.Green = static_cast<COLOR16>(GetGValue(c) << 8);
        v.Blue = static_cast<COLOR16>(GetBValue(c) << 8);
        v.Alpha = 0xFF00;
        return v;
    };
    TRIVERTEX v[2] = {vertex(rect.left, rect.top, from), vertex(rect.right, rect.bottom, to)};
    GRADIENT_RECT g = {0, 1};
    GradientFill(hdc, v, 2, &g, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

// ---- skins ----

bool CSkinBase::SetAttribute(const std::string& name, const std::string& value)
{
    static const AttrSetter<CSkinBase> kAttrs[] = {
        {"name", [](CSkinBase& s, const std::string& v) { s.name = v; }},
        {"owner", [](CSkinBase& s, const std::string& v) { s.owner = v; }},
    };
    return ApplyFromTable(kAttrs, *this, name, value);
}

bool CSkinImageList::SetAttribute(const std::string& name, const std::string& value)
{
    static const AttrSetter<CSkinImageList> kAttrs[] = {
        {"src", [](CSkinImageList& s, const std::string& v) { s.imageRef = ParseImageRef(v); }},
        {"subwidth", [](CSkinImageList& s, const std::string& v) { s.subwidth = Measure(v); }},
        {"states", [](CSkinImageList& s, const std::string& v) { s.states = Measure(v); }},
        {"tile", [](CSkinImageList& s, const std::string& v) { s.tile = SkinIntOr(v, 0) != 0; }},
    };
    return ApplyFromTable(kAttrs, *this, name, value) || CSkinBase::SetAttribute(name, value);
}

void CSkinImageList::SetImage(std::shared_ptr<CSkinImage> image)
{
    m_image = std::move(image);
    Complete();
}

bool CSkinImageList::LoadImageBytes(const std::string& bytes)
{
    std::shared_ptr<CSkinImage> image = CSkinImage::FromBytes(bytes.data(), bytes.size());
    const bool decoded = image != nullptr;
    SetImage(std::move(image));
    return decoded;
}

void CSkinImageList::Complete()
{
    const int width = m_image ? m_image->Width() : 0;
    stateWidth = subwidth > 0 ? subwidth : 0;
    stateCount = states > 0 ? states : 0;
    if (stateWidth > 0 && stateCount == 0) {
        stateCount = width / stateWidth;
    } else if (stateCount > 0 && stateWidth == 0) {
        stateWidth = width / stateCount;
    } else if (stateWidth == 0 && stateCount == 0) {
        stateCount = 1;
        stateWidth = width;
    }
}

SIZE CSkinImageList::GetSize() const
{
    return SIZE{m_image ? stateWidth : 0, m_image ? m_image->Height() : 0};
}

RECT CSkinImageList::StateRect(unsigned state) const
{
    RECT r = {0, 0, 0, 0};
    if (!m_image || stateWidth <= 0 || stateCount <= 0) return r;
    // A control may ask for a state the image does not have (a hover state
    // on a one-state image): it gets the last one rather than nothing.
    const unsigned i = std::min(state, static_cast<unsigned>(stateCount - 1));
    const long long x = static_cast<long long>(i) * stateWidth;
    if (x + stateWidth > m_image->Width()) return r;
    r.left = static_cast<LONG>(x);
    r.right = r.left + stateWidth;
    r.bottom = m_image->Height();
    return r;
}

void CSkinImageList::Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity) const
{
    const RECT src = StateRect(state);
    if (Width(src) <= 0) return;
    SourceDC source(hdc, m_image->Bitmap());
    if (source.get()) Blit(hdc, source.get(), dest, src, tile, opacity);
}

bool CSkinImgFrame::SetAttribute(const std::string& name, const std::string& value)
{
    static const AttrSetter<CSkinImgFrame> kAttrs[] = {
        {"left", [](CSkinImgFrame& s, const std::string& v) { s.left = Measure(v); }},
        {"top", [](CSkinImgFrame& s, const std::string& v) { s.top = Measure(v); }},
        {"right", [](CSkinImgFrame& s, const std::string& v) {
             s.right = Measure(v);
             s.m_rightDeclared = true;
         }},
        {"bottom", [](CSkinImgFrame& s, const std::string& v) {
             s.bottom = Measure(v);
             s.m_bottomDeclared = true;
         }},
        {"crbg", [](CSkinImgFrame& s, const std::string& v) {
             s.fill = ParseSkinColour(v);
             s.hasFill = true;
         }},
        {"part", [](CSkinImgFrame& s, const std::string& v) { s.part = ParsePart(v); }},
    };
    return ApplyFromTable(kAttrs, *this, name, value) || CSkinImageList::SetAttribute(name, value);
}

void CSkinImgFrame::Complete()
{
    CSkinImageList::Complete();
    const int height = m_image ? m_image->Height() : 0;
    if (!m_rightDeclared) right = 2 * left < stateWidth ? left : 0;
    if (!m_bottomDeclared) bottom = 2 * top < height ? top : 0;
}

void CSkinImgFrame::Draw(HDC hdc, const RECT& d, unsigned state, BYTE opacity) const
{
    const RECT s = StateRect(state);
    if (Width(s) <= 0 || Height(s) <= 0) return;
    SourceDC source(hdc, m_image->Bitmap());
    if (!source.get()) return;

    // Margins wider than the state are cut to it, so no source strip ever
    // reaches outside the state's own pixels.
    const int sw = Width(s), sh = Height(s);
    const int ml = std::clamp(left, 0, sw), mr = std::clamp(right, 0, sw - ml);
    const int mt = std::clamp(top, 0, sh), mb = std::clamp(bottom, 0, sh - mt);

    RECT in = d;
    if (part & kPartLeft) in.left += ml;
    if (part & kPartTop) in.top += mt;
    if (part & kPartRight) in.right -= mr;
    if (part & kPartBottom) in.bottom -= mb;

    // Source columns and rows of the nine pieces.
    const LONG sx[4] = {s.left, s.left + ml, s.right - mr, s.right};
    const LONG sy[4] = {s.top, s.top + mt, s.bottom - mb, s.bottom};
    auto src = [&](int col, int row) { return RECT{sx[col], sy[row], sx[col + 1], sy[row + 1]}; };

    // A destination smaller than the margins must not be drawn outside of.
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, d.left, d.top, d.right, d.bottom);
    auto has = [this](unsigned bits) { return (part & bits) == bits; };
    // Corners keep their natural size; bands and the centre fill their area.
    auto corner = [&](LONG x, LONG y, int col, int row) {
        const RECT from = src(col, row);
        const RECT to = {x, y, x + Width(from), y + Height(from)};
        Blit(hdc, source.get(), to, from, false, opacity);
    };
    auto area = [&](const RECT& to, int col, int row) {
        Blit(hdc, source.get(), to, src(col, row), tile, opacity);
    };

    if (has(kPartLeft | kPartTop)) corner(d.left, d.top, 0, 0);
    if (has(kPartRight | kPartTop)) corner(in.right, d.top, 2, 0);
    if (has(kPartLeft | kPartBottom)) corner(d.left, in.bottom, 0, 2);
    if (has(kPartRight | kPartBottom)) corner(in.right, in.bottom, 2, 2);
    if (part & kPartTop) area(RECT{in.left, d.top, in.right, d.top + mt}, 1, 0);
    if (part & kPartBottom) area(RECT{in.left, in.bottom, in.right, in.bottom + mb}, 1, 2);
    if (part & kPartLeft) area(RECT{d.left, in.top, d.left + ml, in.bottom}, 0, 1);
    if (part & kPartRight) area(RECT{in.right, in.top, in.right + mr, in.bottom}, 2, 1);
    area(in, 1, 1);
    if (hasFill) FillColour(hdc, in, fill);
    RestoreDC(hdc, saved);
}

bool CSkinButton::SetAttribute(const std::string& name, const std::string& value)
{
    using S = CSkinButton;
    static const AttrSetter<S> kAttrs[] = {
        {"bg", [](S& s, const std::string& v) { s.bg = ParseSkinColour(v); }},
        {"border", [](S& s, const std::string& v) { s.border = ParseSkinColour(v); }},
        {"bgup", [](S& s, const std::string& v) { s.bgup = ParseSkinColour(v); }},
        {"bgdown", [](S& s, const std::string& v) { s.bgdown = ParseSkinColour(v); }},
        {"bguphover", [](S& s, const std::string& v) { s.bguphover = ParseSkinColour(v); }},
        {"bgdownhover", [](S& s, const std::string& v) { s.bgdownhover = ParseSkinColour(v); }},
        {"bguppush", [](S& s, const std::string& v) { s.bguppush = ParseSkinColour(v); }},
        {"bgdownpush", [](S& s, const std::string& v) { s.bgdownpush = ParseSkinColour(v); }},
    };
    return ApplyFromTable(kAttrs, *this, name, value) || CSkinBase::SetAttribute(name, value);
}

void CSkinButton::Draw(HDC hdc, const RECT& d, unsigned state, BYTE) const
{
    const int saved = SaveDC(hdc);
    FillColour(hdc, RECT{d.left + 1, d.top + 1, d.right - 1, d.bottom - 1}, bg);
    if (!(state & kButtonDisabled)) {
        const bool push = state & kButtonPush, hover = state & kButtonHover;
        const COLORREF up = push ? bguppush : hover ? bguphover : bgup;
        const COLORREF down = push ? bgdownpush : hover ? bgdownhover : bgdown;
        FillGradient(hdc, RECT{d.left + 2, d.top + 2, d.right - 2, d.bottom - 2}, up, down, true);
    }
    HPEN pen = CreatePen(PS_SOLID, 1, border);
    SelectObject(hdc, pen);
    SelectObject(hdc, GetStockObject(NULL_BRUSH));
    RoundRect(hdc, d.left, d.top, d.right, d.bottom, 2, 2);
    RestoreDC(hdc, saved);
    DeleteObject(pen);
}

bool CSkinGradation::SetAttribute(const std::string& name, const std::string& value)
{
    using S = CSkinGradation;
    static const AttrSetter<S> kAttrs[] = {
        {"from", [](S& s, const std::string& v) {
             s.from = ParseSkinColour(v);
             s.hasFrom = true;
         }},
        {"to", [](S& s, const std::string& v) {
             s.to = ParseSkinColour(v);
             s.hasTo = true;
         }},
        {"size", [](S& s, const std::string& v) { s.size = std::max(0, Measure(v)); }},
        {"direction", [](S& s, const std::string& v) { s.vertical = v == "vert"; }},
    };
    return ApplyFromTable(kAttrs, *this, name, value) || CSkinBase::SetAttribute(name, value);
}

void CSkinGradation::Draw(HDC hdc, const RECT& d, unsigned, BYTE) const
{
    // An absent colour is no colour: nothing to fill with or blend from.
    if (!hasTo) return;
    FillColour(hdc, d, to);
    if (!hasFrom) return;
    RECT g = d;
    if (vertical && size > 0) g.bottom = std::min<LONG>(d.bottom, d.top + size);
    if (!vertical && size > 0) g.right = std::min<LONG>(d.right, d.left + size);
    FillGradient(hdc, g, from, to, vertical);
}

bool CSkinBorder::SetAttribute(const std::string& name, const std::string& value)
{
    if (name == "border") {
        int parsed[4] = {0, 0, 0, 0};
        ParseIntList(value, parsed, 4);
        for (int i = 0; i < 4; ++i) widths[i] = std::max(0, parsed[i]);
        return true;
    }
    if (name == "key" || name == "alpha") return true;
    return CSkinImgFrame::SetAttribute(name, value);
}

namespace {

using SkinCreator = std::function<std::unique_ptr<CSkinBase>()>;

std::map<std::string, SkinCreator>& SkinKinds()
{
    static std::map<std::string, SkinCreator> kinds = {
        {"imglst", [] { return std::unique_ptr<CSkinBase>(new CSkinImageList()); }},
        {"imgframe", [] { return std::unique_ptr<CSkinBase>(new CSkinImgFrame()); }},
        {"button", [] { return std::unique_ptr<CSkinBase>(new CSkinButton()); }},
        {"gradation", [] { return std::unique_ptr<CSkinBase>(new CSkinGradation()); }},
        {"border", [] { return std::unique_ptr<CSkinBase>(new CSkinBorder()); }},
        {"scrollbar", [] { return std::unique_ptr<CSkinBase>(new CSkinScrollBar()); }},
    };
    return kinds;
}

}  // namespace

std::unique_ptr<CSkinBase> CreateSkin(const std::string& tag)
{
    auto found = SkinKinds().find(tag);
    return found == SkinKinds().end() || !found->second ? nullptr : found->second();
}

void RegisterSkinKind(const std::string& tag, SkinCreator creator)
{
    SkinKinds()[tag] = std::move(creator);
}

}  // namespace SkinEngine
