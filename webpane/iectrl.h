#pragma once
// The embedded browser pane: a child window holding the web browser control
// (through the container of browserhost.h), made by the window engine for
// every `realwnd` of class "IECTRL". It passes the control's events to its
// parent as WM_NOTIFY and filters the thread's keys and mouse before they
// are dispatched, so the control can translate its accelerators.
#include "webpane/browserhost.h"
#include "ui/hostwnd.h"
#include "ui/native.h"

#include <string>

// The pane's options, read from the attributes of its `realwnd` element
// (decimal or 0x-prefixed hexadecimal; anything else keeps the default).
struct CIECtrlPropertySet {
    static const char* ClassName() { return "IECtrlPropertySet"; }
    int noScrollBar = 0;    // "NoScrollBar": non-zero, the document has no scroll bars
    int noContextMenu = 1;  // "NoContextMenu": non-zero, right-button presses are swallowed

    void Read(const SkinEngine::CSkinRealWnd& element);
};

// The notifications the pane sends its parent (WM_NOTIFY, from the pane's id).
enum IECtrlNotifyCode {
    kIENotifyBeforeNavigate = 100,   // text: the URL; the reply's low word cancels
    kIENotifyNewWindow = 101,        // text: the URL; the reply's low word cancels
    kIENotifyDocumentComplete = 102, // text: the URL (the top-level document only)
    kIENotifyDestroy = 103,          // browser: the control
    kIENotifyCreate = 104,
    kIENotifyTitleChange = 105,      // text: the title
    kIENotifyNavigateComplete = 106, // text: the URL (the top-level document only)
};

struct IECtrlNotify {
    NMHDR hdr;
    const wchar_t* text;
    IDispatch* browser;
};

class CIECtrl : public SkinEngine::ISkinMessageFilter, private IBrowserEventHandler {
public:
    static const DWORD kDefaultStyle = 0x56000000;  // child, visible, clip siblings and children

    CIECtrl() = default;
    ~CIECtrl() override;
    CIECtrl(const CIECtrl&) = delete;
    CIECtrl& operator=(const CIECtrl&) = delete;

    // The pane as a child of `parent` in `rect`, its control opening `url`;
    // `style` 0 is kDefaultStyle. Null (logged) when the window or the
    // control cannot be made.
    HWND Create(HWND parent, const RECT& rect, const std::wstring& url, DWORD style, DWORD exStyle, int id);
    // The pane behind a window handle (null for any other window).
    static CIECtrl* FromHandle(HWND hwnd);

    CIECtrlPropertySet& Properties() { return m_properties; }
    HWND Handle() const { return m_hwnd; }
    IWebBrowser2* Browser() const { return m_browser; }
    // The flags the document is shown with (DOCHOSTUIFLAG_*).
    DWORD DocHostFlags() const;
    DWORD SinkCookie() const { return m_sink ? m_sink->Cookie() : CBrowserEvents::kNotConnected; }
    bool BackEnabled() const { return m_backEnabled; }
    bool ForwardEnabled() const { return m_forwardEnabled; }

    bool Navigate(const std::wstring& url);

    // --- ISkinMessageFilter ---
    // Keys and mouse only: a right press is swallowed while NoContextMenu is
    // set, Esc also goes to the parent, and what is meant for the control's
    // windows is offered to it (WM_FORWARDMSG) after the focus has followed
    // the mouse into it.
    LRESULT FilterMessage(const MSG& msg) override;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnDestroy();
    void FocusDocument();
    void OnBrowserEvent(DISPID id, DISPPARAMS& params) override;
    LRESULT Notify(UINT code, const wchar_t* text = nullptr, IDispatch* browser = nullptr);
    bool IsTopLevel(IDispatch* browser) const;

    HWND m_hwnd = nullptr;
    std::wstring m_startUrl;
    CIECtrlPropertySet m_properties;
    COleEmbedding m_embed;  // the control, in this window
    IWebBrowser2* m_browser = nullptr;
    CBrowserEvents* m_sink = nullptr;
    bool m_backEnabled = false;
    bool m_forwardEnabled = false;
};

// Has the engine make a CIECtrl for every `realwnd` of class "IECTRL", opening
// `startPage`, or the element's `wndname` when it is empty.
void RegisterBrowserPane(const std::wstring& startPage);
