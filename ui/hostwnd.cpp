#include "ui/hostwnd.h"

#include "base/log.h"
#include "ui/native.h"
#include "ui/wndthunk.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>

namespace SkinEngine {

namespace {

const wchar_t kClassName[] = L"SkinHostWnd";

POINT PointOf(LPARAM lParam)
{
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

DWORD StyleOf(const LayerHeader& header)
{
    DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (header.resize) style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (header.appwin) style |= WS_SYSMENU | WS_MINIMIZEBOX;
    return style;
}

}  // namespace

SkinHostWnd::SkinHostWnd()
    : m_alive(std::make_shared<bool>(true)),
      m_accessTree([this] { return m_hwnd; }, [this] { return m_layer.Body(); }, [this] { return FocusedControl(); }),
      m_accessServer(m_accessTree)
{
    WatchControls(this, true);
}

SkinHostWnd::~SkinHostWnd()
{
    *m_alive = false;
    Destroy();
    WatchControls(this, false);
}

bool SkinHostWnd::RegisterWindowClass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &wc)) return true;
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ThunkWindowProc<SkinHostWnd, &SkinHostWnd::WindowMessage>;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
}

HWND SkinHostWnd::Create(const LayerDocument& doc, const ResourcePools& pools, DocumentSource& source, HWND owner,
                         DWORD style, ControlFactory& factory)
{
    if (m_hwnd || !RegisterWindowClass()) return nullptr;
    if (!m_layer.Build(doc, pools, source, factory)) return nullptr;
    const LayerHeader& header = m_layer.Header();
    ParseIntList(header.ncRect, m_ncBorder, 4);
    int minSize[2] = {0, 0};
    if (ParseIntList(header.minsize, minSize, 2)) m_minSize = SIZE{minSize[0], minSize[1]};

    DWORD exStyle = header.appwin ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    if (header.translucent) exStyle |= WS_EX_LAYERED;
    CreateWindowExW(exStyle, kClassName, Utf8ToWide(header.title).c_str(), style ? style : StyleOf(header),
                    CW_USEDEFAULT, CW_USEDEFAULT, header.width, header.height, owner, nullptr,
                    GetModuleHandleW(nullptr), this);
    if (!m_hwnd) {
        WriteLog("SkinHostWnd: window \"%s\" not created (%lu)", header.title.c_str(), GetLastError());
        return nullptr;
    }
    // A layered window shows nothing until told how to blend.
    if (header.translucent) SetLayeredWindowAttributes(m_hwnd, 0, 255, LWA_ALPHA);
    // The client area is the whole window (see WM_NCCALCSIZE), so this is the layer's size.
    SetWindowPos(m_hwnd, nullptr, 0, 0, header.width, header.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return m_hwnd;
}

void SkinHostWnd::CenterOver(HWND owner)
{
    RECT area, self;
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(m_hwnd, &self);
    const int width = self.right - self.left, height = self.bottom - self.top;
    SetWindowPos(m_hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinHostWnd::Destroy()
{
    if (m_hwnd) DestroyWindow(m_hwnd);
}

int SkinHostWnd::RunModal()
{
    if (!m_hwnd) return -1;
    HWND owner = GetWindow(m_hwnd, GW_OWNER);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    m_modal = true;
    m_modalResult = -1;
    std::shared_ptr<bool> alive = m_alive;
    ShowWindow(m_hwnd, SW_SHOW);
    MSG msg;
    while (*alive && m_modal && m_hwnd) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        if (PreTranslateMessage(msg) || TranslateKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (!*alive) return -1;
    m_modal = false;
    if (m_hwnd) ShowWindow(m_hwnd, SW_HIDE);
    if (owner) SetActiveWindow(owner);
    return m_modalResult;
}

void SkinHostWnd::EndModal(int code)
{
    m_modalResult = code;
    m_modal = false;
    if (m_hwnd) PostMessageW(m_hwnd, WM_NULL, 0, 0);  // wakes the loop
}

// --- Keyboard ---

namespace {

void CollectFocusable(CSkinControl& control, std::vector<CSkinControl*>& out)
{
    if (!control.Visible()) return;
    if (control.Focusable() && control.Enabled()) out.push_back(&control);
    for (const auto& child : control.Children()) CollectFocusable(*child, out);
}

CSkinControl* FindFlagged(CSkinControl& control, bool (CSkinControl::*flag)() const)
{
    if (!control.Visible()) return nullptr;
    if ((control.*flag)() && control.Enabled()) return &control;
    for (const auto& child : control.Children())
        if (CSkinControl* found = FindFlagged(*child, flag)) return found;
    return nullptr;
}

}  // namespace

std::vector<CSkinControl*> SkinHostWnd::FocusOrder() const
{
    std::vector<CSkinControl*> order;
    if (CSkinControl* body = m_layer.Body()) CollectFocusable(*body, order);
    return order;
}

CSkinControl* SkinHostWnd::FocusedControl() const
{
    const HWND focus = GetFocus();
    for (CSkinControl* c : FocusOrder())
        if (auto* edit = dynamic_cast<CSkinEdit*>(c))
            if (edit->Handle() && edit->Handle() == focus) return c;
    if (m_focus && focus == m_hwnd) {
        const std::vector<CSkinControl*> order = FocusOrder();
        if (std::find(order.begin(), order.end(), m_focus) != order.end()) return m_focus;
    }
    return nullptr;
}

void SkinHostWnd::SetFocusTo(CSkinControl* control)
{
    if (m_focus) Invalidate(m_focus->Rect());
    m_focus = nullptr;
    if (!control) return;
    if (auto* edit = dynamic_cast<CSkinEdit*>(control)) {
        if (edit->Handle()) {
            SetFocus(edit->Handle());
            SendMessageW(edit->Handle(), EM_SETSEL, 0, -1);
            m_accessServer.Raise(EVENT_OBJECT_FOCUS, control);
        }
        return;
    }
    m_focus = control;
    SetFocus(m_hwnd);
    Invalidate(control->Rect());
    m_accessServer.Raise(EVENT_OBJECT_FOCUS, control);
}

void SkinHostWnd::ClickByKey(CSkinControl* control)
{
    if (!control) return;
    const SkinRect& r = control->Rect();
    control->OnClick(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, *this);
}

bool SkinHostWnd::TranslateKey(const MSG& msg)
{
    const bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (!m_hwnd || !key || (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))) return false;
    CSkinControl* focused = FocusedControl();
    // An edit box's own keys stay native; a combo box round one still sees them.
    if (msg.wParam != VK_TAB)
        for (CSkinControl* c = focused; c; c = c->Parent())
            if (c->OnKeyDown(static_cast<UINT>(msg.wParam), *this)) return true;
    if (msg.message != WM_KEYDOWN) return false;
    switch (msg.wParam) {
    case VK_TAB: {
        const std::vector<CSkinControl*> order = FocusOrder();
        if (order.empty()) return true;
        const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        auto at = std::find(order.begin(), order.end(), focused);
        size_t index;
        if (at == order.end()) index = back ? order.size() - 1 : 0;
        else index = (static_cast<size_t>(at - order.begin()) + (back ? order.size() - 1 : 1)) % order.size();
        SetFocusTo(order[index]);
        return true;
    }
    case VK_RETURN: {
        // A box of several lines that takes returns keeps them.
        if (auto* edit = dynamic_cast<CSkinEdit*>(focused))
            if (edit->MultiLine()) return false;
        CSkinControl* target = m_layer.Body() ? FindFlagged(*m_layer.Body(), &CSkinControl::IsDefault) : nullptr;
        if (!target && focused && !dynamic_cast<CSkinEdit*>(focused)) target = focused;
        if (!target) return false;
        ClickByKey(target);
        return true;
    }
    case VK_ESCAPE: {
        CSkinControl* target = m_layer.Body() ? FindFlagged(*m_layer.Body(), &CSkinControl::IsCancel) : nullptr;
        if (!target) {
            CSkinControl* close = FindControl(1);
            if (close && close->IsShown() && close->Enabled()) target = close;
        }
        if (!target) return false;
        ClickByKey(target);
        return true;
    }
    case VK_SPACE:
        if (!focused || dynamic_cast<CSkinEdit*>(focused)) return false;
        ClickByKey(focused);
        return true;
    }
    return false;
}

// --- For application code ---

bool SkinHostWnd::SetControlText(int id, const std::wstring& text)
{
    CSkinControl* control = FindControl(id);
    if (!control) return false;
    control->SetText(text);
    Invalidate(control->Rect());
    return true;
}

bool SkinHostWnd::ShowControl(int id, bool visible)
{
    CSkinControl* control = FindControl(id);
    if (!control) return false;
    if (control->Visible() != visible) {
        control->SetVisible(visible);
        RequestLayout();
    }
    return true;
}

bool SkinHostWnd::SetSkinStateIndex(int id, unsigned index)
{
    CSkinControl* control = FindControl(id);
    if (!control) return false;
    control->SetSkinStateIndex(index);
    Invalidate(control->Rect());
    return true;
}

bool SkinHostWnd::SetProgress(int id, int value)
{
    auto* bar = FindAs<CSkinProgress>(id);
    if (!bar) return false;
    bar->SetValue(value);
    Invalidate(bar->Rect());
    return true;
}

void SkinHostWnd::Redraw()
{
    if (m_hwnd) RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// --- ISkinHost ---

LRESULT SkinHostWnd::SendNotify(SkinNotify& notify)
{
    if (!m_hwnd) return 0;
    return SendMessageW(m_hwnd, WM_NOTIFY, kEngineNotifyId, reinterpret_cast<LPARAM>(&notify));
}

void SkinHostWnd::Invalidate(const SkinRect& rect)
{
    if (!m_hwnd) return;
    const RECT r = ToRect<RECT>(rect);
    InvalidateRect(m_hwnd, &r, FALSE);
}

void SkinHostWnd::RequestLayout()
{
    m_layer.Layout(m_layer.Width(), m_layer.Height());
    // The control under the mouse may have been hidden.
    if (m_hover && !m_hover->IsShown()) {
        CSkinControl* gone = m_hover;
        m_hover = nullptr;
        gone->OnMouseLeave(*this);
    }
    if (m_hwnd) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void SkinHostWnd::StartTimer(CSkinControl* control, UINT ms)
{
    if (!m_hwnd || !control) return;
    // The control's address is the timer's identifier.
    if (::SetTimer(m_hwnd, reinterpret_cast<UINT_PTR>(control), std::max<UINT>(ms, USER_TIMER_MINIMUM), nullptr))
        m_timers.insert(control);
}

void SkinHostWnd::StopTimer(CSkinControl* control)
{
    if (m_timers.erase(control) && m_hwnd) ::KillTimer(m_hwnd, reinterpret_cast<UINT_PTR>(control));
}

void SkinHostWnd::ControlGone(CSkinControl* control)
{
    if (m_hover == control) m_hover = nullptr;
    if (m_pressed == control) m_pressed = nullptr;
    if (m_focus == control) m_focus = nullptr;
    StopTimer(control);
    m_accessTree.Forget(control);
}

void SkinHostWnd::ControlChanged(CSkinControl* control, unsigned what)
{
    // Every window hears of every control; only its own are its business.
    if (!m_hwnd || !control) return;
    const CSkinControl* top = control;
    while (top->Parent()) top = top->Parent();
    if (top != m_layer.Body() || !m_accessTree.Contains(control)) return;
    // An edit box's text is its value, not its name.
    const bool textIsValue = ControlAccessTree::DescribeControl(*control).role == ROLE_SYSTEM_TEXT;
    const DWORD event = what == kChangedValue || textIsValue ? EVENT_OBJECT_VALUECHANGE : EVENT_OBJECT_NAMECHANGE;
    m_accessServer.Raise(event, control);
}

// --- Messages ---

LRESULT SkinHostWnd::WindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) m_hwnd = hwnd;
    if (msg == WM_NCDESTROY) {
        m_hwnd = nullptr;
        m_modal = false;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return HandleMessage(msg, wParam, lParam);
}

LRESULT SkinHostWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY && wParam == kEngineNotifyId && lParam)
        return OnEngineNotify(*reinterpret_cast<const SkinNotify*>(lParam));
    using W = SkinHostWnd;
    static const MessageRoute<W> table[] = {
        {WM_CREATE, &W::AttachControls},
        {WM_DESTROY, &W::DetachControls},
        {WM_NCCALCSIZE, &W::ClientIsWholeWindow},
        {WM_NCACTIVATE, &W::KeepFrameUnpainted},
        {WM_NCHITTEST, &W::HitTestScreenPoint},
        {WM_GETMINMAXINFO, &W::LimitTrackingSize},
        {WM_SIZE, &W::LayOutAgain},
        {WM_ERASEBKGND, &W::SkipErase},
        {WM_PAINT, &W::Paint},
        {WM_SETCURSOR, &W::SetHoverCursor},
        {WM_MOUSEMOVE, &W::TrackMouse},
        {WM_MOUSELEAVE, &W::EndHover},
        {WM_LBUTTONDOWN, &W::Press},
        {WM_LBUTTONDBLCLK, &W::Press},
        {WM_LBUTTONUP, &W::Release},
        {WM_CAPTURECHANGED, &W::CancelPress},
        {WM_MOUSEWHEEL, &W::ScrollWheel},
        {WM_TIMER, &W::TickControl},
        {WM_SKIN_MESSAGE_FILTER, &W::RegisterFilter},
        {WM_GETOBJECT, &W::AnswerAccessible},
    };
    LRESULT result = 0;
    if (RouteMessage(table, *this, msg, wParam, lParam, result)) return result;
    return DefWindowProcW(m_hwnd, msg, wParam, lParam);
}

LRESULT SkinHostWnd::AttachControls(WPARAM, LPARAM)
{
    CreateTooltip();
    m_layer.Body()->Attach(*this);
    return 0;
}

LRESULT SkinHostWnd::DetachControls(WPARAM, LPARAM)
{
    for (CSkinControl* control : std::set<CSkinControl*>(m_timers)) StopTimer(control);
    m_layer.Body()->Detach();
    m_hover = m_pressed = nullptr;
    if (m_tooltip) DestroyWindow(m_tooltip);
    m_tooltip = nullptr;
    return 0;
}

// The skin draws the frame: the client area is the whole window.
LRESULT SkinHostWnd::ClientIsWholeWindow(WPARAM wParam, LPARAM lParam)
{
    return wParam ? 0 : DefWindowProcW(m_hwnd, WM_NCCALCSIZE, wParam, lParam);
}

// -1: no frame painting on activation changes.
LRESULT SkinHostWnd::KeepFrameUnpainted(WPARAM wParam, LPARAM)
{
    return DefWindowProcW(m_hwnd, WM_NCACTIVATE, wParam, -1);
}

LRESULT SkinHostWnd::HitTestScreenPoint(WPARAM, LPARAM lParam)
{
    POINT pt = PointOf(lParam);
    ScreenToClient(m_hwnd, &pt);
    return HitTestFrame(pt);
}

LRESULT SkinHostWnd::HitTestFrame(POINT pt) const
{
    RECT client;
    GetClientRect(m_hwnd, &client);
    if ((GetWindowLongW(m_hwnd, GWL_STYLE) & WS_THICKFRAME) && !IsZoomed(m_hwnd)) {
        const bool left = pt.x < m_ncBorder[0], top = pt.y < m_ncBorder[1];
        const bool right = pt.x >= client.right - m_ncBorder[2], bottom = pt.y >= client.bottom - m_ncBorder[3];
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
    }
    CSkinControl* body = m_layer.Body();
    for (CSkinControl* c = body ? body->HitTest(pt) : nullptr; c; c = c->Parent()) {
        const LRESULT where = c->NcHitTest(pt);
        if (where != HTCLIENT) return where;
    }
    return HTCLIENT;
}

LRESULT SkinHostWnd::LimitTrackingSize(WPARAM, LPARAM lParam)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (m_minSize.cx > 0) info->ptMinTrackSize.x = m_minSize.cx;
    if (m_minSize.cy > 0) info->ptMinTrackSize.y = m_minSize.cy;
    // A layer with `nomaxsize` is kept, maximised, to its monitor's work
    // area: a frameless window would otherwise cover the taskbar.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (m_layer.Header().nomaxsize && GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        info->ptMaxPosition.x = monitor.rcWork.left - monitor.rcMonitor.left;
        info->ptMaxPosition.y = monitor.rcWork.top - monitor.rcMonitor.top;
        info->ptMaxSize.x = monitor.rcWork.right - monitor.rcWork.left;
        info->ptMaxSize.y = monitor.rcWork.bottom - monitor.rcWork.top;
    }
    return 0;
}

