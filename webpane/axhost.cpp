#include "webpane/axhost.h"

#include "base/log.h"
#include "base/textconv.h"
#include "ui/native.h"
#include "webpane/browserhost.h"

#include <memory>

using namespace SkinEngine;

namespace {

const wchar_t kWindowClass[] = L"PylonixActiveXHost";

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* object = reinterpret_cast<COleEmbedding*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (object && msg == WM_SIZE) object->FitWindow();
    // The object goes while its window is still there.
    if (object && msg == WM_DESTROY) object->Close();
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterWindowClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HWND CreateHost(CSkinRealWnd& element, HWND parent, const RECT& rect)
{
    const std::wstring& name = element.WndClass();
    const std::string shown = WideToAnsi(name);
    CLSID clsid = {};
    HRESULT hr = name.empty() ? E_INVALIDARG
                 : name[0] == L'{' ? CLSIDFromString(const_cast<wchar_t*>(name.c_str()), &clsid)
                                   : CLSIDFromProgID(name.c_str(), &clsid);
    auto object = std::make_shared<COleEmbedding>();
    if (SUCCEEDED(hr)) hr = object->Create(clsid);
    if (FAILED(hr)) {
        WriteLog("activex host: %s is not installed (0x%08lx)\r\n", shown.c_str(), static_cast<unsigned long>(hr));
        return nullptr;
    }
    HWND hwnd = RegisterWindowClass()
                    ? CreateWindowExW(element.ExStyle(), kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                      rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(element.Id())),
                                      GetModuleHandleW(nullptr), nullptr)
                    : nullptr;
    if (!hwnd) return nullptr;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object.get()));
    hr = object->Activate(hwnd);
    if (FAILED(hr)) {
        WriteLog("activex host: %s could not be placed in its window (0x%08lx)\r\n", shown.c_str(),
                 static_cast<unsigned long>(hr));
        DestroyWindow(hwnd);
        return nullptr;
    }
    // The object lives as long as the element's window.
    element.KeepWithWindow(object);
    WriteLog("activex host: %s created\r\n", shown.c_str());
    return hwnd;
}

}  // namespace

void RegisterActiveXHost()
{
    RegisterRealWndCreator(kActiveXHostClass, CreateHost);
}
