#include "ui/split.h"

#include "ui/attrtable.h"

#include <algorithm>
#include <set>

namespace SkinEngine {

namespace {

// Sizes are kept far from overflow when summed.
int Bounded(int value)
{
    return std::clamp(value, 0, kMaxPosValue);
}

}  // namespace

std::vector<int> SplitSizes(const std::vector<PaneSize>& panes, int total)
{
    const size_t n = panes.size();
    std::vector<int> sizes(n);
    long long sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sizes[i] = std::max(Bounded(panes[i].ideal), Bounded(panes[i].min));
        sum += sizes[i];
    }
    if (n == 0) return sizes;
    long long room = static_cast<long long>(std::max(total, 0)) - sum;

    if (room > 0) {
        int top = panes[0].priority;
        for (const PaneSize& p : panes) top = std::max(top, p.priority);
        std::vector<size_t> group;
        for (size_t i = 0; i < n; ++i)
            if (panes[i].priority == top) group.push_back(i);
        const long long share = room / static_cast<long long>(group.size());
        long long rest = room % static_cast<long long>(group.size());
        for (size_t i : group) sizes[i] += static_cast<int>(share + (rest-- > 0 ? 1 : 0));
        return sizes;
    }

    long long need = -room;
    std::set<int> priorities;
    for (const PaneSize& p : panes) priorities.insert(p.priority);
    for (int priority : priorities) {
        // Shared equally among the panes of this priority that can still
        // give; a pane that reaches its minimum leaves the rest to the others.
        while (need > 0) {
            std::vector<size_t> active;
            for (size_t i = 0; i < n; ++i)
                if (panes[i].priority == priority && sizes[i] > Bounded(panes[i].min)) active.push_back(i);
            if (active.empty()) break;
            const long long share = std::max(1LL, need / static_cast<long long>(active.size()));
            for (size_t i : active) {
                if (need == 0) break;
                const long long spare = sizes[i] - Bounded(panes[i].min);
                const long long take = std::min({share, spare, need});
                sizes[i] -= static_cast<int>(take);
                need -= take;
            }
        }
        if (need == 0) break;
    }
    return sizes;
}

// --- CSkinPane ---

