#include "ui/scrollbar.h"

#include "ui/attrtable.h"

#include <oleacc.h>

#include <algorithm>
#include <climits>

namespace SkinEngine {

// --- CSkinScrollBar ---

bool CSkinScrollBar::SetAttribute(const std::string& name, const std::string& value)
{
    if (name == "magin") {
        magin = std::max(0, SkinIntOr(value, magin));
        return true;
    }
    return CSkinImageList::SetAttribute(name, value);
}

int CSkinScrollBar::PartSize() const
{
    return m_image ? m_image->Width() / 4 : 0;
}

void CSkinScrollBar::Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity) const
{
    DrawPart(hdc, ScrollPart::kTrack, state, dest);
}

void CSkinScrollBar::DrawPart(HDC hdc, ScrollPart part, unsigned state, const RECT& dest, bool vertical) const
{
    const int size = PartSize();
    const int row = static_cast<int>(part);
    if (size <= 0 || m_image->Height() < (row + 1) * size || dest.right <= dest.left || dest.bottom <= dest.top)
        return;
    const int sx = static_cast<int>(std::min(state, 3u)) * size, sy = row * size;
    HDC src = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(src, m_image->Bitmap());
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    auto blit = [&](int dx, int dy, int dw, int dh, int x, int y, int w, int h) {
        if (dw > 0 && dh > 0 && w > 0 && h > 0) AlphaBlend(hdc, dx, dy, dw, dh, src, x, y, w, h, blend);
    };
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    if (part == ScrollPart::kTrack || part == ScrollPart::kThumb) {
        // Ends at their natural length, the middle stretched along the bar.
        const int m = std::min(magin, size / 2);
        const int length = vertical ? h : w;
        const int end = std::min(m, length / 2);
        if (vertical) {
            blit(dest.left, dest.top, w, end, sx, sy, size, end);
            blit(dest.left, dest.top + end, w, h - 2 * end, sx, sy + m, size, size - 2 * m);
            blit(dest.left, dest.bottom - end, w, end, sx, sy + size - end, size, end);
        } else {
            blit(dest.left, dest.top, end, h, sx, sy, end, size);
            blit(dest.left + end, dest.top, w - 2 * end, h, sx + m, sy, size - 2 * m, size);
            blit(dest.right - end, dest.top, end, h, sx + size - end, sy, end, size);
        }
    } else if (part == ScrollPart::kGrip) {
        if ((vertical ? h : w) >= size + 2 * magin)
            blit(dest.left + (w - size) / 2, dest.top + (h - size) / 2, size, size, sx, sy, size, size);
    } else {
        blit(dest.left, dest.top, w, h, sx, sy, size, size);
    }
    SelectObject(src, old);
    DeleteDC(src);
}

// --- ScrollBar ---

bool ScrollBar::SetRange(int content, int view)
{
    m_content = std::max(0, content);
    m_view = std::max(0, view);
    return SetOffset(m_offset);
}

bool ScrollBar::SetOffset(int offset)
{
    const int clamped = std::max(0, std::min(offset, MaxOffset()));
    const bool changed = clamped != m_offset;
    m_offset = clamped;
    return changed;
}

SkinRect ScrollBar::UpArrow() const
{
    const int side = std::min(m_rect.Width(), m_rect.Height() / 2);
    return SkinRect{m_rect.left, m_rect.top, m_rect.right, m_rect.top + side};
}

SkinRect ScrollBar::DownArrow() const
{
    const int side = std::min(m_rect.Width(), m_rect.Height() / 2);
    return SkinRect{m_rect.left, m_rect.bottom - side, m_rect.right, m_rect.bottom};
}

SkinRect ScrollBar::Track() const
{
    return SkinRect{m_rect.left, UpArrow().bottom, m_rect.right, DownArrow().top};
}

SkinRect ScrollBar::Thumb() const
{
    const SkinRect track = Track();
    const int length = track.Height();
    if (!Needed() || length <= 0) return SkinRect{track.left, track.top, track.right, track.top};
    const int thumb = std::min(length, std::max(kMinThumb, static_cast<int>(static_cast<long long>(length) *
                                                                            m_view / m_content)));
    const int top = track.top + static_cast<int>(static_cast<long long>(length - thumb) * m_offset / MaxOffset());
    return SkinRect{track.left, top, track.right, top + thumb};
}

