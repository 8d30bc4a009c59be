#include "ui/inputs.h"

#include "ui/attrtable.h"
#include "ui/menu.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>

namespace SkinEngine {

void RegisterInputControls(ControlFactory& factory)
{
    factory.Register<CSkinSlider>("sliderbar");
    factory.Register<CSkinHotKey>("hotkey");
    factory.Register<CSkinComboBox>("combobox");
}

// --- CSkinSlider ---

bool CSkinSlider::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinSlider;
    static const AttrSetter<C> table[] = {
        {"thumbskin", [](C& c, const std::string& v) { c.m_thumbSkin = v; }},
        {"step", [](C& c, const std::string& v) { c.m_step = std::max(1, SkinIntOr(v, c.m_step)); }},
        {"thumbwidth", [](C& c, const std::string& v) { c.m_thumbWidth = std::max(1, SkinIntOr(v, c.m_thumbWidth)); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinProgress::ApplyAttribute(name, value);
}

SkinRect CSkinSlider::ThumbRect(const SkinContext& ctx) const
{
    const CSkinBase* skin = ctx.FindSkin(m_thumbSkin);
    const SIZE natural = skin ? skin->GetSize() : SIZE{0, 0};
    const int width = std::min<int>(natural.cx > 0 ? natural.cx : m_thumbWidth, std::max(0, m_rect.Width()));
    const int height = natural.cy > 0 ? std::min<int>(natural.cy, m_rect.Height()) : m_rect.Height();
    const int left = m_rect.left + FilledWidth(m_rect.Width() - width);
    const int top = m_rect.top + (m_rect.Height() - height) / 2;
    return SkinRect{left, top, left + width, top + height};
}

int CSkinSlider::ValueAt(int x, const SkinContext& ctx) const
{
    const int width = ThumbRect(ctx).Width();
    const int travel = m_rect.Width() - width;
    if (m_max <= m_min || travel <= 0) return m_min;
    const long long along = std::max(0, std::min(x - m_rect.left - width / 2, travel));
    return static_cast<int>(m_min + (along * (static_cast<long long>(m_max) - m_min) + travel / 2) / travel);
}

void CSkinSlider::MoveTo(int value, ISkinHost& host)
{
    const int clamped = m_max <= m_min ? m_min : std::max(m_min, std::min(value, m_max));
    if (clamped == m_value) return;
    SetValue(clamped);
    host.Invalidate(m_rect);
    host.Notify(kNotifyValueChange, this, nullptr, -1, clamped);
}

void CSkinSlider::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    host.SetFocusTo(this);
    if (m_enabled) MoveTo(ValueAt(pt.x, host.Context()), host);
}

void CSkinSlider::OnMouseMove(POINT pt, ISkinHost& host)
{
    if (m_pressed) MoveTo(ValueAt(pt.x, host.Context()), host);
}

bool CSkinSlider::OnKeyDown(UINT vk, ISkinHost& host)
{
    const int page = std::max(m_step, static_cast<int>((static_cast<long long>(m_max) - m_min) / 10));
    switch (vk) {
    case VK_LEFT:
    case VK_UP: MoveTo(m_value - m_step, host); return true;
    case VK_RIGHT:
    case VK_DOWN: MoveTo(m_value + m_step, host); return true;
    case VK_PRIOR: MoveTo(m_value - page, host); return true;
    case VK_NEXT: MoveTo(m_value + page, host); return true;
    case VK_HOME: MoveTo(m_min, host); return true;
    case VK_END: MoveTo(m_max, host); return true;
    }
    return false;
}

void CSkinSlider::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    const SkinRect thumb = ThumbRect(ctx);
    if (const CSkinBase* track = ctx.FindSkin(m_bgSkin)) track->Draw(hdc, ToRect<RECT>(m_rect), 0);
    if (const CSkinBase* filled = ctx.FindSkin(m_posSkin)) {
        const RECT part = {m_rect.left, m_rect.top, (thumb.left + thumb.right) / 2, m_rect.bottom};
        if (part.right > part.left) filled->Draw(hdc, part, 0);
    }
    const RECT r = ToRect<RECT>(thumb);
    if (const CSkinBase* skin = ctx.FindSkin(m_thumbSkin)) {
        skin->Draw(hdc, r, m_pressed ? 2 : m_hover ? 1 : 0);
    } else {
        HBRUSH brush = CreateSolidBrush(m_crtext.Ref());
        FillRect(hdc, &r, brush);
        DeleteObject(brush);
    }
    CSkinControl::PaintContent(hdc, ctx);
}

void CSkinSlider::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_SLIDER;
    out.value = std::to_wstring(m_value);
}

// --- CSkinHotKey ---

namespace {

bool Held(int vk)
{
    return (GetKeyState(vk) & 0x8000) != 0;
}

std::wstring KeyName(UINT vk)
{
    // The keys of the extended block have the extended bit in their scan code.
    const bool extended = (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE || vk == VK_DIVIDE;
    wchar_t name[64] = L"";
    if (GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(vk, 0) << 16 | (extended ? 1u << 24 : 0)), name, 64) > 0)
        return name;
    return L"#" + std::to_wstring(vk);
}

}  // namespace

void CSkinHotKey::SetHotKey(WORD hotKey)
{
    if (hotKey == m_hotKey) return;
    m_hotKey = hotKey;
    AnnounceChange(kChangedValue);
}

std::wstring CSkinHotKey::KeyText() const
{
    if (!m_hotKey) return std::wstring();
    const BYTE mods = HIBYTE(m_hotKey);
    std::wstring text;
    if (mods & HOTKEYF_CONTROL) text += L"Ctrl+";
    if (mods & HOTKEYF_SHIFT) text += L"Shift+";
    if (mods & HOTKEYF_ALT) text += L"Alt+";
    return text + KeyName(LOBYTE(m_hotKey));
}

