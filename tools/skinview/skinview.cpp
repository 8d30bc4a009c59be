// SkinView DOCUMENT OUT.png [--pools FOLDER | --exe PROGRAM] [--size WxH] [--window | --hold]
//          [--show ID] [--hide ID] [--push ID] [--value ID=N] [--text ID=TEXT] [--page ID=N] ...
//
// Renders a window document (a layer, or the tray menu) to a PNG. With
// --window the window is shown and the PNG is what the screen shows; --hold
// does the same and then keeps the window open until it is closed.
//
// DOCUMENT is a file path, or a decimal document id. Ids and the pools
// (skins, styles, strings, object defaults, images) come from FOLDER
// (FOLDER\<id>.xml) with --pools, else from the resources of PROGRAM, by
// default the PylonixClient.exe beside SkinView. --size lays a layer out at
// another size than its own (a maximised window). --show, --hide, --push
// (picture 2 of a button's skin, as a selected tab button), --value (a
// progress bar), --text and --page (a tab control's page) put controls in
// the state code would, before the picture.
#include "gui/controls.h"
#include "ui/hostwnd.h"
#include "ui/layer.h"
#include "ui/menu.h"
#include "ui/tabctrl.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

using namespace SkinEngine;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: SkinView DOCUMENT OUT.png [--pools FOLDER | --exe PROGRAM] [--size WxH] [--window | --hold]\n"
                 "                [--show ID] [--hide ID] [--push ID] [--value ID=N] [--text ID=TEXT]\n"
                 "                [--page ID=N] ...\n");
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

// The program whose resources hold the documents: --exe, else the
// PylonixClient.exe beside this tool. Loaded as data only.
HMODULE LoadProgram(std::wstring path)
{
    if (path.empty()) {
        wchar_t self[MAX_PATH] = L"";
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        path = self;
        path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"PylonixClient.exe";
    }
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

bool ParseSize(const std::wstring& text, SIZE& size)
{
    return swscanf(text.c_str(), L"%ldx%ld", &size.cx, &size.cy) == 2 && size.cx > 0 && size.cy > 0;
}

// The skins every window shares (the menu's among them), without a window:
// those of a layer no skin is owned by.
SkinContext SharedSkins(const ResourcePools& pools, DocumentSource& source)
{
    LayerDocument empty;
    empty.Load("<layer title=\"\"><body/></layer>");
    CSkinLayer layer;
    layer.Build(empty, pools, source);
    return layer.Context();
}

std::unique_ptr<CSkinDib> RenderMenu(const SkinMenu& menu, const SkinContext& ctx)
{
    const SkinMenuLayout layout = LayoutSkinMenu(menu, ctx);
    auto dib = std::make_unique<CSkinDib>(layout.size.cx, layout.size.cy);
    if (!dib->ok()) return nullptr;
    std::fill(dib->Bits(), dib->Bits() + static_cast<size_t>(layout.size.cx) * layout.size.cy, 0xFFFFFFFF);
    PaintSkinMenu(dib->Dc(), menu, layout, ctx, -1);
    GdiFlush();
    return dib;
}

// The popup as the screen shows it: a timer inside the menu's own loop
// copies it and then dismisses it.
std::unique_ptr<CSkinDib> g_shot;
void CALLBACK ShootPopup(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND popup = FindWindowW(kSkinMenuClass, nullptr);
    if (popup) {
        g_shot = FromScreen(popup);
        SendMessageW(popup, WM_CANCELMODE, 0, 0);
    }
}

std::unique_ptr<CSkinDib> ShowMenu(const SkinMenu& menu, const SkinContext& ctx)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"SkinView", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ShowWindow(owner, SW_SHOW);
    SetForegroundWindow(owner);
    SetTimer(nullptr, 0, 200, ShootPopup);
    TrackSkinMenu(menu, ctx, owner, POINT{40, 40});
    DestroyWindow(owner);
    return std::move(g_shot);
}

// A control change asked for on the command line.
struct ControlChange {
    enum Kind { kShow, kHide, kPush, kValue, kText, kPage } kind;
    int id;
    int value;
    std::wstring text;
};

void Apply(const std::vector<ControlChange>& changes, CSkinLayer& layer)
{
    for (const ControlChange& change : changes) {
        CSkinControl* control = layer.FindById(change.id);
        if (!control) {
            std::fprintf(stderr, "SkinView: no control %d\n", change.id);
            continue;
        }
        switch (change.kind) {
        case ControlChange::kShow: control->SetVisible(true); break;
        case ControlChange::kHide: control->SetVisible(false); break;
        case ControlChange::kPush: control->SetSkinStateIndex(2); break;
        case ControlChange::kValue:
            if (auto* bar = dynamic_cast<CSkinProgress*>(control)) bar->SetValue(change.value);
            break;
        case ControlChange::kText: control->SetText(change.text); break;
        case ControlChange::kPage:
            if (auto* tabs = dynamic_cast<CSkinTabCtrl*>(control)) tabs->SelectTab(change.value);
            break;
        }
    }
    layer.Layout(layer.Width(), layer.Height());
}

