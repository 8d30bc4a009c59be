#include "ui/buttons.h"

#include "ui/attrtable.h"

#include <algorithm>
#include <typeinfo>

#include <oleacc.h>

namespace SkinEngine {

namespace {

// A control that only shows something: inside a caption it lets the mouse
// through to the caption.
bool IsPassive(const CSkinControl& control)
{
    const std::type_info& type = typeid(control);
    return type == typeid(CSkinContainer) || type == typeid(CSkinText) || type == typeid(CSkinImg);
}

}  // namespace

void RegisterButtonControls(ControlFactory& factory)
{
    factory.Register<CSkinPushButton>("button");
    factory.Register<CSkinCheck>("check");
    factory.Register<CSkinRadio>("radio");
    factory.Register<CSkinToggle>("togglectrl");
    factory.Register<CSkinLink>("link");
    factory.Register<CSkinCaption>("caption");
    // Tags of the documents that need no behaviour of their own: containers,
    // spacers and rules drawn by their skin, an icon drawn like an image.
    for (const char* tag : {"spacing", "hr", "group", "dlgfile"})
        factory.Register<CSkinContainer>(tag);
    factory.Register<CSkinImg>("icon");
}

// --- CSkinClickable ---

bool CSkinClickable::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinClickable;
    static const AttrSetter<C> table[] = {
        {"crhover", [](C& c, const std::string& v) {
             c.m_crhover = ParseColor(v);
             c.m_hasHoverColor = true;
         }},
        {"crpush", [](C& c, const std::string& v) {
             c.m_crpush = ParseColor(v);
             c.m_hasPushColor = true;
         }},
        {"crdisabled", [](C& c, const std::string& v) {
             c.m_crdisabled = ParseColor(v);
             c.m_hasDisabledColor = true;
         }},
        {"hoverfont", [](C& c, const std::string& v) { c.m_hoverFont = v; }},
        {"pushfont", [](C& c, const std::string& v) { c.m_pushFont = v; }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

SkinColor CSkinClickable::CurrentTextColor() const
{
    if (!m_enabled) {
        if (m_hasDisabledColor) return m_crdisabled;
        return SkinColor{0x80, 0x80, 0x80};  // greyed like the system's disabled text
    }
    if (m_pressed && m_hasPushColor) return m_crpush;
    if (m_hover && m_hasHoverColor) return m_crhover;
    return m_crtext;
}

const std::string& CSkinClickable::CurrentFont() const
{
    if (m_enabled && m_pressed && !m_pushFont.empty()) return m_pushFont;
    if (m_enabled && m_hover && !m_hoverFont.empty()) return m_hoverFont;
    return m_font;
}

void CSkinClickable::DrawStateLabel(HDC hdc, const SkinContext& ctx, const std::wstring& text,
                                    const SkinRect& rect) const
{
    DrawLabel(hdc, ctx, text, rect, CurrentFont(), CurrentTextColor());
}

// --- CSkinPushButton ---

CSkinPushButton::CSkinPushButton()
{
    m_textMode = kTextCentre | kTextVCentre | kTextSingleLine;
}

unsigned CSkinPushButton::PaintState() const
{
    if (!m_enabled) return kButtonDisabled;
    unsigned bits = 0;
    if (m_hover) bits |= kButtonHover;
    if (m_pressed) bits |= kButtonPush;
    return bits;
}

void CSkinPushButton::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    DrawStateLabel(hdc, ctx, m_text, TextRect());
}

// --- CSkinCheck ---

bool CSkinCheck::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinCheck;
    static const AttrSetter<C> table[] = {
        {"skin", [](C& c, const std::string& v) { c.m_boxSkin = v; }},
        {"sep", [](C& c, const std::string& v) { c.m_sep = std::max(0, SkinIntOr(v, c.m_sep)); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinClickable::ApplyAttribute(name, value);
}

unsigned CSkinCheck::PaintState() const
{
    const unsigned hover = (m_enabled && (m_hover || m_pressed)) ? 1 : 0;
    return (m_checked ? 2 : 0) + hover;
}

SkinSize CSkinCheck::BoxSize(const SkinContext& ctx) const
{
    if (const CSkinBase* skin = ctx.FindSkin(m_boxSkin)) {
        const SIZE size = skin->GetSize();
        if (size.cx > 0 && size.cy > 0) return SkinSize{size.cx, size.cy};
        const int side = std::max(0, m_rect.Height());
        return SkinSize{side, side};
    }
    return SkinSize{};
}

SkinSize CSkinCheck::ContentSize(const SkinContext& ctx) const
{
    SkinSize box;
    if (const CSkinBase* skin = ctx.FindSkin(m_boxSkin)) {
        const SIZE size = skin->GetSize();
        box = SkinSize{std::max<int>(0, size.cx), std::max<int>(0, size.cy)};
    }
    const SkinSize text = TextSize(ctx, m_text);
    const int gap = box.cx > 0 && text.cx > 0 ? m_sep : 0;
    return SkinSize{box.cx + gap + text.cx, std::max(box.cy, text.cy)};
}

SkinRect CSkinCheck::BoxRect(const SkinContext& ctx) const
{
    const SkinSize box = BoxSize(ctx);
    const int width = std::min(box.cx, m_rect.Width());
    const int top = m_rect.top + (m_rect.Height() - box.cy) / 2;
    return SkinRect{m_rect.left, top, m_rect.left + width, top + box.cy};
}

SkinRect CSkinCheck::LabelRect(const SkinContext& ctx) const
{
    const int boxWidth = BoxSize(ctx).cx;
    SkinRect r = TextRect();
    if (boxWidth > 0) r.left = std::min(m_rect.right, std::max(r.left, m_rect.left + boxWidth + m_sep));
    if (r.right < r.left) r.right = r.left;
    return r;
}

void CSkinCheck::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    if (const CSkinBase* skin = ctx.FindSkin(m_boxSkin)) {
        const SkinRect box = BoxRect(ctx);
        if (box.Width() > 0 && box.Height() > 0) skin->Draw(hdc, ToRect<RECT>(box), PaintState());
    }
    DrawStateLabel(hdc, ctx, m_text, LabelRect(ctx));
}

void CSkinCheck::OnClick(POINT pt, ISkinHost& host)
{
    m_checked = !m_checked;
    host.Invalidate(m_rect);
    NotifyClick(host);
}

// --- CSkinRadio ---

void CSkinRadio::Select()
{
    if (CSkinControl* parent = Parent())
        for (const auto& sibling : parent->Children())
            if (auto* radio = dynamic_cast<CSkinRadio*>(sibling.get())) radio->SetCheck(false);
    m_checked = true;
}

void CSkinRadio::OnClick(POINT pt, ISkinHost& host)
{
    Select();
    host.Invalidate(Parent() ? Parent()->Rect() : m_rect);
    NotifyClick(host);
}

// --- CSkinToggle ---

CSkinToggle::CSkinToggle()
{
    m_textMode = kTextCentre | kTextVCentre | kTextSingleLine;
}

SkinSize CSkinToggle::ContentSize(const SkinContext& ctx) const
{
    const SkinSize box = BoxSize(ctx);
    return box.cx > 0 ? box : TextSize(ctx, m_text);
}

void CSkinToggle::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    if (const CSkinBase* skin = ctx.FindSkin(m_boxSkin)) skin->Draw(hdc, ToRect<RECT>(m_rect), PaintState());
    DrawStateLabel(hdc, ctx, m_text, TextRect());
}

// --- CSkinLink ---

CSkinLink::CSkinLink()
{
    m_cursor = SkinCursor::kHand;
}

void CSkinLink::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    DrawStateLabel(hdc, ctx, m_text, TextRect());
}

// --- CSkinCaption ---

CSkinControl* CSkinCaption::HitTestChildren(POINT pt)
{
    CSkinControl* hit = CSkinContainer::HitTestChildren(pt);
    return hit && !IsPassive(*hit) ? hit : nullptr;
}

LRESULT CSkinCaption::NcHitTest(POINT pt) const
{
    // Asked for a point a control inside takes, the caption leaves it to the client.
    CSkinControl* inner = const_cast<CSkinCaption*>(this)->HitTestChildren(pt);
    return inner ? HTCLIENT : HTCAPTION;
}

// --- Assistive technology ---

void CSkinPushButton::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_PUSHBUTTON;
}

void CSkinCheck::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_CHECKBUTTON;
    if (m_checked) out.state |= STATE_SYSTEM_CHECKED;
}

void CSkinRadio::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_RADIOBUTTON;
    if (m_checked) out.state |= STATE_SYSTEM_CHECKED;
}

void CSkinToggle::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_PUSHBUTTON;
    if (m_checked) out.state |= STATE_SYSTEM_PRESSED;
}

void CSkinLink::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_LINK;
}

}  // namespace SkinEngine