LRESULT SkinHostWnd::LayOutAgain(WPARAM, LPARAM lParam)
{
    m_layer.Layout(LOWORD(lParam), HIWORD(lParam));
    InvalidateRect(m_hwnd, nullptr, FALSE);
    return 0;
}

// Painting covers everything.
LRESULT SkinHostWnd::SkipErase(WPARAM, LPARAM)
{
    return 1;
}

LRESULT SkinHostWnd::Paint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hwnd, &ps);
    RECT client;
    GetClientRect(m_hwnd, &client);
    const int width = client.right, height = client.bottom;
    if (width > 0 && height > 0) {
        if (!m_buffer || m_buffer->Width() != width || m_buffer->Height() != height)
            m_buffer = std::make_unique<CSkinDib>(width, height);
        if (m_buffer->ok()) {
            // Drawn in full off screen, then copied in one go: no flicker.
            FillRect(m_buffer->Dc(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            m_layer.Paint(m_buffer->Dc());
            // The button the keys moved to shows a dotted frame.
            if (m_focus && m_focus->IsShown() && GetFocus() == m_hwnd) {
                RECT r = ToRect<RECT>(m_focus->Rect());
                InflateRect(&r, -3, -3);
                DrawFocusRect(m_buffer->Dc(), &r);
            }
            BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
                   ps.rcPaint.bottom - ps.rcPaint.top, m_buffer->Dc(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
        }
    }
    EndPaint(m_hwnd, &ps);
    return 0;
}

LRESULT SkinHostWnd::TickControl(WPARAM wParam, LPARAM)
{
    auto* control = reinterpret_cast<CSkinControl*>(wParam);
    if (m_timers.count(control)) control->OnTimer(*this);
    return 0;
}

LRESULT SkinHostWnd::AnswerAccessible(WPARAM wParam, LPARAM lParam)
{
    if (const LRESULT answer = m_accessServer.Answer(wParam, lParam)) return answer;
    return DefWindowProcW(m_hwnd, WM_GETOBJECT, wParam, lParam);
}

LRESULT SkinHostWnd::RegisterFilter(WPARAM wParam, LPARAM lParam)
{
    auto* filter = reinterpret_cast<ISkinMessageFilter*>(lParam);
    if (!filter) return FALSE;
    auto found = std::find(m_filters.begin(), m_filters.end(), filter);
    if (wParam && found == m_filters.end()) m_filters.push_back(filter);
    if (!wParam && found != m_filters.end()) m_filters.erase(found);
    return TRUE;
}

bool SkinHostWnd::PreTranslateMessage(const MSG& msg)
{
    // A filter may remove itself (its window going away) while it runs.
    const std::vector<ISkinMessageFilter*> filters = m_filters;
    for (ISkinMessageFilter* filter : filters)
        if (std::find(m_filters.begin(), m_filters.end(), filter) != m_filters.end() && filter->FilterMessage(msg))
            return true;
    return false;
}

// --- Mouse ---

LRESULT SkinHostWnd::SetHoverCursor(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(lParam) == HTCLIENT && SetCursorForHover()) return TRUE;
    return DefWindowProcW(m_hwnd, WM_SETCURSOR, wParam, lParam);
}

bool SkinHostWnd::SetCursorForHover()
{
    for (CSkinControl* c = m_hover; c; c = c->Parent())
        if (HCURSOR cursor = c->Cursor()) {
            SetCursor(cursor);
            return true;
        }
    return false;
}

LRESULT SkinHostWnd::TrackMouse(WPARAM, LPARAM lParam)
{
    const POINT pt = PointOf(lParam);
    std::shared_ptr<bool> alive = m_alive;
    HoverAt(pt);
    // A pressed control follows the mouse wherever it goes (a thumb's drag).
    CSkinControl* target = m_pressed ? m_pressed : m_hover;
    if (*alive && target) target->OnMouseMove(pt, *this);
    return 0;
}

void SkinHostWnd::HoverAt(POINT pt)
{
    if (!m_trackingLeave) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, m_hwnd, 0};
        m_trackingLeave = TrackMouseEvent(&track) != FALSE;
    }
    CSkinControl* body = m_layer.Body();
    CSkinControl* now = body ? body->HitTest(pt) : nullptr;
    if (now == m_hover) return;
    std::shared_ptr<bool> alive = m_alive;
    CSkinControl* before = m_hover;
    m_hover = now;
    if (before) before->OnMouseLeave(*this);
    if (*alive && m_hover) m_hover->OnMouseEnter(*this);
    if (*alive) UpdateTooltip();
}

