// SkinView LAYER OUT.png [--pools FOLDER] [--window | --hold]
//
// Renders a layer document to a PNG of the layer's size. With --window the
// layer is shown in its own window and the PNG is what the screen shows;
// --hold does the same and then keeps the window open until it is closed.
// LAYER is a file
// path, or a decimal document id read from the pools (FOLDER\<id>.xml with
// --pools, else the program's own resources). The pools (skins, styles,
// strings, object defaults) come from FOLDER, or from the resources.
#include "app/controls.h"
#include "ui/hostwnd.h"
#include "ui/layer.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace SkinEngine;

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: SkinView LAYER OUT.png [--pools FOLDER] [--window | --hold]\n");
    return 2;
}

bool IsNumber(const std::wstring& text)
{
    if (text.empty() || text.size() > 9) return false;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return true;
}

bool PngEncoder(CLSID& clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

bool SavePng(const CSkinDib& dib, const std::wstring& path)
{
    CLSID png;
    if (!PngEncoder(png)) return false;
    // GDI leaves the alpha bytes undefined: the picture is saved opaque.
    Gdiplus::Bitmap bitmap(dib.Width(), dib.Height(), dib.Width() * 4, PixelFormat32bppRGB,
                           reinterpret_cast<BYTE*>(dib.Bits()));
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

// Shows the window on top, lets it paint, and copies its client area from the screen.
std::unique_ptr<CSkinDib> FromScreen(HWND hwnd)
{
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd);
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 300) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    RECT client;
    GetClientRect(hwnd, &client);
    auto dib = std::make_unique<CSkinDib>(client.right, client.bottom);
    if (!dib->ok()) return nullptr;
    HDC screen = GetDC(hwnd);
    BitBlt(dib->Dc(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(hwnd, screen);
    GdiFlush();
    return dib;
}

int Run(const std::vector<std::wstring>& args)
{
    std::wstring layerArg, outPath, poolsFolder;
    bool inWindow = false, hold = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == L"--window") {
            inWindow = true;
        } else if (args[i] == L"--hold") {
            inWindow = hold = true;
        } else if (args[i] == L"--pools") {
            if (++i >= args.size()) return Usage();
            poolsFolder = args[i];
        } else if (layerArg.empty()) {
            layerArg = args[i];
        } else if (outPath.empty()) {
            outPath = args[i];
        } else {
            return Usage();
        }
    }
    if (layerArg.empty() || outPath.empty()) return Usage();

    CGdiplusSession gdiplus;
    if (!gdiplus.ok()) {
        std::fprintf(stderr, "SkinView: GDI+ did not start\n");
        return 1;
    }

    std::unique_ptr<DocumentSource> source;
    if (poolsFolder.empty())
        source = std::make_unique<ResourceSource>();
    else
        source = std::make_unique<FolderSource>(poolsFolder);

    ResourcePools pools;
    if (!pools.Load(*source))
        std::fprintf(stderr, "SkinView: the pools are incomplete; rendering with what loaded\n");

    std::string xml;
    const bool loaded = IsNumber(layerArg) ? source->Xml(static_cast<unsigned>(std::stoul(layerArg)), xml)
                                           : LoadFileBytes(layerArg, xml);
    if (!loaded) {
        std::fprintf(stderr, "SkinView: cannot read the layer document\n");
        return 1;
    }
    SkipUtf8Bom(xml);
    LayerDocument doc;
    if (!doc.Load(xml)) {
        std::fprintf(stderr, "SkinView: not a layer document\n");
        return 1;
    }

    RegisterApplicationControls(SkinControls());
    SkinHostWnd window;
    CSkinLayer offscreen;
    CSkinLayer& layer = inWindow ? window.Layer() : offscreen;
    const bool built = inWindow ? window.Create(doc, pools, *source) != nullptr : layer.Build(doc, pools, *source);
    if (!built) {
        std::fprintf(stderr, "SkinView: the layer could not be built\n");
        return 1;
    }
    std::unique_ptr<CSkinDib> dib = inWindow ? FromScreen(window.Window()) : layer.Render();
    if (!dib) {
        std::fprintf(stderr, "SkinView: layer size %d x %d cannot be rendered\n", layer.Width(), layer.Height());
        return 1;
    }
    if (!SavePng(*dib, outPath)) {
        std::fprintf(stderr, "SkinView: cannot write the PNG\n");
        return 1;
    }
    std::printf("%d x %d\n", layer.Width(), layer.Height());
    if (hold) {
        // The window stays for a person (or a script) to use until it is closed.
        std::fflush(stdout);
        MSG msg;
        while (IsWindow(window.Window()) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return Usage();
    std::vector<std::wstring> args(argv, argv + argc);
    LocalFree(argv);
    return Run(args);
}
