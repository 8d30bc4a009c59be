#include "ui/tabctrl.h"

#include "ui/attrtable.h"

#include <algorithm>

#include <oleacc.h>

namespace SkinEngine {

namespace {

// Room beside a title when the header takes its width from it.
const int kTitlePadding = 16;

}  // namespace

void RegisterTabControls(ControlFactory& factory)
{
    factory.Register<CSkinTabCtrl>("tabctrl");
    factory.Register<CSkinTab>("tab");
}

// --- CSkinTab ---

bool CSkinTab::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinTab;
    static const AttrSetter<C> table[] = {
        {"title", [](C& c, const std::string& v) { c.m_title = Utf8ToWide(v); }},
        {"sep", [](C& c, const std::string& v) { c.m_sep = SkinIntOr(v, 0); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinContainer::ApplyAttribute(name, value);
}

// --- CSkinTabHeader ---

unsigned CSkinTabHeader::PaintState() const
{
    const auto* owner = static_cast<const CSkinTabCtrl*>(Parent());
    if (owner && owner->CurSel() == m_index) return 2;
    return m_hover ? 1 : 0;
}

void CSkinTabHeader::OnClick(POINT pt, ISkinHost& host)
{
    if (auto* owner = static_cast<CSkinTabCtrl*>(Parent())) owner->OnHeaderClick(m_index, host);
}

// --- CSkinTabCtrl ---

CSkinTabCtrl::CSkinTabCtrl()
{
    m_textMode = kTextCentre | kTextVCentre | kTextSingleLine;
}

bool CSkinTabCtrl::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinTabCtrl;
    static const AttrSetter<C> table[] = {
        {"cursel", [](C& c, const std::string& v) { c.m_curSel = SkinIntOr(v, 0); }},
        {"tabwidth", [](C& c, const std::string& v) { c.m_tabWidth = std::max(0, SkinIntOr(v, 0)); }},
        {"tabheight", [](C& c, const std::string& v) { c.m_tabHeight = std::max(0, SkinIntOr(v, 0)); }},
        {"tabspacing", [](C& c, const std::string& v) { c.m_tabSpacing = std::max(0, SkinIntOr(v, 0)); }},
        {"tabpos", [](C& c, const std::string& v) {
             int offset = 0;
             if (ParseSkinInt(v, offset)) c.m_tabOffset = std::max(0, std::min(offset, kMaxPosValue));
             else if (v == "top") c.m_side = TabSide::kTop;
             else if (v == "bottom") c.m_side = TabSide::kBottom;
             else if (v == "left") c.m_side = TabSide::kLeft;
             else if (v == "right") c.m_side = TabSide::kRight;
         }},
        {"tabskin", [](C& c, const std::string& v) { c.m_tabSkin = v; }},
        {"iconskin", [](C&, const std::string&) {}},
        {"icon-x", [](C&, const std::string&) {}},
        {"icon-y", [](C&, const std::string&) {}},
        {"animatesteps", [](C&, const std::string&) {}},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

std::vector<CSkinTab*> CSkinTabCtrl::Pages() const
{
    std::vector<CSkinTab*> pages;
    for (const auto& child : Children())
        if (auto* page = dynamic_cast<CSkinTab*>(child.get())) pages.push_back(page);
    return pages;
}

int CSkinTabCtrl::PageCount() const
{
    return static_cast<int>(Pages().size());
}

CSkinTab* CSkinTabCtrl::Page(int index) const
{
    const std::vector<CSkinTab*> pages = Pages();
    if (index < 0 || index >= static_cast<int>(pages.size())) return nullptr;
    return pages[static_cast<size_t>(index)];
}

int CSkinTabCtrl::CurSel() const
{
    const int count = PageCount();
    if (count == 0) return -1;
    return m_curSel >= 0 && m_curSel < count ? m_curSel : 0;
}

void CSkinTabCtrl::ShowSelectedOnly()
{
    const std::vector<CSkinTab*> pages = Pages();
    const int selected = CurSel();
    for (size_t i = 0; i < pages.size(); ++i) pages[i]->SetVisible(static_cast<int>(i) == selected);
}

bool CSkinTabCtrl::SelectTab(int index)
{
    if (index < 0 || index >= PageCount()) return false;
    m_curSel = index;
    ShowSelectedOnly();
    return true;
}

void CSkinTabCtrl::OnHeaderClick(int index, ISkinHost& host)
{
    if (index == CurSel() || !SelectTab(index)) return;
    host.Invalidate(m_rect);
    host.RequestLayout();
    host.Notify(kNotifyTabChange, this, nullptr, -1, index);
}

int CSkinTabCtrl::BandThickness() const
{
    return m_side == TabSide::kTop || m_side == TabSide::kBottom ? m_tabHeight : m_tabWidth;
}

SkinRect CSkinTabCtrl::HeaderRect(int index) const
{
    CSkinTabHeader* header = Header(index);
    return header ? header->Rect() : SkinRect{};
}

CSkinTabHeader* CSkinTabCtrl::Header(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_headers.size())) return nullptr;
    return m_headers[static_cast<size_t>(index)].get();
}

void CSkinTabCtrl::OnLayout(const SkinContext& ctx)
{
    const std::vector<CSkinTab*> pages = Pages();
    const int thickness = std::min(BandThickness(), std::max(0, m_side == TabSide::kTop || m_side == TabSide::kBottom
                                                                     ? m_rect.Height()
                                                                     : m_rect.Width()));
    m_band = m_pageArea = m_rect;
    switch (m_side) {
    case TabSide::kTop: m_band.bottom = m_pageArea.top = m_rect.top + thickness; break;
    case TabSide::kBottom: m_band.top = m_pageArea.bottom = m_rect.bottom - thickness; break;
    case TabSide::kLeft: m_band.right = m_pageArea.left = m_rect.left + thickness; break;
    case TabSide::kRight: m_band.left = m_pageArea.right = m_rect.right - thickness; break;
    }

    while (m_headers.size() < pages.size()) {
        m_headers.push_back(std::make_unique<CSkinTabHeader>(static_cast<int>(m_headers.size())));
        Adopt(*this, *m_headers.back());
    }
    m_headers.resize(pages.size());

    const bool horizontal = m_side == TabSide::kTop || m_side == TabSide::kBottom;
    // 64-bit so that many wide headers cannot wrap the coordinates.
    long long along = static_cast<long long>(horizontal ? m_band.left : m_band.top) + m_tabOffset;
    for (size_t i = 0; i < pages.size(); ++i) {
        int extent = horizontal ? m_tabWidth : m_tabHeight;
        if (extent == 0) extent = TextSize(ctx, pages[i]->Title()).cx + kTitlePadding;
        const int start = static_cast<int>(std::min<long long>(along, kMaxPosValue));
        const int end = static_cast<int>(std::min<long long>(along + extent, kMaxPosValue));
        const SkinRect slot = horizontal ? SkinRect{start, m_band.top, end, m_band.bottom}
                                         : SkinRect{m_band.left, start, m_band.right, end};
        m_headers[i]->SetVisible(thickness > 0);
        m_headers[i]->Layout(slot, ctx);
        along += static_cast<long long>(extent) + m_tabSpacing + std::max(0, pages[i]->Sep());
    }

    // Every page in the page area, the hidden ones too, so a switch only repaints.
    for (CSkinTab* page : pages) page->Layout(m_pageArea, ctx);
    ShowSelectedOnly();
}

void CSkinTabCtrl::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    CSkinControl::PaintContent(hdc, ctx);
    if (m_band.Width() <= 0 || m_band.Height() <= 0) return;
    const std::vector<CSkinTab*> pages = Pages();
    const CSkinBase* skin = ctx.FindSkin(m_tabSkin);
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, m_band.left, m_band.top, m_band.right, m_band.bottom);
    for (size_t i = 0; i < m_headers.size() && i < pages.size(); ++i) {
        const SkinRect& r = m_headers[i]->Rect();
        if (r.Width() <= 0 || r.Height() <= 0) continue;
        if (skin) skin->Draw(hdc, ToRect<RECT>(r), m_headers[i]->PaintState());
        SkinRect text = r;
        text.left += m_xMargin;
        text.right = std::max(text.left, text.right - m_xMargin);
        DrawLabel(hdc, ctx, pages[i]->Title(), text);
    }
    RestoreDC(hdc, saved);
}

CSkinControl* CSkinTabCtrl::HitTestChildren(POINT pt)
{
    if (m_band.Contains(pt.x, pt.y)) {
        for (auto& header : m_headers)
            if (CSkinControl* hit = header->HitTest(pt)) return hit;
        return nullptr;  // the band between headers is the control's own
    }
    return CSkinControl::HitTestChildren(pt);
}

// --- Assistive technology ---

void CSkinTabHeader::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_PAGETAB;
    const auto* owner = static_cast<const CSkinTabCtrl*>(Parent());
    if (!owner) return;
    if (const CSkinTab* page = owner->Page(m_index)) out.name = page->Title();
    if (owner->CurSel() == m_index) out.state |= STATE_SYSTEM_SELECTED;
}

void CSkinTabCtrl::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_PAGETABLIST;
}

void CSkinTabCtrl::AccessibleParts(std::vector<CSkinControl*>& out) const
{
    for (const auto& header : m_headers) out.push_back(header.get());
    CSkinControl::AccessibleParts(out);
}

}  // namespace SkinEngine
