#pragma once
// Skins: how images, frames, colour buttons and gradients are drawn.
//
// A skin is built from its XML element: the pool creates it by tag
// (CreateSkin), feeds it the element's attributes one by one
// (SetAttribute), loads the image its `src` names (imageRef) and hands it
// over with SetImage, which completes the fields that depend on the image.
// After that the skin only draws.
#include <windows.h>
#include <stdint.h>
#include <functional>
#include <memory>
#include <string>

struct IStream;

namespace SkinEngine {

// Starts GDI+ for the lifetime of the object; images load through it.
class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    bool ok() const { return m_token != 0; }

private:
    ULONG_PTR m_token = 0;
};

// A 32-bit top-down DIB section (null for empty or oversized requests);
// `bits` receives its pixels.
HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits);

// A 32-bit top-down DIB section owning its handle; pixels read 0xAARRGGBB.
class CSkinDib {
public:
    CSkinDib(int width, int height);
    ~CSkinDib();
    CSkinDib(const CSkinDib&) = delete;
    CSkinDib& operator=(const CSkinDib&) = delete;

    bool ok() const { return m_bits != nullptr; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    HDC Dc() const { return m_dc; }
    HBITMAP Bitmap() const { return m_bitmap; }
    uint32_t* Bits() const { return m_bits; }
    // 0xRRGGBB of one pixel (0 outside the bitmap); flushes pending drawing.
    uint32_t Pixel(int x, int y) const;

private:
    int m_width;
    int m_height;
    HBITMAP m_bitmap = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};

// A stream over a copy of `size` bytes (0 for an empty one to write into),
// for GDI+ to read or save an image; null when memory is short. Made with
// OLE: the shell's memory stream is exported by name only from Vista on.
IStream* NewMemoryStream(const void* data, size_t size);

// A decoded image kept as a 32-bit top-down DIB with premultiplied alpha,
// the form AlphaBlend takes, so every blit can carry an opacity.
class CSkinImage {
public:
    // PNG, BMP or GIF (first frame) bytes; null when GDI+ cannot decode them.
    static std::shared_ptr<CSkinImage> FromBytes(const void* data, size_t size);
    static std::shared_ptr<CSkinImage> FromFile(const std::wstring& path);
    // Pixels as 0xAARRGGBB with straight alpha, top row first.
    static std::shared_ptr<CSkinImage> FromPixels(int width, int height, const uint32_t* argb);

    ~CSkinImage();
    CSkinImage(const CSkinImage&) = delete;
    CSkinImage& operator=(const CSkinImage&) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    HBITMAP Bitmap() const { return m_bitmap; }

private:
    CSkinImage(HBITMAP bitmap, int width, int height)
        : m_bitmap(bitmap), m_width(width), m_height(height) {}
    static std::shared_ptr<CSkinImage> Create(int width, int height, uint32_t** bits);

    HBITMAP m_bitmap;
    int m_width;
    int m_height;
};

// `src` value: an image id, optionally ":" and a resource type. The id is an
// integer attribute (SkinIntOr); one that is not an integer reads 0.
struct ImageRef {
    unsigned id = 0;
    std::string type = "IMGX";
};
ImageRef ParseImageRef(const std::string& value);

// "RRGGBB" as a COLORREF; a pair holding a non-hexadecimal character is 0.
COLORREF ParseSkinColour(const std::string& value);

class CSkinBase {
public:
    virtual ~CSkinBase() = default;
    // False when the skin kind does not know the attribute (it is ignored).
    virtual bool SetAttribute(const std::string& name, const std::string& value);
    // `state` is a state index for image skins and a bit set for the colour
    // button; `opacity` (0..255) goes to every image blit.
    virtual void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const = 0;
    // Natural size of one state (image skins); zero for colour skins.
    virtual SIZE GetSize() const { return SIZE{0, 0}; }

