#pragma once
// Clickable controls of the skinned windows: push buttons, check boxes,
// radio buttons, links and the caption bar, plus the plain tags that need
// nothing beyond a container.
#include "ui/control.h"

namespace SkinEngine {

void RegisterButtonControls(ControlFactory& factory);

// Shared by the clickable controls: the text colour and font follow the
// mouse (`crhover`/`hoverfont`, `crpush`/`pushfont`, `crdisabled`), falling
// back to `crtext` and `font`.
class CSkinClickable : public CSkinControl {
public:
    SkinColor CurrentTextColor() const;
    const std::string& CurrentFont() const;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    // DrawLabel with the colour and font of the current state.
    void DrawStateLabel(HDC hdc, const SkinContext& ctx, const std::wstring& text, const SkinRect& rect) const;

    bool m_hasHoverColor = false, m_hasPushColor = false, m_hasDisabledColor = false;
    SkinColor m_crhover, m_crpush, m_crdisabled;
    std::string m_hoverFont, m_pushFont;
};

// `button`: a colour-button skin (CSkinButton) with its text centred. The
// skin gets the colour-button bits: 0x01 hovered, 0x02 pressed, 0x10 disabled.
class CSkinPushButton : public CSkinClickable {
public:
    CSkinPushButton();
    unsigned PaintState() const override;
    void OnClick(POINT pt, ISkinHost& host) override { NotifyClick(host); }
    bool Focusable() const override { return true; }
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
};

// `check`: a box drawn by its `skin` at the skin's natural size (a square
// of the control's height when the skin has none), vertically centred at
// the left, the text `sep` pixels (default 4) to its right. The skin is not
// stretched over the whole control, so `skin` is kept apart from the base's.
//
// Box state index: 0 unchecked, 1 unchecked hovered, 2 checked, 3 checked
// hovered (an image strip of four states); a disabled box draws 0 or 2.
// A `state` holding kControlChecked (4) checks it at start. A click toggles it, then sends kNotifyClick.
class CSkinCheck : public CSkinClickable {
public:
    void SetCheck(bool checked) { m_checked = checked; }
    const std::string& BoxSkin() const { return m_boxSkin; }
    unsigned PaintState() const override;
    SkinSize ContentSize(const SkinContext& ctx) const override;
    void OnClick(POINT pt, ISkinHost& host) override;
    // Where the box and the text go in the current rectangle.
    SkinRect BoxRect(const SkinContext& ctx) const;
    SkinRect LabelRect(const SkinContext& ctx) const;
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
    SkinSize BoxSize(const SkinContext& ctx) const;

    std::string m_boxSkin;
    int m_sep = 4;
};

// `radio`: drawn like a check box with the same state indexes. A click
// selects it and clears every other radio of the same parent, then sends
// kNotifyClick (also when it was selected already).
class CSkinRadio : public CSkinCheck {
public:
    // Selects this radio and clears its siblings; no notification.
    void Select();
    void OnClick(POINT pt, ISkinHost& host) override;
    void DescribeForAccess(AccessibleDescription& out) const override;
};

// `togglectrl`: a button that stays pushed in or out, its `skin` over the
// whole control with the check box's state indexes (0 out, 1 out hovered,
// 2 in, 3 in hovered) and its text centred. A click, or Space with the
// focus on it, toggles it and sends kNotifyClick.
class CSkinToggle : public CSkinCheck {
public:
    CSkinToggle();
    bool Focusable() const override { return true; }
    // The skin's natural size, else the text's.
    SkinSize ContentSize(const SkinContext& ctx) const override;
    // A push button, pressed while pushed in.
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
};

// `link`: text with the hand cursor; a click sends kNotifyClick.
class CSkinLink : public CSkinClickable {
public:
    CSkinLink();
    void OnClick(POINT pt, ISkinHost& host) override { NotifyClick(host); }
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
};

// `caption`: a container that drags the window. Text, images and plain
// containers inside it do not take the mouse, so the window drags by them
// too; buttons and other controls inside it keep the mouse.
class CSkinCaption : public CSkinContainer {
public:
    LRESULT NcHitTest(POINT pt) const override;
    // Gives way to what it holds, texts included.
    void DescribeForAccess(AccessibleDescription& out) const override {}

protected:
    CSkinControl* HitTestChildren(POINT pt) override;
};

}  // namespace SkinEngine