bool ParseChange(const std::wstring& option, const std::wstring& value, ControlChange& change)
{
    change.value = 0;
    if (option == L"--text") {
        change.kind = ControlChange::kText;
        const size_t eq = value.find(L'=');
        if (eq == std::wstring::npos || swscanf(value.c_str(), L"%d", &change.id) != 1) return false;
        change.text = value.substr(eq + 1);
        return true;
    }
    if (option == L"--value" || option == L"--page") {
        change.kind = option == L"--page" ? ControlChange::kPage : ControlChange::kValue;
        return swscanf(value.c_str(), L"%d=%d", &change.id, &change.value) == 2;
    }
    change.kind = option == L"--show" ? ControlChange::kShow
                  : option == L"--hide" ? ControlChange::kHide : ControlChange::kPush;
    return swscanf(value.c_str(), L"%d", &change.id) == 1;
}

int Run(const std::vector<std::wstring>& args)
{
    std::vector<ControlChange> changes;
    std::wstring docArg, outPath, poolsFolder, programPath;
    bool inWindow = false, hold = false;
    SIZE size = {0, 0};
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == L"--window") {
            inWindow = true;
        } else if (args[i] == L"--hold") {
            inWindow = hold = true;
        } else if (args[i] == L"--show" || args[i] == L"--hide" || args[i] == L"--push" || args[i] == L"--value" ||
                   args[i] == L"--text" || args[i] == L"--page") {
            ControlChange change;
            if (i + 1 >= args.size() || !ParseChange(args[i], args[i + 1], change)) return Usage();
            changes.push_back(change);
            ++i;
        } else if (args[i] == L"--pools" || args[i] == L"--exe" || args[i] == L"--size") {
            if (i + 1 >= args.size()) return Usage();
            const std::wstring& value = args[++i];
            if (args[i - 1] == L"--pools") poolsFolder = value;
            else if (args[i - 1] == L"--exe") programPath = value;
            else if (!ParseSize(value, size)) return Usage();
        } else if (docArg.empty()) {
            docArg = args[i];
        } else if (outPath.empty()) {
            outPath = args[i];
        } else {
            return Usage();
        }
    }
    if (docArg.empty() || outPath.empty()) return Usage();

    CGdiplusSession gdiplus;
    if (!gdiplus.ok()) {
        std::fprintf(stderr, "SkinView: GDI+ did not start\n");
        return 1;
    }

    std::unique_ptr<DocumentSource> source;
    if (poolsFolder.empty()) {
        HMODULE program = LoadProgram(programPath);
        if (!program) {
            std::fprintf(stderr, "SkinView: cannot open the program's resources\n");
            return 1;
        }
        source = std::make_unique<ResourceSource>(program);
    } else {
        source = std::make_unique<FolderSource>(poolsFolder);
    }

    ResourcePools pools;
    if (!pools.Load(*source))
        std::fprintf(stderr, "SkinView: the pools are incomplete; rendering with what loaded\n");

    std::string xml;
    const bool loaded = IsNumber(docArg) ? source->Xml(static_cast<unsigned>(std::stoul(docArg)), xml)
                                         : LoadFileBytes(docArg, xml);
    if (!loaded) {
        std::fprintf(stderr, "SkinView: cannot read the document\n");
        return 1;
    }
    SkipUtf8Bom(xml);
    RegisterApplicationControls(SkinControls());

    SkinMenu menu;
    std::unique_ptr<CSkinDib> dib;
    SkinHostWnd window;
    if (menu.Load(xml)) {
        const SkinContext ctx = SharedSkins(pools, *source);
        dib = inWindow ? ShowMenu(menu, ctx) : RenderMenu(menu, ctx);
        hold = false;
    } else {
        LayerDocument doc;
        if (!doc.Load(xml)) {
            std::fprintf(stderr, "SkinView: neither a layer nor a menu document\n");
            return 1;
        }
        CSkinLayer offscreen;
        CSkinLayer& layer = inWindow ? window.Layer() : offscreen;
        const bool built = inWindow ? window.Create(doc, pools, *source) != nullptr : layer.Build(doc, pools, *source);
        if (!built) {
            std::fprintf(stderr, "SkinView: the layer could not be built\n");
            return 1;
        }
        Apply(changes, layer);
        if (inWindow) window.Redraw();
        if (size.cx > 0) {
            if (inWindow)
                SetWindowPos(window.Window(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
            else
                layer.Layout(size.cx, size.cy);
        }
        dib = inWindow ? FromScreen(window.Window()) : layer.Render();
    }
    if (!dib) {
        std::fprintf(stderr, "SkinView: the document cannot be rendered\n");
        return 1;
    }
    if (!SavePng(*dib, outPath)) {
        std::fprintf(stderr, "SkinView: cannot write the PNG\n");
        return 1;
    }
    std::printf("%d x %d\n", dib->Width(), dib->Height());
    if (hold) {
        // The window stays for a person (or a script) to use until it is closed.
        std::fflush(stdout);
        MSG msg;
        while (IsWindow(window.Window()) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (window.TranslateKey(msg)) continue;
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
