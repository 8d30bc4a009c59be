#include "ui/native.h"

#include "base/log.h"
#include "ui/attrtable.h"
#include "ui/fonts.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <map>

namespace SkinEngine {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::map<std::string, RealWndCreator>& Creators()
{
    static std::map<std::string, RealWndCreator> creators;
    return creators;
}

}  // namespace

void RegisterRealWndCreator(const std::string& wndclass, RealWndCreator creator)
{
    if (creator)
        Creators()[Lower(wndclass)] = std::move(creator);
    else
        Creators().erase(Lower(wndclass));
}

// --- CSkinRealWnd ---

CSkinRealWnd::~CSkinRealWnd()
{
    if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
}

bool CSkinRealWnd::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinRealWnd;
    static const AttrSetter<C> table[] = {
        {"wndclass", [](C& c, const std::string& v) {
             c.m_className = v;
             c.m_class = Utf8ToWide(v);
         }},
        {"wndname", [](C& c, const std::string& v) { c.m_wndName = Utf8ToWide(v); }},
        {"style", [](C& c, const std::string& v) { c.m_style = static_cast<DWORD>(SkinIntOr(v, 0)); }},
        {"exstyle", [](C& c, const std::string& v) { c.m_exStyle = static_cast<DWORD>(SkinIntOr(v, 0)); }},
    };
    if (ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value)) return true;
    // Kept for the window's creator (an embedded browser reads its options).
    for (auto& extra : m_extra)
        if (extra.first == name) {
            extra.second = value;
            return true;
        }
    m_extra.emplace_back(name, value);
    return true;
}

std::string CSkinRealWnd::Extra(const std::string& name) const
{
    for (const auto& extra : m_extra)
        if (extra.first == name) return extra.second;
    return std::string();
}

HWND CSkinRealWnd::CreateNative(HWND parent, const RECT& rect, const SkinContext&)
{
    auto found = Creators().find(Lower(m_className));
    if (found != Creators().end()) return found->second(*this, parent, rect);
    // The window starts hidden and is shown by the layout that follows, so
    // a control under a hidden container never flashes up.
    const DWORD style = (m_style | WS_CHILD | WS_CLIPSIBLINGS) & ~static_cast<DWORD>(WS_VISIBLE | WS_POPUP);
    return CreateWindowExW(m_exStyle, m_class.c_str(), m_wndName.c_str(), style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_id)), GetModuleHandleW(nullptr), nullptr);
}

void CSkinRealWnd::Attach(ISkinHost& host)
{
    CSkinControl::Attach(host);
    HWND parent = host.Window();
    if (m_hwnd || !parent) return;
    if (m_class.empty()) {
        WriteLog("SkinEngine: %s %d has no window class", m_tag.c_str(), m_id);
        return;
    }
    m_hwnd = CreateNative(parent, ToRect<RECT>(WindowRect()), host.Context());
    if (!m_hwnd) {
        WriteLog("SkinEngine: %s %d: no window of class %s (error %lu)", m_tag.c_str(), m_id, m_className.c_str(),
                 GetLastError());
        return;
    }
    OnLayout(host.Context());
}

void CSkinRealWnd::Detach()
{
    if (m_hwnd) {
        BeforeDestroy();
        if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
    }
    m_kept.reset();
    CSkinControl::Detach();
}

void CSkinRealWnd::OnLayout(const SkinContext&)
{
    if (!m_hwnd || !IsWindow(m_hwnd)) return;
    const SkinRect r = WindowRect();
    const UINT show = IsShown() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
    SetWindowPos(m_hwnd, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE | show);
}

// --- CSkinEdit ---

CSkinEdit::CSkinEdit()
{
    m_className = "EDIT";
    m_class = L"EDIT";
}

CSkinEdit::~CSkinEdit()
{
    if (m_hwnd) {
        BeforeDestroy();
        if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
    }
    FreeBrush();
}

