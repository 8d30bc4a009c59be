#include "webpane/iectrl.h"

#include "base/log.h"
#include "base/textconv.h"

#include <exdispid.h>
#include <mshtml.h>
#include <shlwapi.h>

#include <memory>

using namespace SkinEngine;

namespace {

const wchar_t kWindowClass[] = L"PylonixIECtrl";
const UINT kForwardMessage = 0x037F;  // WM_FORWARDMSG

// The text of an event argument: a string, or a variant that holds one.
std::wstring ArgText(const VARIANTARG& arg)
{
    const VARIANT* value = &arg;
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) value = value->pvarVal;
    if (value->vt == VT_BSTR && value->bstrVal) return value->bstrVal;
    if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal && *value->pbstrVal) return *value->pbstrVal;
    return std::wstring();
}

IDispatch* ArgDispatch(const VARIANTARG& arg)
{
    if (arg.vt == VT_DISPATCH) return arg.pdispVal;
    if (arg.vt == (VT_BYREF | VT_DISPATCH) && arg.ppdispVal) return *arg.ppdispVal;
    return nullptr;
}

void SetCancel(VARIANTARG& arg, LRESULT reply)
{
    if (arg.vt == (VT_BYREF | VT_BOOL) && arg.pboolVal) *arg.pboolVal = LOWORD(reply) ? VARIANT_TRUE : VARIANT_FALSE;
}

bool RegisterWindowClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

void CIECtrlPropertySet::Read(const CSkinRealWnd& element)
{
    auto read = [&element](const char* name, int& value) {
        const std::string text = element.Extra(name);
        int parsed = 0;
        if (!text.empty() && StrToIntExA(text.c_str(), STIF_SUPPORT_HEX, &parsed)) value = parsed;
    };
    read("NoScrollBar", noScrollBar);
    read("NoContextMenu", noContextMenu);
}

CIECtrl::~CIECtrl()
{
    if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
}

HWND CIECtrl::Create(HWND parent, const RECT& rect, const std::wstring& url, DWORD style, DWORD exStyle, int id)
{
    if (m_hwnd || !RegisterWindowClass()) return nullptr;
    m_startUrl = url;
    HWND hwnd = CreateWindowExW(exStyle, kWindowClass, url.c_str(), (style ? style : kDefaultStyle) | WS_CLIPCHILDREN,
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    // The window is ours from here on: the rest of its life goes through HandleMessage.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CIECtrl::WindowProc));
    m_hwnd = hwnd;
    if (!OnCreate()) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!m_startUrl.empty()) Navigate(m_startUrl);
    return hwnd;
}

CIECtrl* CIECtrl::FromHandle(HWND hwnd)
{
    wchar_t name[64] = L"";
    if (!hwnd || !GetClassNameW(hwnd, name, 64) || lstrcmpW(name, kWindowClass) != 0) return nullptr;
    return reinterpret_cast<CIECtrl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

DWORD CIECtrl::DocHostFlags() const
{
    DWORD flags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_THEME;
    if (m_properties.noScrollBar) flags |= DOCHOSTUIFLAG_SCROLL_NO;
    return flags;
}

bool CIECtrl::OnCreate()
{
    // The window's thread is this one, so WM_DESTROY ends OLE here.
    HRESULT hr = m_embed.Create(CLSID_WebBrowser);
    if (FAILED(hr)) {
        WriteLog("browser pane: the web browser control could not be created (0x%08lx)\r\n",
                 static_cast<unsigned long>(hr));
        return false;
    }
    hr = m_embed.Activate(m_hwnd);
    if (SUCCEEDED(hr)) hr = m_embed.Object()->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser));
    if (FAILED(hr)) {
        WriteLog("browser pane: the web browser control could not be placed in its window (0x%08lx)\r\n",
                 static_cast<unsigned long>(hr));
        return false;  // WM_DESTROY releases what was made
    }
    m_sink = new CBrowserEvents(*this);
    hr = m_sink->Connect(m_browser);
    if (FAILED(hr)) WriteLog("browser pane: its events are not connected (0x%08lx)\r\n", static_cast<unsigned long>(hr));

    auto* handler = new CBrowserHostUIHandlerImpl(m_hwnd);
    m_embed.Site()->SetExternalUIHandler(handler);
    handler->Release();
    SendMessageW(GetParent(m_hwnd), WM_SKIN_MESSAGE_FILTER, 1, reinterpret_cast<LPARAM>(static_cast<ISkinMessageFilter*>(this)));
    // Script errors on a page must not raise dialogs over the program.
    m_browser->put_Silent(VARIANT_TRUE);
    Notify(kIENotifyCreate);
    WriteLog("browser pane: created, document flags 0x%lx\r\n", static_cast<unsigned long>(DocHostFlags()));
    return true;
}