ScrollBar::Hit ScrollBar::HitTest(POINT pt) const
{
    if (!Needed() || !m_rect.Contains(pt.x, pt.y)) return kNone;
    if (UpArrow().Contains(pt.x, pt.y)) return kUp;
    if (DownArrow().Contains(pt.x, pt.y)) return kDown;
    const SkinRect thumb = Thumb();
    if (thumb.Contains(pt.x, pt.y)) return kThumb;
    return pt.y < thumb.top ? kPageUp : kPageDown;
}

bool ScrollBar::MouseDown(POINT pt)
{
    m_pressed = HitTest(pt);
    switch (m_pressed) {
    case kUp: return SetOffset(m_offset - m_line);
    case kDown: return SetOffset(m_offset + m_line);
    case kPageUp: return SetOffset(m_offset - m_view);
    case kPageDown: return SetOffset(m_offset + m_view);
    case kThumb:
        m_grabY = pt.y;
        m_grabOffset = m_offset;
        return false;
    case kNone: break;
    }
    return false;
}

bool ScrollBar::MouseMove(POINT pt)
{
    if (m_pressed != kThumb) return false;
    const int travel = Track().Height() - Thumb().Height();
    if (travel <= 0) return false;
    const long long moved = static_cast<long long>(pt.y) - m_grabY;
    return SetOffset(m_grabOffset + static_cast<int>(std::max<long long>(
                                        INT_MIN / 2, std::min<long long>(INT_MAX / 2, moved * MaxOffset() / travel))));
}

bool ScrollBar::Wheel(int delta)
{
    const int notches = delta / WHEEL_DELTA;
    return SetOffset(m_offset - notches * 3 * m_line);
}

unsigned ScrollBar::StateOf(Hit part) const
{
    if (m_pressed == part) return 2;
    if (m_hover == part) return 1;
    return 0;
}

void ScrollBar::Paint(HDC hdc, const CSkinScrollBar* skin) const
{
    if (!Needed() || !skin) return;
    skin->DrawPart(hdc, ScrollPart::kTrack, 0, ToRect<RECT>(Track()));
    skin->DrawPart(hdc, ScrollPart::kUpArrow, StateOf(kUp), ToRect<RECT>(UpArrow()));
    skin->DrawPart(hdc, ScrollPart::kDownArrow, StateOf(kDown), ToRect<RECT>(DownArrow()));
    const RECT thumb = ToRect<RECT>(Thumb());
    skin->DrawPart(hdc, ScrollPart::kThumb, StateOf(kThumb), thumb);
    skin->DrawPart(hdc, ScrollPart::kGrip, StateOf(kThumb), thumb);
}

// --- CSkinScrollView ---

