#pragma once
// The native window of a layer: a top-level window whose whole area is the
// layer's client area (no system frame is drawn), laid out again on every
// size change, painted through an off-screen bitmap, and the router of the
// mouse into the control tree. Application windows derive from it and
// override HandleMessage for what they answer themselves, the engine's
// WM_NOTIFY (from control kEngineNotifyId) first of all.
//
// Screen readers see the controls: WM_GETOBJECT for the client area
// answers with the control tree (ui/accessible.h), and the window raises
// the focus, name and value events of its controls as they change.
#include "base/messages.h"
#include "ui/accessible.h"
#include "ui/layer.h"

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace SkinEngine {

// Something in a window that must see the thread's messages before they are
// dispatched (an embedded browser translating its accelerators). Registered
// with the host window by sending it WM_SKIN_MESSAGE_FILTER: wParam 1 adds
// the filter in lParam, 0 removes it.
class ISkinMessageFilter {
public:
    virtual ~ISkinMessageFilter() = default;
    // Non-zero: the message was used and must not be dispatched.
    virtual LRESULT FilterMessage(const MSG& msg) = 0;
};

class SkinHostWnd : public ISkinHost, private IControlWatcher {
public:
    SkinHostWnd();
    ~SkinHostWnd() override;
    SkinHostWnd(const SkinHostWnd&) = delete;
    SkinHostWnd& operator=(const SkinHostWnd&) = delete;

    // Builds the layer and creates its window, hidden, at the layer's size
    // (client area = window). The style comes from the layer's `resize` and
    // `appwin` unless `style` is given; `translucent` makes it a layered
    // window. Null when the layer does not build or the window cannot be made.
    HWND Create(const LayerDocument& doc, const ResourcePools& pools, DocumentSource& source,
                HWND owner = nullptr, DWORD style = 0, ControlFactory& factory = SkinControls());
    // Shows the window and runs a message loop until EndModal; the owner is
    // disabled meanwhile. The result is EndModal's code, or -1 when the window
    // went away without it.
    int RunModal();
    void EndModal(int code);
    // Moves the window to the middle of `owner`, or of the work area.
    void CenterOver(HWND owner);
    void Destroy();

    // --- For application code ---
    CSkinLayer& Layer() { return m_layer; }
    CSkinControl* FindControl(int id) const { return m_layer.FindById(id); }
    template <class T>
    T* FindAs(int id) const
    {
        return dynamic_cast<T*>(FindControl(id));
    }
    // Each is false when there is no control `id`; all repaint.
    bool SetControlText(int id, const std::wstring& text);
    bool ShowControl(int id, bool visible);
    bool SetSkinStateIndex(int id, unsigned index);
    // Only for progress bars; false for any other control.
    bool SetProgress(int id, int value);
    void Redraw();
    // The control under the mouse and the one being pressed (null if none).
    CSkinControl* HoverControl() const { return m_hover; }
    CSkinControl* PressedControl() const { return m_pressed; }
    // The tooltip window showing the `tip` of the control under the mouse.
    HWND Tooltip() const { return m_tooltip; }

    // The registered filters in turn, before the message is dispatched; true
    // when one used it. The message loops of the window call it.
    bool PreTranslateMessage(const MSG& msg);
    size_t FilterCount() const { return m_filters.size(); }

    // --- Keyboard ---
    // The window's keys, for its message loop (RunModal calls it): Tab and
    // Shift+Tab move the focus through the shown, enabled edit boxes and
    // buttons in document order, round at both ends; Enter clicks the
    // `default` button, else the focused one (an edit box that takes
    // returns keeps its Enter); Esc clicks the `cancel` button, else the
    // caption's close button 1; Space clicks the focused button. Before
    // that, every key but Tab is offered to the focused control and then to
    // the controls round it (CSkinControl::OnKeyDown), Alt combinations
    // included. True when the key was used, and the message must not be
    // dispatched.
    bool TranslateKey(const MSG& msg);
    // The control with the focus: an edit box holding the system's focus,
    // else the button the keys last moved to (null if none).
    CSkinControl* FocusedControl() const;
    void SetFocusTo(CSkinControl* control) override;

    // --- Assistive technology ---
    ControlAccessTree& AccessTree() { return m_accessTree; }

    // --- ISkinHost ---
    HWND Window() const override { return m_hwnd; }
    const SkinContext& Context() const override { return m_layer.Context(); }
    LRESULT SendNotify(SkinNotify& notify) override;
    void Invalidate(const SkinRect& rect) override;
    void RequestLayout() override;
    void StartTimer(CSkinControl* control, UINT ms) override;
    void StopTimer(CSkinControl* control) override;

protected:
    // Everything the window receives. Derived windows handle what they need
    // and pass the rest here.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The controls' notifications (clicks, row clicks, tab changes), which
    // arrive as WM_NOTIFY from kEngineNotifyId.
    virtual LRESULT OnEngineNotify(const SkinNotify&) { return 0; }
    // Where a point of the client area lies for the frame: resizing borders
    // of `ncRect` (when the window is sizeable and not maximised), else what
    // the control under it says.
    LRESULT HitTestFrame(POINT client) const;

private:
    // From the window procedure: knows the handle from WM_NCCREATE until
    // WM_NCDESTROY and passes the messages between to HandleMessage.
    LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static bool RegisterWindowClass();

    // Handlers of HandleMessage's table, one a message.
    LRESULT AttachControls(WPARAM, LPARAM);
    LRESULT DetachControls(WPARAM, LPARAM);
    LRESULT ClientIsWholeWindow(WPARAM wParam, LPARAM lParam);
    LRESULT KeepFrameUnpainted(WPARAM wParam, LPARAM);
    LRESULT HitTestScreenPoint(WPARAM, LPARAM lParam);
    LRESULT LimitTrackingSize(WPARAM, LPARAM lParam);
    LRESULT LayOutAgain(WPARAM, LPARAM lParam);
    LRESULT SkipErase(WPARAM, LPARAM);
    LRESULT Paint(WPARAM, LPARAM);
    LRESULT SetHoverCursor(WPARAM wParam, LPARAM lParam);
    LRESULT TrackMouse(WPARAM, LPARAM lParam);
    LRESULT EndHover(WPARAM, LPARAM);
    LRESULT Press(WPARAM, LPARAM lParam);
    LRESULT Release(WPARAM, LPARAM lParam);
    LRESULT CancelPress(WPARAM, LPARAM lParam);
    LRESULT ScrollWheel(WPARAM wParam, LPARAM lParam);
    LRESULT TickControl(WPARAM wParam, LPARAM);
    LRESULT RegisterFilter(WPARAM wParam, LPARAM lParam);
    LRESULT AnswerAccessible(WPARAM wParam, LPARAM lParam);

    // The control under `pt` becomes the hovered one.
    void HoverAt(POINT pt);
    std::vector<CSkinControl*> FocusOrder() const;
    // A click as the mouse would make it, at the control's centre.
    void ClickByKey(CSkinControl* control);
    bool SetCursorForHover();
    void CreateTooltip();
    void UpdateTooltip();
    void ControlGone(CSkinControl* control) override;
    void ControlChanged(CSkinControl* control, unsigned what) override;

    HWND m_hwnd = nullptr;
    HWND m_tooltip = nullptr;
    CSkinLayer m_layer;
    int m_ncBorder[4] = {0, 0, 0, 0};  // left, top, right, bottom
    SIZE m_minSize = {0, 0};
    std::unique_ptr<CSkinDib> m_buffer;
    CSkinControl* m_hover = nullptr;
    CSkinControl* m_pressed = nullptr;
    CSkinControl* m_focus = nullptr;  // a button; edit boxes hold the system's focus
    bool m_trackingLeave = false;
    std::set<CSkinControl*> m_timers;
    std::vector<ISkinMessageFilter*> m_filters;
    bool m_modal = false;
    int m_modalResult = -1;
    // Set when the object is destroyed, so that a handler that destroyed its
    // own window (a close button) does not touch it afterwards.
    std::shared_ptr<bool> m_alive;
    ControlAccessTree m_accessTree;
    AccessibleServer m_accessServer;
};

}  // namespace SkinEngine
