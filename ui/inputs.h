#pragma once
// Controls that take a value from the user: the slider (`sliderbar`), the
// hot key field (`hotkey`) and the combo box (`combobox`). Each announces a
// value the user gave it to screen readers and sends it as
// kNotifyValueChange.
#include "ui/control.h"
#include "ui/native.h"

#include <string>

namespace SkinEngine {

void RegisterInputControls(ControlFactory& factory);

// `sliderbar`: a value between `min` and `max` (`value`), set by pressing
// on the track, dragging the thumb, and by the keys: Left and Up a `step`
// (1) down, Right and Down one up, Page Up and Page Down a tenth of the
// range, Home and End the ends. `bgskin` draws the track, `posskin` the part
// left of the thumb, `thumbskin` the thumb at its natural size (without
// one, a bar `thumbwidth` (9) wide in the text colour).
class CSkinSlider : public CSkinProgress {
public:
    bool Focusable() const override { return true; }
    // The value whose thumb is centred at `x`, in the range.
    int ValueAt(int x, const SkinContext& ctx) const;
    void OnMouseDown(POINT pt, ISkinHost& host) override;
    void OnMouseMove(POINT pt, ISkinHost& host) override;
    bool OnKeyDown(UINT vk, ISkinHost& host) override;
    // A slider whose value is its number.
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

private:
    SkinRect ThumbRect(const SkinContext& ctx) const;
    void MoveTo(int value, ISkinHost& host);

    std::string m_thumbSkin;
    int m_step = 1;
    int m_thumbWidth = 9;
};

// `hotkey`: takes the key pressed on it with Ctrl, Shift and Alt as held
// and shows the combination ("Ctrl+Shift+K"), else its text. Backspace or
// Delete alone clear it; Enter and Esc stay the dialog's.
class CSkinHotKey : public CSkinControl {
public:
    // The key in the low byte, HOTKEYF_* bits in the high byte; 0 for none.
    WORD HotKey() const { return m_hotKey; }
    void SetHotKey(WORD hotKey);
    std::wstring KeyText() const;  // empty for none
    bool Focusable() const override { return true; }
    void OnMouseDown(POINT pt, ISkinHost& host) override;
    bool OnKeyDown(UINT vk, ISkinHost& host) override;
    // A hot key field whose value is the combination.
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

private:
    WORD m_hotKey = 0;
};

// `combobox`: an edit box with a button at its right (`btnskin`: 0 normal,
// 1 hovered, 2 pressed; as wide as the control is high) that drops its
// items down in a popup menu (ui/menu.h) drawn with `dropskin` and
// `dropitemskin`. Choosing an item there, or with Up and Down in the box,
// puts its text in the box; F4 and Alt+Down drop the list. `cursel` chooses
// an item at start; `font`, `crtext`, `crbg` and `inset` style the box.
class CSkinComboBox : public CSkinControl {
public:
    CSkinComboBox();
    int ItemCount() const { return static_cast<int>(Children().size()) - 1; }
    std::wstring ItemText(int index) const;
    int CurSel() const { return m_curSel; }  // -1 for none
    // Chooses item `index` (none when out of range); announced, not sent.
    void SetCurSel(int index);
    CSkinEdit& Edit() const { return *m_edit; }
    SkinRect ButtonRect() const;

    void OnClick(POINT pt, ISkinHost& host) override;
    bool OnKeyDown(UINT vk, ISkinHost& host) override;
    // A combo box whose value is the box's text, the box its part.
    void DescribeForAccess(AccessibleDescription& out) const override;
    void AccessibleParts(std::vector<CSkinControl*>& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void OnLayout(const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
    // The items are data: only the box is drawn, and the box takes its own mouse.
    void PaintChildren(HDC hdc, const SkinContext& ctx) const override { m_edit->Paint(hdc, ctx); }
    CSkinControl* HitTestChildren(POINT) override { return nullptr; }

private:
    void Drop(ISkinHost& host);
    void Choose(int index, ISkinHost& host);

    CSkinEdit* m_edit;  // the first child
    int m_curSel = -1;
    int m_startSel = -1;  // `cursel`, taken at the first layout
    std::string m_btnSkin, m_dropSkin, m_dropItemSkin;
};

}  // namespace SkinEngine