bool CSkinScrollView::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinScrollView;
    static const AttrSetter<C> table[] = {
        {"sbskin", [](C& c, const std::string& v) { c.m_sbSkin = v; }},
        {"sbwidth", [](C& c, const std::string& v) { c.m_sbWidth = std::max(0, SkinIntOr(v, c.m_sbWidth)); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

int CSkinScrollView::LayoutChildren(const SkinRect& area, const SkinContext& ctx)
{
    int y = area.top, bottom = area.top;
    for (const auto& child : Children()) {
        if (child->Pos().Fixed()) {
            child->Layout(area, ctx);
        } else {
            const int height = child->Visible() ? std::max(0, child->ContentSize(ctx).cy) : 0;
            child->Layout(SkinRect{area.left, y, area.right, y + height}, ctx);
            y += height;
        }
        if (child->Visible()) bottom = std::max(bottom, child->Rect().bottom);
    }
    return bottom - area.top;
}

void CSkinScrollView::OnLayout(const SkinContext& ctx)
{
    // First as if everything fitted; then, if it does not, narrower and
    // shifted by the offset.
    const int content = LayoutChildren(m_rect, ctx);
    m_bar.SetRange(content, m_rect.Height());
    if (!m_bar.Needed()) return;
    const int right = std::max(m_rect.left, m_rect.right - m_sbWidth);
    m_bar.Place(SkinRect{right, m_rect.top, m_rect.right, m_rect.bottom});
    const SkinRect narrower{m_rect.left, m_rect.top, right, m_rect.bottom};
    m_bar.SetRange(LayoutChildren(narrower, ctx), m_rect.Height());
    if (!m_bar.Needed()) return;
    const int top = m_rect.top - m_bar.Offset();
    LayoutChildren(SkinRect{m_rect.left, top, right, top + std::max(m_rect.Height(), m_bar.MaxOffset() +
                                                                                     m_rect.Height())},
                   ctx);
}

void CSkinScrollView::ScrollTo(int offset, const SkinContext& ctx)
{
    if (m_bar.SetOffset(offset)) OnLayout(ctx);
}

CSkinControl* CSkinScrollView::HitTestChildren(POINT pt)
{
    if (m_bar.Needed() && m_bar.Rect().Contains(pt.x, pt.y)) return nullptr;  // the bar is this control's
    return CSkinControl::HitTestChildren(pt);
}

void CSkinScrollView::PaintChildren(HDC hdc, const SkinContext& ctx) const
{
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
    CSkinControl::PaintChildren(hdc, ctx);
    RestoreDC(hdc, saved);
    m_bar.Paint(hdc, dynamic_cast<const CSkinScrollBar*>(ctx.FindSkin(m_sbSkin)));
}

void CSkinScrollView::Scrolled(ISkinHost& host)
{
    OnLayout(host.Context());
    host.Invalidate(m_rect);
}

void CSkinScrollView::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    if (m_bar.MouseDown(pt)) Scrolled(host);
}

void CSkinScrollView::OnMouseMove(POINT pt, ISkinHost& host)
{
    if (m_bar.MouseMove(pt)) Scrolled(host);
    m_bar.SetHover(m_bar.HitTest(pt));
}

void CSkinScrollView::OnMouseUp(POINT pt, ISkinHost& host)
{
    m_bar.MouseUp();
    CSkinControl::OnMouseUp(pt, host);
}

bool CSkinScrollView::OnMouseWheel(int delta, ISkinHost& host)
{
    if (!m_bar.Needed()) return false;
    if (m_bar.Wheel(delta)) Scrolled(host);
    return true;
}

// --- CSkinScrollBarCtrl ---

bool CSkinScrollBarCtrl::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinScrollBarCtrl;
    static const AttrSetter<C> table[] = {
        {"min", [](C& c, const std::string& v) { c.m_min = SkinIntOr(v, c.m_min); }},
        {"max", [](C& c, const std::string& v) { c.m_max = SkinIntOr(v, c.m_max); }},
        {"page", [](C& c, const std::string& v) { c.m_page = std::max(1, SkinIntOr(v, c.m_page)); }},
        {"line", [](C& c, const std::string& v) { c.m_line = std::max(1, SkinIntOr(v, c.m_line)); }},
        {"value", [](C& c, const std::string& v) { c.m_value = SkinIntOr(v, c.m_value); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

void CSkinScrollBarCtrl::OnLayout(const SkinContext&)
{
    // Positions are the bar's pixels of content, the page its view.
    const long long span = std::max(0LL, static_cast<long long>(m_max) - m_min);
    m_bar.Place(m_rect);
    m_bar.SetLineStep(m_line);
    m_bar.SetRange(static_cast<int>(std::min<long long>(span + m_page, INT_MAX / 2)), m_page);
    m_bar.SetOffset(static_cast<int>(std::max<long long>(0, std::min<long long>(
        static_cast<long long>(m_value) - m_min, INT_MAX / 2))));
    m_value = m_min + m_bar.Offset();
}

void CSkinScrollBarCtrl::Moved(bool changed, ISkinHost& host)
{
    if (!changed) return;
    m_value = m_min + m_bar.Offset();
    AnnounceChange(kChangedValue);
    host.Invalidate(m_rect);
    host.Notify(kNotifyValueChange, this, nullptr, -1, m_value);
}

void CSkinScrollBarCtrl::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    if (m_enabled) Moved(m_bar.MouseDown(pt), host);
}

void CSkinScrollBarCtrl::OnMouseMove(POINT pt, ISkinHost& host)
{
    Moved(m_bar.MouseMove(pt), host);
    m_bar.SetHover(m_bar.HitTest(pt));
}

void CSkinScrollBarCtrl::OnMouseUp(POINT pt, ISkinHost& host)
{
    m_bar.MouseUp();
    CSkinControl::OnMouseUp(pt, host);
}

bool CSkinScrollBarCtrl::OnMouseWheel(int delta, ISkinHost& host)
{
    if (!m_bar.Needed()) return false;
    Moved(m_bar.Wheel(delta), host);
    return true;
}

void CSkinScrollBarCtrl::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    m_bar.Paint(hdc, dynamic_cast<const CSkinScrollBar*>(ctx.FindSkin(m_skin)));
}

void CSkinScrollBarCtrl::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_SCROLLBAR;
    out.value = std::to_wstring(m_value);
}

void RegisterScrollControls(ControlFactory& factory)
{
    factory.Register<CSkinScrollBarCtrl>("scrollbar");
    factory.Register<CSkinScrollView>("divex");
    factory.Register<CSkinScrollView>("scrollview");
}

}  // namespace SkinEngine