bool CSkinPane::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinPane;
    static const AttrSetter<C> table[] = {
        {"idealsize", [](C& c, const std::string& v) { c.m_ideal = Bounded(SkinIntOr(v, 0)); }},
        {"minsize", [](C& c, const std::string& v) { c.m_min = Bounded(SkinIntOr(v, 0)); }},
        {"priority", [](C& c, const std::string& v) { c.m_priority = SkinIntOr(v, 0); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

// --- CSkinSplit ---

bool CSkinSplit::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinSplit;
    static const AttrSetter<C> table[] = {
        {"sepsize", [](C& c, const std::string& v) { c.m_sepSize = Bounded(SkinIntOr(v, 0)); }},
        {"skinsep", [](C& c, const std::string& v) { c.m_sepSkin = v; }},
        {"vertical", [](C& c, const std::string& v) {
             if (c.m_draggable) c.m_vertical = SkinIntOr(v, 0) != 0;
         }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

void CSkinSplit::OnLayout(const SkinContext& ctx)
{
    m_separators.clear();
    std::vector<CSkinControl*> panes;
    std::vector<PaneSize> wanted;
    for (const auto& child : Children()) {
        if (child->Pos().Fixed() || !child->Visible()) continue;
        PaneSize want;
        if (const auto* pane = dynamic_cast<const CSkinPane*>(child.get()))
            want = PaneSize{pane->IdealSize(), pane->MinSize(), pane->Priority()};
        panes.push_back(child.get());
        wanted.push_back(want);
    }
    const int length = m_vertical ? m_rect.Height() : m_rect.Width();
    const long long seps = panes.empty() ? 0 : static_cast<long long>(m_sepSize) * (panes.size() - 1);
    const int room = static_cast<int>(std::max(0LL, length - seps));
    const std::vector<int> sizes = SplitSizes(wanted, room);

    long long at = m_vertical ? m_rect.top : m_rect.left;
    for (size_t i = 0; i < panes.size(); ++i) {
        const int from = static_cast<int>(std::min<long long>(at, kMaxPosValue));
        const int to = static_cast<int>(std::min<long long>(at + sizes[i], kMaxPosValue));
        const SkinRect slot = m_vertical ? SkinRect{m_rect.left, from, m_rect.right, to}
                                         : SkinRect{from, m_rect.top, to, m_rect.bottom};
        panes[i]->Layout(slot, ctx);
        at += sizes[i];
        if (i + 1 < panes.size() && m_sepSize > 0) {
            const int end = static_cast<int>(std::min<long long>(at + m_sepSize, kMaxPosValue));
            const int start = static_cast<int>(std::min<long long>(at, kMaxPosValue));
            m_separators.push_back(m_vertical ? SkinRect{m_rect.left, start, m_rect.right, end}
                                              : SkinRect{start, m_rect.top, end, m_rect.bottom});
            at += m_sepSize;
        }
    }
    // Hidden panes keep an empty slot, so nothing of theirs is hit or moved
    // into view by accident (their native windows hide anyway).
    for (const auto& child : Children())
        if (!child->Pos().Fixed() && !child->Visible()) {
            const int x = m_vertical ? m_rect.left : static_cast<int>(std::min<long long>(at, kMaxPosValue));
            const int y = m_vertical ? static_cast<int>(std::min<long long>(at, kMaxPosValue)) : m_rect.top;
            child->Layout(SkinRect{x, y, x, y}, ctx);
        }
}

void CSkinSplit::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    CSkinControl::PaintContent(hdc, ctx);
    const CSkinBase* skin = ctx.FindSkin(m_sepSkin);
    if (!skin) return;
    for (const SkinRect& r : m_separators) skin->Draw(hdc, ToRect<RECT>(r), 0);
}

void CSkinSplit::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    m_dragBefore = m_dragAfter = nullptr;
    if (!m_draggable) return;
    // The panes beside each separator, in order, are the shown ones.
    std::vector<CSkinPane*> panes;
    for (const auto& child : Children())
        if (!child->Pos().Fixed() && child->Visible()) panes.push_back(dynamic_cast<CSkinPane*>(child.get()));
    for (size_t i = 0; i < m_separators.size() && i + 1 < panes.size(); ++i)
        if (m_separators[i].Contains(pt.x, pt.y) && panes[i] && panes[i + 1]) {
            // Every pane keeps the size it has: only the two beside the separator change.
            for (CSkinPane* pane : panes)
                if (pane) pane->SetIdealSize(m_vertical ? pane->Rect().Height() : pane->Rect().Width());
            m_dragBefore = panes[i];
            m_dragAfter = panes[i + 1];
            m_sizeBefore = m_dragBefore->IdealSize();
            m_sizeAfter = m_dragAfter->IdealSize();
            m_grab = m_vertical ? pt.y : pt.x;
        }
}

void CSkinSplit::OnMouseMove(POINT pt, ISkinHost& host)
{
    if (!m_pressed || !m_dragBefore) return;
    const int total = m_sizeBefore + m_sizeAfter;
    const int least = std::min(m_dragBefore->MinSize(), total);
    const int most = std::max(least, total - m_dragAfter->MinSize());
    const int before = std::clamp(m_sizeBefore + static_cast<int>(m_vertical ? pt.y : pt.x) - m_grab, least, most);
    if (before == m_dragBefore->IdealSize()) return;
    m_dragBefore->SetIdealSize(before);
    m_dragAfter->SetIdealSize(total - before);
    host.RequestLayout();
}

void CSkinSplit::OnMouseUp(POINT pt, ISkinHost& host)
{
    m_dragBefore = m_dragAfter = nullptr;
    CSkinControl::OnMouseUp(pt, host);
}

HCURSOR CSkinSplit::Cursor() const
{
    // Hovered itself (not a pane), the mouse is over a separator.
    if (m_draggable && (m_hover || m_dragBefore) && !m_separators.empty()) return LoadCursor(nullptr, m_vertical ? IDC_SIZENS : IDC_SIZEWE);
    return CSkinControl::Cursor();
}

void RegisterSplitControls(ControlFactory& factory)
{
    factory.Register("splitwnd", [] { return std::unique_ptr<CSkinControl>(new CSkinSplit(false, true)); });
    factory.Register("splitcol", [] { return std::unique_ptr<CSkinControl>(new CSkinSplit(false)); });
    factory.Register("splitrow", [] { return std::unique_ptr<CSkinControl>(new CSkinSplit(true)); });
    factory.Register<CSkinPane>("pane");
}

}  // namespace SkinEngine