bool CSkinEdit::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinEdit;
    static const AttrSetter<C> table[] = {
        {"number", [](C& c, const std::string& v) { c.m_number = SkinIntOr(v, 0) != 0; }},
        {"multilines", [](C& c, const std::string& v) { c.m_multiline = c.m_multiline || SkinIntOr(v, 0) != 0; }},
        {"wantreturn", [](C& c, const std::string& v) { c.m_multiline = c.m_multiline || SkinIntOr(v, 0) != 0; }},
        {"vscrollbar", [](C& c, const std::string& v) { c.m_vscroll = SkinIntOr(v, 0) != 0; }},
        {"hscrollbar", [](C& c, const std::string& v) { c.m_hscroll = SkinIntOr(v, 0) != 0; }},
        {"autovscroll", [](C& c, const std::string& v) { c.m_autoVScroll = SkinIntOr(v, 0) != 0; }},
        {"autohscroll", [](C& c, const std::string& v) { c.m_autoHScroll = SkinIntOr(v, 0) != 0; }},
        {"inset", [](C& c, const std::string& v) { ParseEdges(v, c.m_inset); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinRealWnd::ApplyAttribute(name, value);
}

SkinRect CSkinEdit::WindowRect() const
{
    SkinRect r = m_rect;
    r.left = std::min(r.left + m_inset.left, r.right);
    r.top = std::min(r.top + m_inset.top, r.bottom);
    r.right = std::max(r.right - m_inset.right, r.left);
    r.bottom = std::max(r.bottom - m_inset.bottom, r.top);
    return r;
}

HWND CSkinEdit::CreateNative(HWND parent, const RECT& rect, const SkinContext& ctx)
{
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | m_style;
    style &= ~static_cast<DWORD>(WS_VISIBLE | WS_POPUP);
    if (m_number) style |= ES_NUMBER;
    if (m_multiline) style |= ES_MULTILINE | ES_WANTRETURN;
    if (m_multiline && m_autoVScroll) style |= ES_AUTOVSCROLL;
    if (m_autoHScroll > 0 || (m_autoHScroll < 0 && !m_multiline)) style |= ES_AUTOHSCROLL;
    if (m_vscroll) style |= WS_VSCROLL;
    if (m_hscroll) style |= WS_HSCROLL;
    if (m_textMode & kTextCentre)
        style |= ES_CENTER;
    else if (m_textMode & kTextRight)
        style |= ES_RIGHT;
    HWND edit = CreateWindowExW(m_exStyle, m_class.c_str(), m_text.c_str(), style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_id)), GetModuleHandleW(nullptr),
                                nullptr);
    if (!edit) return nullptr;
    if (HFONT font = SkinFonts().Get(m_font, ctx.defaultFace))
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The box asks its parent, the host window, for its colours and tells it
    // of changes: a hook on the parent answers for this box (and keeps the
    // control's text up to date) and passes everything on.
    if (SetWindowSubclass(parent, ParentHook, reinterpret_cast<UINT_PTR>(this), reinterpret_cast<DWORD_PTR>(this)))
        m_hookedParent = parent;
    FreeBrush();
    if (m_hasBg) m_brush = CreateSolidBrush(m_crbg.Ref());
    return edit;
}

