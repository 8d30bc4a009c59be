#pragma once
// Controls of the skinned windows: a small retained tree built from layout
// markup. Each control class declares its attributes in a table of one line
// per attribute (name -> setter); an attribute a class does not know goes to
// its base class, and one nobody knows is ignored.
//
// Rectangles are in the coordinates of the layer's client area (not of the
// parent), so painting needs no offsets.
#include "ui/attrtable.h"
#include "ui/format.h"
#include "ui/skins.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace SkinEngine {

// What painting needs besides the control: the layer's skins by name and
// the face of font codes without one.
struct SkinContext {
    std::map<std::string, std::shared_ptr<CSkinBase>> skins;
    std::string defaultFace;  // UTF-8
    // Null for an empty or unknown name: the control goes without that skin.
    const CSkinBase* FindSkin(const std::string& name) const;
};

class CSkinControl;

// Notifications a window's controls send to the window, as WM_NOTIFY from
// control kEngineNotifyId carrying a SkinNotify.
enum : UINT {
    kNotifyClick = 1,       // a button was clicked
    kNotifyTabChange = 9,   // a tab control selected another page
    kNotifyRowClick = 15,   // a button inside a list row was clicked
    // A list, tree or combo box selected another item, a slider or scroll
    // bar moved, a hot key took another key: value is the new selection,
    // position or key (virtual key in the low byte, HOTKEYF_* bits above).
    kNotifyValueChange = 16,
};
const UINT_PTR kEngineNotifyId = 2000;

struct SkinNotify {
    NMHDR hdr;                      // idFrom kEngineNotifyId, code one of the above
    CSkinControl* control;          // the control it is about
    int id;                         // its identifier
    CSkinControl* row = nullptr;    // kNotifyRowClick: the row holding the control
    int rowIndex = -1;              // kNotifyRowClick: the row's position
    int value = 0;                  // kNotifyTabChange: the new selection
};

// What controls ask of the window they live in. The host window implements
// it; tests implement it to record what a control asked for.
class ISkinHost {
public:
    virtual ~ISkinHost() = default;
    // The native window, null while the tree is not shown in one.
    virtual HWND Window() const = 0;
    virtual const SkinContext& Context() const = 0;
    // Delivers a notification; its result is what the window answered.
    virtual LRESULT SendNotify(SkinNotify& notify) = 0;
    // The area needs painting again.
    virtual void Invalidate(const SkinRect& rect) = 0;
    // Sizes or visibility changed: lay the tree out again (and repaint).
    virtual void RequestLayout() = 0;
    // Calls the control's OnTimer every `ms` milliseconds until stopped.
    virtual void StartTimer(CSkinControl* control, UINT ms) = 0;
    virtual void StopTimer(CSkinControl* control) = 0;
    // Gives `control` the keyboard focus (a list clicked takes the keys);
    // hosts without keys ignore it.
    virtual void SetFocusTo(CSkinControl* control) {}

    LRESULT Notify(UINT code, CSkinControl* control, CSkinControl* row = nullptr, int rowIndex = -1,
                   int value = 0);
};

// Hosts keep pointers to controls (the one under the mouse, timers); a
// control that goes away (list rows deleted by code) tells them first.
class IControlWatcher {
public:
    virtual ~IControlWatcher() = default;
    virtual void ControlGone(CSkinControl* control) = 0;
    // What a screen reader reads of the control changed: its text (kChangedName)
    // or its value (kChangedValue). Hosts tell the clients of their own windows.
    virtual void ControlChanged(CSkinControl* control, unsigned what) {}
};
void WatchControls(IControlWatcher* watcher, bool watch);
enum : unsigned { kChangedName = 1, kChangedValue = 2 };

// What a control tells assistive technology (Active Accessibility) about
// itself. The engine adds what it knows of every control (a name when it
// has none, hidden, disabled, focused) and where it is on the screen.
struct AccessibleDescription {
    long role = 0;        // a ROLE_SYSTEM_* value; 0: no node of its own, its parts take its place
    std::wstring name;    // preset with the text, else the tip
    std::wstring value;   // empty: none
    unsigned state = 0;   // STATE_SYSTEM_* bits of its own (checked, selected, protected)
};

