#pragma once
// Controls that are native child windows of the host window: `realwnd`
// (any window class) and the text inputs `edit` and `richedit`. The child is
// created when the tree is attached to its window, follows the control's
// rectangle and visibility at every layout, and goes with Detach.
#include "ui/control.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace SkinEngine {

class CSkinRealWnd;

// Makes the native window of a `realwnd` whose class needs more than
// CreateWindowEx (an embedded browser): `parent` is the host window, `rect`
// the control's rectangle. Returns the window, or null when it failed.
using RealWndCreator = std::function<HWND(CSkinRealWnd& control, HWND parent, const RECT& rect)>;
// Registers (or with an empty creator removes) the creator for `wndclass`,
// compared without regard to case.
void RegisterRealWndCreator(const std::string& wndclass, RealWndCreator creator);

// `realwnd`: a native child window of class `wndclass` with text `wndname`,
// styled WS_CHILD | WS_CLIPSIBLINGS plus `style` and `exstyle` when given.
// Attributes the control does not know are kept for the window's creator.
class CSkinRealWnd : public CSkinControl {
public:
    ~CSkinRealWnd() override;

    HWND Handle() const { return m_hwnd; }
    const std::wstring& WndClass() const { return m_class; }
    const std::wstring& WndName() const { return m_wndName; }
    DWORD Style() const { return m_style; }
    DWORD ExStyle() const { return m_exStyle; }
    // An attribute of the element the control did not use (empty if absent).
    std::string Extra(const std::string& name) const;
    // An object a creator made for the window (the browser behind it): kept
    // until the window is destroyed, then released.
    void KeepWithWindow(std::shared_ptr<void> object) { m_kept = std::move(object); }
    const std::shared_ptr<void>& Kept() const { return m_kept; }

    // Creates the window (once); a class that does not exist is logged and
    // leaves the control without a window.
    void Attach(ISkinHost& host) override;
    // Destroys the window if it still exists.
    void Detach() override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void OnLayout(const SkinContext& ctx) override;
    // Where the native window sits inside the control's rectangle.
    virtual SkinRect WindowRect() const { return m_rect; }
    // The window itself; the base uses a registered creator or CreateWindowEx.
    virtual HWND CreateNative(HWND parent, const RECT& rect, const SkinContext& ctx);
    // Just before the window goes: derived controls save what they need.
    virtual void BeforeDestroy() {}

    std::string m_className;  // UTF-8, for the creators and the log
    std::wstring m_class;
    std::wstring m_wndName;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    HWND m_hwnd = nullptr;

private:
    std::vector<std::pair<std::string, std::string>> m_extra;
    std::shared_ptr<void> m_kept;
};

// `edit`, `richedit`: a native EDIT box. Single-line by default; `number`
// takes digits only, `multilines` or `wantreturn` make it multi-line with
// Enter starting a new line. `align` places the text, `inset` (left, top,
// right, bottom) keeps the box that far inside the control's rectangle, whose
// background `crbg` also colours the box. The text is the element's text
// until the box exists, then the box's own; it survives Detach.
class CSkinEdit : public CSkinRealWnd {
public:
    CSkinEdit();
    ~CSkinEdit() override;
    // Only while its box exists.
    bool Focusable() const override { return m_hwnd != nullptr; }

    std::wstring GetText() const;
    // Editable text named by its tip (or `name`), its text the value.
    void DescribeForAccess(AccessibleDescription& out) const override;
    // The box's text when it exists.
    using CSkinControl::SetText;
    void SetText(std::wstring text) override;

    bool Number() const { return m_number; }
    bool MultiLine() const { return m_multiline; }
    const SkinEdges& Inset() const { return m_inset; }

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    SkinRect WindowRect() const override;
    HWND CreateNative(HWND parent, const RECT& rect, const SkinContext& ctx) override;
    void BeforeDestroy() override;
    // Without a window (a rendering) the text is drawn; with one the box shows it.
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

private:
    static LRESULT CALLBACK ParentHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
    void FreeBrush();
    std::wstring BoxText() const;

    bool m_number = false;
    bool m_multiline = false;
    bool m_vscroll = false, m_hscroll = false;
    bool m_autoVScroll = false;
    int m_autoHScroll = -1;  // unset: on for a single line, off (word wrap) for several
    SkinEdges m_inset;
    HWND m_hookedParent = nullptr;
    HBRUSH m_brush = nullptr;
};

// The window class name under which the application registers the creator
// of ActiveX hosts (RegisterRealWndCreator): the engine itself knows no OLE.
extern const char kActiveXHostClass[];

// `activex`: an ActiveX object, named by `clsid` ("{…}") or `progid`, in a
// window the registered host creator makes for it; `flash` and
// `mediaplayer` name their player when neither is given. Without a host, or
// when the object is not installed, the control stays an empty framed box
// (logged) and screen readers find it unavailable.
class CSkinActiveX : public CSkinRealWnd {
public:
    explicit CSkinActiveX(const char* defaultObject = "");
    // The CLSID or ProgID to create.
    const std::string& Object() const { return m_className; }
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    HWND CreateNative(HWND parent, const RECT& rect, const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
};

void RegisterNativeControls(ControlFactory& factory);

}  // namespace SkinEngine