void CIECtrl::OnDestroy()
{
    if (m_embed.Site()) m_embed.Site()->SetExternalUIHandler(nullptr);
    SendMessageW(GetParent(m_hwnd), WM_SKIN_MESSAGE_FILTER, 0, reinterpret_cast<LPARAM>(static_cast<ISkinMessageFilter*>(this)));
    if (m_browser) Notify(kIENotifyDestroy, nullptr, m_browser);
    if (m_sink) {
        m_sink->Disconnect();
        m_sink->Release();
        m_sink = nullptr;
    }
    if (m_browser) {
        m_browser->Release();
        m_browser = nullptr;
    }
    m_embed.Close();
    WriteLog("browser pane: destroyed, %ld of its objects still alive\r\n", BrowserObjectsAlive());
}

bool CIECtrl::Navigate(const std::wstring& url)
{
    if (!m_browser) return false;
    BSTR address = SysAllocString(url.c_str());
    VARIANT empty;
    VariantInit(&empty);
    const HRESULT hr = m_browser->Navigate(address, &empty, &empty, &empty, &empty);
    SysFreeString(address);
    if (FAILED(hr))
        WriteLog("browser pane: %s does not open (0x%08lx)\r\n", WideToAnsi(url).c_str(), static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

LRESULT CALLBACK CIECtrl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CIECtrl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return self->HandleMessage(msg, wParam, lParam);
}

LRESULT CIECtrl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_DESTROY: OnDestroy(); break;
    case WM_SIZE:
        m_embed.FitWindow();
        break;
    case WM_SETFOCUS: {
        const LRESULT result = DefWindowProcW(m_hwnd, msg, wParam, lParam);
        FocusDocument();
        return result;
    }
    case WM_BROWSER_HOST_FLAGS: return static_cast<LRESULT>(DocHostFlags());
    case kForwardMessage: {
        auto* forwarded = reinterpret_cast<MSG*>(lParam);
        IOleInPlaceActiveObject* active = m_embed.Site() ? m_embed.Site()->ActiveObject() : nullptr;
        return forwarded && active && active->TranslateAccelerator(forwarded) == S_OK;
    }
    case WM_ERASEBKGND:
        if (m_browser) return TRUE;  // the control paints the whole window
        break;
    }
    return DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

void CIECtrl::FocusDocument()
{
    if (!m_browser) return;
    IDispatch* document = nullptr;
    if (FAILED(m_browser->get_Document(&document)) || !document) return;
    IHTMLDocument2* html = nullptr;
    if (SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html)))) {
        IHTMLWindow2* window = nullptr;
        if (SUCCEEDED(html->get_parentWindow(&window)) && window) {
            window->focus();
            window->Release();
        }
        html->Release();
    }
    document->Release();
}

LRESULT CIECtrl::FilterMessage(const MSG& msg)
{
    const bool key = msg.message >= 256 && msg.message <= 265;
    const bool mouse = msg.message >= 512 && msg.message <= 526;
    if (!key && !mouse) return 0;
    if (msg.message == WM_RBUTTONDOWN && m_properties.noContextMenu) return 1;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && m_hwnd)
        SendMessageW(GetParent(m_hwnd), WM_KEYDOWN, msg.wParam, msg.lParam);
    if (!m_hwnd || (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))) return 0;
    HWND focus = GetFocus();
    if (focus != m_hwnd && !IsChild(m_hwnd, focus)) {
        RECT rect;
        GetWindowRect(m_hwnd, &rect);
        if (PtInRect(&rect, msg.pt)) SetFocus(m_hwnd);
    }
    return SendMessageW(m_hwnd, kForwardMessage, 0, reinterpret_cast<LPARAM>(&msg));
}