// What a screen reader calls a picture without text or tip: the application
// names the skins whose images show words or a state. Set at start-up, on
// the windows' thread.
void NameSkinForAccess(const std::string& skin, const std::wstring& name);

// Bits of a control's `state` attribute: how the control starts out. Not to
// be confused with its skin state index, the picture its skin draws.
enum ControlStateBits : unsigned {
    kControlChecked = 0x04,
    kControlHidden = 0x08,
};

class CSkinControl {
public:
    CSkinControl() = default;
    virtual ~CSkinControl();
    CSkinControl(const CSkinControl&) = delete;
    CSkinControl& operator=(const CSkinControl&) = delete;

    // False when neither the class nor its bases know the attribute.
    bool SetAttribute(const std::string& name, const std::string& value)
    {
        return ApplyAttribute(name, value);
    }

    // Places the control in `parent` (its parent's rectangle, or the slot its
    // container gives a control without a fixed position), then its children.
    // A fixed position resolves against `parent`; otherwise the control fills
    // the slot. Children without a fixed position are stacked top to bottom,
    // each the full width and as tall as its content; hidden ones take no room.
    void Layout(const SkinRect& parent, const SkinContext& ctx);

    // Background colour (`crbghover` while the mouse is over it), skin,
    // content (text), the children in order (clipped to the control with
    // `clipclient`), then the frame skin `ncskin` over all of it. Hidden
    // controls draw nothing, children included.
    void Paint(HDC hdc, const SkinContext& ctx) const;

    // The size a two-item position takes: the skin's state size, else the text's.
    virtual SkinSize ContentSize(const SkinContext& ctx) const;

    CSkinControl* FindById(int id);
    CSkinControl* AddChild(std::unique_ptr<CSkinControl> child);

    // --- Mouse and window ---
    // The innermost shown control under `pt` that takes the mouse (this one
    // included); null when `pt` is outside or the control is hidden.
    CSkinControl* HitTest(POINT pt);
    // Hovering and pressing, called by the host as the mouse moves over the
    // controls; each repaints what changed. A press followed by a release
    // inside the control is a click.
    virtual void OnMouseEnter(ISkinHost& host);
    virtual void OnMouseLeave(ISkinHost& host);
    virtual void OnMouseDown(POINT pt, ISkinHost& host);
    virtual void OnMouseUp(POINT pt, ISkinHost& host);
    // A click; plain controls ignore it.
    virtual void OnClick(POINT pt, ISkinHost& host) {}
    // The mouse moved over this control, or anywhere while this control is
    // pressed (the host captures the mouse for it): a scroll bar's drag.
    virtual void OnMouseMove(POINT pt, ISkinHost& host) {}
    // Sends kNotifyClick for this control, unless a container above it (a
    // list row's box) claims the click first.
    LRESULT NotifyClick(ISkinHost& host);
    // What the window frame should make of the mouse here (HTCLIENT, or
    // HTCAPTION for a caption).
    virtual LRESULT NcHitTest(POINT pt) const { return HTCLIENT; }
    // The `cursor` attribute's cursor, else null (the window's own).
    virtual HCURSOR Cursor() const;
    virtual void OnTimer(ISkinHost& host) {}
    // The wheel turned over this control (`delta` in WHEEL_DELTA units, up
    // positive); false passes it to the container above.
    virtual bool OnMouseWheel(int delta, ISkinHost& host) { return false; }
    // Called for the whole tree once the host's window exists, and before it
    // goes away; controls that own native windows create and destroy them here.
    virtual void Attach(ISkinHost& host);
    virtual void Detach();

    // Takes the keyboard focus (Tab and Shift+Tab stop at it): buttons and
    // edit boxes.
    virtual bool Focusable() const { return false; }
    // A key (WM_KEYDOWN or WM_SYSKEYDOWN) while this control, or one inside
    // it, has the focus; true when it was used. Tab never arrives here.
    virtual bool OnKeyDown(UINT vk, ISkinHost& host) { return false; }
    // `default="1"`: Enter clicks it; `cancel="1"`: Esc clicks it.
    bool IsDefault() const { return m_isDefault; }
    bool IsCancel() const { return m_isCancel; }