LRESULT SkinHostWnd::EndHover(WPARAM, LPARAM)
{
    m_trackingLeave = false;
    if (!m_hover) return 0;
    CSkinControl* before = m_hover;
    m_hover = nullptr;
    before->OnMouseLeave(*this);
    UpdateTooltip();
    return 0;
}

LRESULT SkinHostWnd::Press(WPARAM, LPARAM lParam)
{
    const POINT pt = PointOf(lParam);
    HoverAt(pt);
    if (!m_hover) return 0;
    m_pressed = m_hover;
    SetCapture(m_hwnd);
    m_pressed->OnMouseDown(pt, *this);
    return 0;
}

LRESULT SkinHostWnd::Release(WPARAM, LPARAM lParam)
{
    CSkinControl* pressed = m_pressed;
    m_pressed = nullptr;
    if (GetCapture() == m_hwnd) ReleaseCapture();
    // The click may close or destroy the window; nothing below needs it.
    if (pressed) pressed->OnMouseUp(PointOf(lParam), *this);
    return 0;
}

// Capture taken away mid-press: release without a click.
LRESULT SkinHostWnd::CancelPress(WPARAM, LPARAM lParam)
{
    if (m_pressed && reinterpret_cast<HWND>(lParam) != m_hwnd) {
        CSkinControl* pressed = m_pressed;
        m_pressed = nullptr;
        pressed->OnMouseUp(POINT{INT_MIN, INT_MIN}, *this);
    }
    return 0;
}

// The wheel's point is on the screen.
LRESULT SkinHostWnd::ScrollWheel(WPARAM wParam, LPARAM lParam)
{
    POINT pt = PointOf(lParam);
    ScreenToClient(m_hwnd, &pt);
    CSkinControl* body = m_layer.Body();
    for (CSkinControl* c = body ? body->HitTest(pt) : nullptr; c; c = c->Parent())
        if (c->OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam), *this)) break;
    return 0;
}

// --- Tips ---

void SkinHostWnd::CreateTooltip()
{
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    m_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!m_tooltip) return;
    // One tool for the whole window; its text follows the control under the mouse.
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hwnd);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_tooltip, TTM_ACTIVATE, FALSE, 0);
}

void SkinHostWnd::UpdateTooltip()
{
    if (!m_tooltip) return;
    const std::wstring tip = m_hover ? m_hover->Tip() : std::wstring();
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = m_hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hwnd);
    tool.lpszText = const_cast<wchar_t*>(tip.c_str());
    SendMessageW(m_tooltip, TTM_POP, 0, 0);
    SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_tooltip, TTM_ACTIVATE, tip.empty() ? FALSE : TRUE, 0);
}

}  // namespace SkinEngine