void CSkinHotKey::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    host.SetFocusTo(this);
}

bool CSkinHotKey::OnKeyDown(UINT vk, ISkinHost& host)
{
    if (vk == VK_RETURN || vk == VK_ESCAPE || vk > 0xFF) return false;
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LWIN || vk == VK_RWIN) return true;
    const BYTE mods = static_cast<BYTE>((Held(VK_CONTROL) ? HOTKEYF_CONTROL : 0) |
                                        (Held(VK_SHIFT) ? HOTKEYF_SHIFT : 0) | (Held(VK_MENU) ? HOTKEYF_ALT : 0));
    const bool clear = !mods && (vk == VK_BACK || vk == VK_DELETE);
    const WORD before = m_hotKey;
    SetHotKey(clear ? 0 : MAKEWORD(vk, mods));
    if (m_hotKey != before) {
        host.Invalidate(m_rect);
        host.Notify(kNotifyValueChange, this, nullptr, -1, m_hotKey);
    }
    return true;
}

void CSkinHotKey::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    DrawLabel(hdc, ctx, m_hotKey ? KeyText() : m_text, TextRect());
}

void CSkinHotKey::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_HOTKEYFIELD;
    out.value = KeyText();
}

// --- CSkinComboBox ---

CSkinComboBox::CSkinComboBox()
{
    auto edit = std::make_unique<CSkinEdit>();
    edit->SetTag("edit");
    m_edit = static_cast<CSkinEdit*>(AddChild(std::move(edit)));
}

bool CSkinComboBox::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinComboBox;
    static const AttrSetter<C> table[] = {
        {"cursel", [](C& c, const std::string& v) { c.m_startSel = SkinIntOr(v, -1); }},
        {"btnskin", [](C& c, const std::string& v) { c.m_btnSkin = v; }},
        {"dropskin", [](C& c, const std::string& v) { c.m_dropSkin = v; }},
        {"dropitemskin", [](C& c, const std::string& v) { c.m_dropItemSkin = v; }},
    };
    if (name == "font" || name == "crtext" || name == "crbg" || name == "inset") m_edit->SetAttribute(name, value);
    if (name == "inset") return true;
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

std::wstring CSkinComboBox::ItemText(int index) const
{
    if (index < 0 || index >= ItemCount()) return std::wstring();
    return Children()[static_cast<size_t>(index) + 1]->Text();
}

void CSkinComboBox::SetCurSel(int index)
{
    m_curSel = index >= 0 && index < ItemCount() ? index : -1;
    m_edit->SetText(ItemText(m_curSel));
    AnnounceChange(kChangedValue);
}

void CSkinComboBox::Choose(int index, ISkinHost& host)
{
    if (index < 0 || index >= ItemCount() || index == m_curSel) return;
    SetCurSel(index);
    host.Invalidate(m_rect);
    host.Notify(kNotifyValueChange, this, nullptr, -1, index);
}

SkinRect CSkinComboBox::ButtonRect() const
{
    const int width = std::min(m_rect.Height(), m_rect.Width());
    return SkinRect{m_rect.right - width, m_rect.top, m_rect.right, m_rect.bottom};
}

void CSkinComboBox::OnLayout(const SkinContext& ctx)
{
    m_edit->Layout(SkinRect{m_rect.left, m_rect.top, ButtonRect().left, m_rect.bottom}, ctx);
    if (m_startSel >= 0) SetCurSel(m_startSel);
    m_startSel = -1;
}

void CSkinComboBox::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    if (const CSkinBase* button = ctx.FindSkin(m_btnSkin))
        button->Draw(hdc, ToRect<RECT>(ButtonRect()), m_pressed ? 2 : m_hover ? 1 : 0);
}

void CSkinComboBox::OnClick(POINT pt, ISkinHost& host)
{
    Drop(host);
}

void CSkinComboBox::Drop(ISkinHost& host)
{
    if (ItemCount() <= 0 || !host.Window()) return;
    SkinMenu menu;
    menu.itemSkin = m_dropItemSkin;
    menu.bgSkin = m_dropSkin;
    menu.itemHeight = std::max(16, m_rect.Height());
    menu.iconMargin = 0;
    menu.textMargin = 4;
    menu.minWidth = m_rect.Width();
    for (int i = 0; i < ItemCount() && menu.items.size() < SkinMenu::kMaxItems; ++i) {
        SkinMenuItem item;
        item.id = i + 1;
        item.text = ItemText(i);
        menu.items.push_back(item);
    }
    POINT below = {m_rect.left, m_rect.bottom};
    ClientToScreen(host.Window(), &below);
    const int chosen = TrackSkinMenu(menu, host.Context(), host.Window(), below, false);
    if (chosen > 0) Choose(chosen - 1, host);
}

bool CSkinComboBox::OnKeyDown(UINT vk, ISkinHost& host)
{
    const bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    if (vk == VK_F4 || (alt && vk == VK_DOWN)) {
        Drop(host);
        return true;
    }
    if (vk != VK_UP && vk != VK_DOWN) return false;
    Choose(m_curSel < 0 ? 0 : m_curSel + (vk == VK_UP ? -1 : 1), host);
    return true;
}

void CSkinComboBox::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_COMBOBOX;
    out.value = m_edit->GetText();
}

void CSkinComboBox::AccessibleParts(std::vector<CSkinControl*>& out) const
{
    out.push_back(m_edit);
}

}  // namespace SkinEngine