    // Shown itself and every container above it shown.
    bool IsShown() const;
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool Hovered() const { return m_hover; }
    bool Pressed() const { return m_pressed; }
    // The state index (image skins) or bits (colour buttons) painting passes
    // to the skin; by default SkinStateIndex().
    virtual unsigned PaintState() const { return m_skinStateIndex; }

    const std::string& Tag() const { return m_tag; }
    void SetTag(std::string tag) { m_tag = std::move(tag); }
    int Id() const { return m_id; }
    const std::string& Name() const { return m_name; }
    const PosValue& Pos() const { return m_pos; }
    const SkinRect& Rect() const { return m_rect; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool Checked() const { return m_checked; }
    const std::string& SkinName() const { return m_skin; }
    const std::string& NcSkinName() const { return m_ncSkin; }
    int MaxWidth() const { return m_maxWidth; }
    // The picture of an image-strip skin that code chose (a tab button
    // kept pushed); hover and press paint over it.
    unsigned SkinStateIndex() const { return m_skinStateIndex; }
    void SetSkinStateIndex(unsigned index) { m_skinStateIndex = index; }
    const std::wstring& Text() const { return m_text; }
    const std::wstring& Tip() const { return m_tip; }
    void SetText(const std::string& utf8);
    // Controls that show their text elsewhere (a native box) take it here.
    // A text that changes is announced to the watchers.
    virtual void SetText(std::wstring text);
    const std::string& Font() const { return m_font; }
    SkinColor TextColor() const { return m_crtext; }
    unsigned TextMode() const { return m_textMode; }
    int Data() const { return m_data; }
    CSkinControl* Parent() const { return m_parent; }
    const std::vector<std::unique_ptr<CSkinControl>>& Children() const { return m_children; }

    // --- Assistive technology ---
    // Fills in the role and what else the control says of itself; `out`
    // arrives with the engine's name preset. Plain controls are static text
    // when they hold text and otherwise give way to their parts.
    virtual void DescribeForAccess(AccessibleDescription& out) const;
    // The controls a screen reader finds inside this one, in reading order:
    // the children by default. Containers that keep controls of their own
    // (a tab control's headers, a list's rows) add those.
    virtual void AccessibleParts(std::vector<CSkinControl*>& out) const;
    // A control that keeps others as its items (a list's rows, a tree's
    // nodes) says what they are; asked for every control below it, nearest
    // first, after the control described itself. True when it answered.
    virtual bool DescribeItem(const CSkinControl& item, AccessibleDescription& out) const { return false; }

protected:
    // Tells the watchers that what a screen reader reads here changed.
    void AnnounceChange(unsigned what);

    // Children of the tree are hit in reverse painting order (the last drawn
    // is on top); containers with other children (list rows) override it.
    virtual CSkinControl* HitTestChildren(POINT pt);
    // A click on `origin`, somewhere below this control: true when this
    // control has dealt with it, so no plain click is sent.
    virtual bool OnChildClick(CSkinControl& origin, ISkinHost& host) { return false; }
    // Called at the end of Layout, when m_rect is final (native windows move).
    virtual void OnLayout(const SkinContext& ctx) {}
    // Makes `child` a child of `parent` without adding it to the tree, for
    // containers that keep children of their own (list rows).
    static void Adopt(CSkinControl& parent, CSkinControl& child) { child.m_parent = &parent; }

    // Each class tries its own table, then its base's.
    virtual bool ApplyAttribute(const std::string& name, const std::string& value);
    // Draws what lies between the skin and the children; the base draws the text.
    virtual void PaintContent(HDC hdc, const SkinContext& ctx) const;
    // The children in order; containers that clip or scroll override it.
    virtual void PaintChildren(HDC hdc, const SkinContext& ctx) const;

    // `text` in `rect` by the control's text mode, in its `font` and `crtext`
    // unless others are given (a button's hover colour).
    void DrawLabel(HDC hdc, const SkinContext& ctx, const std::wstring& text, const SkinRect& rect) const
    {
        DrawLabel(hdc, ctx, text, rect, m_font, m_crtext);
    }
    void DrawLabel(HDC hdc, const SkinContext& ctx, const std::wstring& text, const SkinRect& rect,
                   const std::string& font, SkinColor colour) const;
    // One line of `text`, as wide as it draws (`spacing` included) but no
    // wider than `maxwidth`.
    SkinSize TextSize(const SkinContext& ctx, const std::wstring& text) const;
    SkinRect TextRect() const;

    std::string m_tag;
    int m_id = 0;
    std::string m_name;
    PosValue m_pos;
    SkinRect m_rect;
    bool m_visible = true;
    bool m_checked = false;
    std::string m_skin;
    unsigned m_skinStateIndex = 0;
    std::wstring m_text;
    std::wstring m_tip;
    int m_data = 0;
    std::string m_font;
    SkinColor m_crtext;
    bool m_hasBg = false;
    SkinColor m_crbg;
    bool m_hasBgHover = false;
    SkinColor m_crbgHover;
    std::string m_ncSkin;
    int m_maxWidth = 0;        // 0: no limit; wider text ends in "..."
    bool m_clipClient = false;
    int m_charSpacing = 0;     // extra pixels between characters
    int m_lineSpacing = 0;     // extra pixels between lines of several
    bool m_dotted = false;     // a dotted line under the text
    bool m_isDefault = false;
    bool m_isCancel = false;
    unsigned m_textMode = kTextSingleLine;
    int m_xMargin = 0;
    int m_yMargin = 0;
    bool m_msgTransparent = false;
    SkinCursor m_cursor = SkinCursor::kNone;
    bool m_enabled = true;
    bool m_hover = false;
    bool m_pressed = false;

private:
    CSkinControl* m_parent = nullptr;
    std::vector<std::unique_ptr<CSkinControl>> m_children;
};

// `body`, `div`, `dlg`: plain containers (the base draws all they need).
class CSkinContainer : public CSkinControl {};

// `text`: a label; its text comes from the element's content.
class CSkinText : public CSkinControl {
public:
    void DescribeForAccess(AccessibleDescription& out) const override;
};

// `img`: a skin at its natural size.
class CSkinImg : public CSkinControl {
public:
    void DescribeForAccess(AccessibleDescription& out) const override;
};

// `imgbtn`: a button drawn from an image strip; the skin state is the button
// state (0 normal, 1 hover, 2 pushed, 3 disabled).
class CSkinImgButton : public CSkinControl {
public:
    bool Animate() const { return m_animate; }
    // Disabled 3, pressed 2, hovered 1 over a normal state, else the state
    // set by code (a tab button stays pushed at 2).
    unsigned PaintState() const override;
    void OnClick(POINT pt, ISkinHost& host) override { NotifyClick(host); }
    bool Focusable() const override { return true; }
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    bool m_animate = true;
};

// `progress`: `bgskin` over the whole rectangle, `posskin` over the part
// that `value` fills between `min` and `max`.
class CSkinProgress : public CSkinControl {
public:
    SkinSize ContentSize(const SkinContext& ctx) const override;
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    int Value() const { return m_value; }
    // A value that changes is announced to the watchers.
    void SetValue(int value);
    // The filled share of the range in whole percent, 0 to 100.
    int Percent() const;
    // A progress bar whose value is its percentage ("40%").
    void DescribeForAccess(AccessibleDescription& out) const override;
    // Width in pixels of the filled part of `width`; the value is clamped to
    // the range, and an empty or reversed range fills nothing.
    int FilledWidth(int width) const;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

    std::string m_bgSkin;
    std::string m_posSkin;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    bool m_showPercent = false;
};

using ControlCreator = std::function<std::unique_ptr<CSkinControl>()>;

// Tag -> control class. The application registers its own tags before any
// layout loads; a later registration of a tag replaces the earlier one.
class ControlFactory {
public:
    ControlFactory();  // with the engine's built-in tags
    void Register(const std::string& tag, ControlCreator creator);
    template <class T>
    void Register(const std::string& tag)
    {
        Register(tag, [] { return std::unique_ptr<CSkinControl>(new T()); });
    }
    bool Has(const std::string& tag) const { return m_creators.count(tag) != 0; }
    // A control of `tag` with its tag set; an unknown tag gives a plain
    // container, logged once per tag.
    std::unique_ptr<CSkinControl> Create(const std::string& tag);

private:
    std::map<std::string, ControlCreator> m_creators;
    std::set<std::string> m_unknownLogged;
};

// The engine's factory, living until the program ends.
ControlFactory& SkinControls();

}  // namespace SkinEngine