LRESULT CALLBACK CSkinEdit::ParentHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    auto* edit = reinterpret_cast<CSkinEdit*>(self);
    if ((msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORSTATIC) && edit->m_brush &&
        reinterpret_cast<HWND>(lParam) == edit->m_hwnd) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, edit->m_crbg.Ref());
        SetTextColor(dc, edit->m_crtext.Ref());
        return reinterpret_cast<LRESULT>(edit->m_brush);
    }
    if (msg == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && edit->m_hwnd &&
        reinterpret_cast<HWND>(lParam) == edit->m_hwnd) {
        edit->m_text = edit->BoxText();
        edit->AnnounceChange(kChangedValue);  // typed or set by code
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void CSkinEdit::BeforeDestroy()
{
    if (m_hwnd && IsWindow(m_hwnd)) m_text = BoxText();
    if (m_hookedParent) {
        if (IsWindow(m_hookedParent))
            RemoveWindowSubclass(m_hookedParent, ParentHook, reinterpret_cast<UINT_PTR>(this));
        m_hookedParent = nullptr;
    }
}

void CSkinEdit::FreeBrush()
{
    if (m_brush) DeleteObject(m_brush);
    m_brush = nullptr;
}

std::wstring CSkinEdit::GetText() const
{
    if (!m_hwnd || !IsWindow(m_hwnd)) return m_text;
    return BoxText();
}

std::wstring CSkinEdit::BoxText() const
{
    const int length = GetWindowTextLengthW(m_hwnd);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(m_hwnd, &text[0], length + 1);
    text.resize(static_cast<size_t>(std::max(0, std::min(got, length))));
    return text;
}

void CSkinEdit::SetText(std::wstring text)
{
    m_text = std::move(text);
    // The box reports the change back (EN_CHANGE), which rewrites m_text
    // while the box still reads its copy.
    const std::wstring copy = m_text;
    if (m_hwnd && IsWindow(m_hwnd)) SetWindowTextW(m_hwnd, copy.c_str());
    else AnnounceChange(kChangedValue);
}

void CSkinEdit::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_TEXT;
    out.name = !m_tip.empty() ? m_tip : Utf8ToWide(m_name);
    const bool password = m_hwnd && (GetWindowLongW(m_hwnd, GWL_STYLE) & ES_PASSWORD);
    if (password) out.state |= STATE_SYSTEM_PROTECTED;
    else out.value = m_hwnd ? GetText() : m_text;
}

void CSkinEdit::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    if (m_hwnd) return;
    DrawLabel(hdc, ctx, m_text, WindowRect());
}

// --- CSkinActiveX ---

const char kActiveXHostClass[] = "ActiveXHost";

CSkinActiveX::CSkinActiveX(const char* defaultObject)
{
    m_className = defaultObject;
    m_class = Utf8ToWide(m_className);
}

bool CSkinActiveX::ApplyAttribute(const std::string& name, const std::string& value)
{
    // The object's name stands where a window's class would.
    if (name == "clsid" || (name == "progid" && (m_className.empty() || m_className[0] != '{')))
        return CSkinRealWnd::ApplyAttribute("wndclass", value);
    return CSkinRealWnd::ApplyAttribute(name, value);
}

HWND CSkinActiveX::CreateNative(HWND parent, const RECT& rect, const SkinContext&)
{
    auto host = Creators().find(Lower(kActiveXHostClass));
    if (host == Creators().end()) {
        WriteLog("SkinEngine: %s %d: no host for ActiveX objects", m_tag.c_str(), m_id);
        return nullptr;
    }
    return host->second(*this, parent, rect);
}

void CSkinActiveX::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    if (m_hwnd) return;  // the object draws itself
    const RECT r = ToRect<RECT>(m_rect);
    HBRUSH frame = CreateSolidBrush(RGB(0xA0, 0xA0, 0xA0));
    FrameRect(hdc, &r, frame);
    DeleteObject(frame);
    CSkinRealWnd::PaintContent(hdc, ctx);
}

void CSkinActiveX::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_CLIENT;
    if (!m_hwnd) out.state |= STATE_SYSTEM_UNAVAILABLE;
}

void RegisterNativeControls(ControlFactory& factory)
{
    factory.Register<CSkinRealWnd>("realwnd");
    factory.Register("activex", [] { return std::unique_ptr<CSkinControl>(new CSkinActiveX()); });
    factory.Register("flash", [] { return std::unique_ptr<CSkinControl>(new CSkinActiveX("ShockwaveFlash.ShockwaveFlash")); });
    factory.Register("mediaplayer", [] { return std::unique_ptr<CSkinControl>(new CSkinActiveX("WMPlayer.OCX")); });
    factory.Register<CSkinEdit>("edit");
    factory.Register<CSkinEdit>("richedit");
}

}  // namespace SkinEngine
