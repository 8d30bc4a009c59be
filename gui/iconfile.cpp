#include "gui/iconfile.h"

#include <stdint.h>

#include <vector>

namespace {

// A bitmap as bitmap-info header (with room for a palette) plus its bits.
struct DibImage {
    std::vector<uint8_t> header;
    std::vector<uint8_t> bits;
};

bool ReadDib(HDC dc, HBITMAP bitmap, WORD bitCount, DibImage* out)
{
    BITMAP info;
    if (!GetObjectW(bitmap, sizeof info, &info)) return false;
    size_t paletteEntries = bitCount <= 8 ? (1u << bitCount) : 0;
    out->header.assign(sizeof(BITMAPINFOHEADER) + paletteEntries * sizeof(RGBQUAD), 0);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(out->header.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = info.bmWidth;
    bih->biHeight = info.bmHeight;
    bih->biPlanes = 1;
    bih->biBitCount = bitCount;
    bih->biCompression = BI_RGB;
    size_t stride = ((static_cast<size_t>(info.bmWidth) * bitCount + 31) / 32) * 4;
    bih->biSizeImage = static_cast<DWORD>(stride * info.bmHeight);
    out->bits.assign(bih->biSizeImage, 0);
    return GetDIBits(dc, bitmap, 0, info.bmHeight, out->bits.data(),
                     reinterpret_cast<BITMAPINFO*>(out->header.data()), DIB_RGB_COLORS) != 0;
}

void Put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

} // namespace

bool WriteIconFile(HICON icon, const wchar_t* path)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return false;

    DibImage colour, mask;
    HDC dc = CreateCompatibleDC(nullptr);
    bool ok = info.hbmColor && info.hbmMask && ReadDib(dc, info.hbmColor, 32, &colour) &&
              ReadDib(dc, info.hbmMask, 1, &mask);
    DeleteDC(dc);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (!ok) return false;

    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(colour.header.data());
    // A colour-only icon's mask bitmap is twice as high; take its lower half.
    size_t maskSize = ((static_cast<size_t>(bih->biWidth) + 31) / 32) * 4 * bih->biHeight;
    if (mask.bits.size() > maskSize) mask.bits.resize(maskSize);

    std::vector<uint8_t> file;
    Put16(file, 0);  // reserved
    Put16(file, 1);  // type: icon
    Put16(file, 1);  // count
    file.push_back(static_cast<uint8_t>(bih->biWidth));
    file.push_back(static_cast<uint8_t>(bih->biHeight));
    Put16(file, static_cast<uint16_t>(bih->biPlanes * bih->biBitCount));
    Put16(file, 0);
    Put16(file, 0);
    Put32(file, static_cast<uint32_t>(colour.header.size() + colour.bits.size() + mask.bits.size()));
    Put32(file, 22);

    bih->biHeight *= 2;
    file.insert(file.end(), colour.header.begin(), colour.header.end());
    file.insert(file.end(), colour.bits.begin(), colour.bits.end());
    file.insert(file.end(), mask.bits.begin(), mask.bits.end());

    HANDLE handle = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool done = WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr) &&
                written == file.size();
    CloseHandle(handle);
    return done;
}