    std::string name;
    std::string owner;  // loaded only with the layer of this title when set
};

// `imglst`: the states of a control side by side in one image.
class CSkinImageList : public CSkinBase {
public:
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const override;
    SIZE GetSize() const override;
    // Takes the image and completes the state width and count from it.
    void SetImage(std::shared_ptr<CSkinImage> image);
    // Decodes the image file's bytes and takes the image; false, and no
    // image, when they do not decode (or are empty). Animated kinds override
    // it to keep every frame.
    virtual bool LoadImageBytes(const std::string& bytes);
    const std::shared_ptr<CSkinImage>& Image() const { return m_image; }

    // As declared; zero when absent.
    ImageRef imageRef;
    int subwidth = 0;
    int states = 0;
    bool tile = false;

    // Completed by SetImage.
    int stateWidth = 0;
    int stateCount = 0;

protected:
    virtual void Complete();
    // The source rectangle of state `state` (clamped to the last state);
    // empty when the image cannot hold it.
    RECT StateRect(unsigned state) const;

    std::shared_ptr<CSkinImage> m_image;
};

// Part bits of a frame: which border bands are drawn.
enum : unsigned {
    kPartTop = 0x01,
    kPartBottom = 0x04,
    kPartLeft = 0x08,
    kPartRight = 0x20,
    kPartAll = 0x2F,
};
// "all", "top", "middle", "bottom", "left", "center", "right"; other names
// give kPartAll.
unsigned ParsePart(const std::string& value);

// `imgframe`: a nine-grid frame over one state of an image strip.
class CSkinImgFrame : public CSkinImageList {
public:
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const override;

    int left = 0, top = 0;
    int right = -1, bottom = -1;  // -1 until declared or completed
    bool hasFill = false;
    COLORREF fill = 0;
    unsigned part = kPartAll;

protected:
    void Complete() override;

private:
    bool m_rightDeclared = false, m_bottomDeclared = false;
};

// `border`: a frame whose `border` ("left,top,right,bottom") says how wide
// its edges are for what is drawn inside it (a menu's items). `key` and
// `alpha` are for skin editors and are not read.
class CSkinBorder : public CSkinImgFrame {
public:
    bool SetAttribute(const std::string& name, const std::string& value) override;
    // Negative values read as 0.
    int widths[4] = {0, 0, 0, 0};
};

// Colour button state bits.
enum : unsigned {
    kButtonHover = 0x01,
    kButtonPush = 0x02,
    kButtonDisabled = 0x10,
};

// `button`: a bordered button drawn from colours only.
class CSkinButton : public CSkinBase {
public:
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const override;

    COLORREF bg = RGB(0xEE, 0xEE, 0xEE);
    COLORREF border = RGB(0x70, 0x70, 0x70);
    COLORREF bgup = RGB(0xEE, 0xEE, 0xEE), bgdown = RGB(0xD6, 0xD6, 0xD6);
    COLORREF bguphover = RGB(0xEE, 0xEE, 0xEE), bgdownhover = RGB(0xE0, 0xE0, 0xE0);
    COLORREF bguppush = RGB(0xCE, 0xCE, 0xCE), bgdownpush = RGB(0xC0, 0xC0, 0xC0);
};

// `gradation`: a colour gradient, optionally only over the first `size` pixels.
class CSkinGradation : public CSkinBase {
public:
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const override;

    bool hasFrom = false, hasTo = false;  // no colour until declared
    COLORREF from = 0, to = 0;
    int size = 0;       // 0 = the whole destination
    bool vertical = false;
};

// The skin kind of a pool element's tag; null for tags drawn elsewhere.
std::unique_ptr<CSkinBase> CreateSkin(const std::string& tag);
// Adds (or replaces) a skin kind; the application registers its own before
// any layer loads.
void RegisterSkinKind(const std::string& tag, std::function<std::unique_ptr<CSkinBase>()> creator);

// A gradient between two colours over `rect`, top to bottom or left to right.
void FillGradient(HDC hdc, const RECT& rect, COLORREF from, COLORREF to, bool vertical);

}  // namespace SkinEngine