bool CIECtrl::IsTopLevel(IDispatch* browser) const
{
    if (!browser || !m_browser) return false;
    IUnknown* mine = nullptr;
    IUnknown* theirs = nullptr;
    m_browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&mine));
    browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&theirs));
    const bool same = mine && mine == theirs;
    if (mine) mine->Release();
    if (theirs) theirs->Release();
    return same;
}

LRESULT CIECtrl::Notify(UINT code, const wchar_t* text, IDispatch* browser)
{
    if (!m_hwnd) return 0;
    IECtrlNotify notify = {};
    notify.hdr.hwndFrom = m_hwnd;
    notify.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_hwnd));
    notify.hdr.code = code;
    notify.text = text;
    notify.browser = browser;
    return SendMessageW(GetParent(m_hwnd), WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
}

void CIECtrl::OnBrowserEvent(DISPID id, DISPPARAMS& params)
{
    VARIANTARG* args = params.rgvarg;  // last argument first
    const UINT count = params.cArgs;
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        if (count >= 7) {
            const std::wstring url = ArgText(args[5]);
            const LRESULT reply = Notify(kIENotifyBeforeNavigate, url.c_str());
            SetCancel(args[0], reply);
            WriteLog("browser pane: BeforeNavigate2 %s: %s\r\n", WideToAnsi(url).c_str(),
                     LOWORD(reply) ? "cancelled" : "allowed");
        }
        break;
    case DISPID_NEWWINDOW3:
        if (count >= 5) {
            const std::wstring url = ArgText(args[0]);
            SetCancel(args[3], Notify(kIENotifyNewWindow, url.c_str()));
        }
        break;
    case DISPID_DOCUMENTCOMPLETE:
    case DISPID_NAVIGATECOMPLETE2:
        if (count >= 2 && IsTopLevel(ArgDispatch(args[1]))) {
            const std::wstring url = ArgText(args[0]);
            const bool complete = id == DISPID_DOCUMENTCOMPLETE;
            Notify(complete ? kIENotifyDocumentComplete : kIENotifyNavigateComplete, url.c_str());
            WriteLog("browser pane: %s %s\r\n", complete ? "DocumentComplete" : "NavigateComplete2",
                     WideToAnsi(url).c_str());
            FocusDocument();
        }
        break;
    case DISPID_TITLECHANGE:
        if (count >= 1) {
            const std::wstring title = ArgText(args[0]);
            Notify(kIENotifyTitleChange, title.c_str());
        }
        break;
    case DISPID_COMMANDSTATECHANGE:
        if (count >= 2) {
            VARIANT command, enable;
            VariantInit(&command);
            VariantInit(&enable);
            if (SUCCEEDED(VariantChangeType(&command, &args[1], 0, VT_I4)) &&
                SUCCEEDED(VariantChangeType(&enable, &args[0], 0, VT_BOOL))) {
                if (command.lVal == CSC_NAVIGATEBACK) m_backEnabled = enable.boolVal != VARIANT_FALSE;
                if (command.lVal == CSC_NAVIGATEFORWARD) m_forwardEnabled = enable.boolVal != VARIANT_FALSE;
            }
        }
        break;
    default: break;  // the status text and the rest are not used
    }
}

void RegisterBrowserPane(const std::wstring& startPage)
{
    RegisterRealWndCreator("IECTRL", [startPage](CSkinRealWnd& element, HWND parent, const RECT& rect) -> HWND {
        auto pane = std::make_shared<CIECtrl>();
        pane->Properties().Read(element);
        const std::wstring& url = startPage.empty() ? element.WndName() : startPage;
        HWND hwnd = pane->Create(parent, rect, url, element.Style(), element.ExStyle(), element.Id());
        if (!hwnd) return nullptr;
        // Hidden until the page asks for it; the control lives as long as the element's window.
        element.SetVisible(false);
        ShowWindow(hwnd, SW_HIDE);
        element.KeepWithWindow(pane);
        return hwnd;
    });
}
