#include "ui/listbox.h"

#include "ui/attrtable.h"

#include <oleacc.h>

#include <algorithm>
#include <climits>

namespace SkinEngine {

void RegisterListControls(ControlFactory& factory)
{
    for (const char* tag : {"listbox", "listboxex", "itembox"}) factory.Register<CSkinListBox>(tag);
    for (const char* tag : {"treectrl", "treebox"})
        factory.Register(tag, [] { return std::unique_ptr<CSkinControl>(new CSkinListBox(true)); });
    // The items of lists, trees and combo boxes hold data only.
    factory.Register<CSkinContainer>("item");
}

CSkinListBox::CSkinListBox(bool tree) : m_tree(tree)
{
    m_textMode = kTextSingleLine | kTextVCentre;
}

bool CSkinListBox::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinListBox;
    static const AttrSetter<C> table[] = {
        {"itemheight", [](C& c, const std::string& v) { c.m_itemHeight = std::max(1, SkinIntOr(v, c.m_itemHeight)); }},
        {"itemskin", [](C& c, const std::string& v) { c.m_itemSkin = v; }},
        {"crselbg", [](C& c, const std::string& v) { c.m_selBg = ParseColor(v); }},
        {"indent", [](C& c, const std::string& v) { c.m_indent = std::max(0, SkinIntOr(v, c.m_indent)); }},
        {"cursel", [](C& c, const std::string& v) { c.m_startSel = SkinIntOr(v, -1); }},
        {"sbskin", [](C& c, const std::string& v) { c.m_sbSkin = v; }},
        {"sbwidth", [](C& c, const std::string& v) { c.m_sbWidth = std::max(0, SkinIntOr(v, c.m_sbWidth)); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

// --- Rows ---

void CSkinListBox::Collect(const CSkinControl& node, int depth, std::vector<Row>& out) const
{
    for (const auto& child : node.Children()) {
        out.push_back(Row{child.get(), depth});
        if (m_tree && Expanded(child.get())) Collect(*child, depth + 1, out);
    }
}

std::vector<CSkinListBox::Row> CSkinListBox::Rows() const
{
    std::vector<Row> rows;
    Collect(*this, 0, rows);
    return rows;
}

CSkinControl* CSkinListBox::RowItem(int row) const
{
    const std::vector<Row> rows = Rows();
    return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)].item : nullptr;
}

int CSkinListBox::RowOf(const CSkinControl* item) const
{
    const std::vector<Row> rows = Rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].item == item) return static_cast<int>(i);
    return -1;
}

SkinRect CSkinListBox::RowRect(int row) const
{
    const long long top = m_rect.top + static_cast<long long>(row) * m_itemHeight - m_bar.Offset();
    const int at = static_cast<int>(std::max<long long>(INT_MIN / 2, std::min<long long>(top, INT_MAX / 2)));
    const int right = m_bar.Needed() ? std::max(m_rect.left, m_rect.right - m_sbWidth) : m_rect.right;
    return SkinRect{m_rect.left, at, right, at + m_itemHeight};
}

int CSkinListBox::RowAt(POINT pt) const
{
    if (!m_rect.Contains(pt.x, pt.y) || pt.x >= RowRect(0).right) return -1;
    const int row = (pt.y - m_rect.top + m_bar.Offset()) / m_itemHeight;
    return row < RowCount() ? row : -1;
}

void CSkinListBox::SyncBar()
{
    const long long content = static_cast<long long>(RowCount()) * m_itemHeight;
    m_bar.SetRange(static_cast<int>(std::min<long long>(content, INT_MAX / 2)), std::max(0, m_rect.Height()));
    m_bar.SetLineStep(m_itemHeight);
    m_bar.Place(SkinRect{std::max(m_rect.left, m_rect.right - m_sbWidth), m_rect.top, m_rect.right, m_rect.bottom});
}

// --- Selection and folding ---

void CSkinListBox::SetCurSel(int row)
{
    CSkinControl* item = RowItem(row);
    if (item == m_selected) return;
    m_selected = item;
    if (item) {
        // Scrolled just far enough to show the whole row.
        const int top = row * m_itemHeight;
        if (top < m_bar.Offset()) m_bar.SetOffset(top);
        else m_bar.SetOffset(std::max(m_bar.Offset(), top + m_itemHeight - m_rect.Height()));
    }
    AnnounceChange(kChangedValue);
}

void CSkinListBox::Choose(int row, ISkinHost& host)
{
    if (!RowItem(row) || RowItem(row) == m_selected) return;
    SetCurSel(row);
    Refresh(host);
    host.Notify(kNotifyValueChange, this, nullptr, -1, row);
}

void CSkinListBox::Expand(CSkinControl* item, bool expand)
{
    if (!m_tree || !item || item->Children().empty() || Expanded(item) == expand) return;
    if (expand) m_expanded.insert(item);
    else m_expanded.erase(item);
    SyncBar();
    for (const CSkinControl* c = m_selected; c && !expand; c = c->Parent())
        if (c->Parent() == item) {
            m_selected = m_selectBranches ? item : nullptr;
            AnnounceChange(kChangedValue);
        }
}

void CSkinListBox::Toggle(CSkinControl* item, ISkinHost& host)
{
    const CSkinControl* before = m_selected;
    Expand(item, !Expanded(item));
    Refresh(host);
    if (m_selected != before) host.Notify(kNotifyValueChange, this, nullptr, -1, CurSel());
}

void CSkinListBox::Refresh(ISkinHost& host)
{
    OnLayout(host.Context());
    host.Invalidate(m_rect);
}

void CSkinListBox::OnLayout(const SkinContext& ctx)
{
    SyncBar();
    if (m_startSel >= 0) SetCurSel(m_startSel);
    m_startSel = -1;
    // Each item in its row, for screen readers.
    const std::vector<Row> rows = Rows();
    for (size_t i = 0; i < rows.size(); ++i) rows[i].item->Layout(RowRect(static_cast<int>(i)), ctx);
}

// --- Mouse and keys ---

void CSkinListBox::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    host.SetFocusTo(this);
    if (m_bar.Needed() && m_bar.Rect().Contains(pt.x, pt.y)) {
        if (m_bar.MouseDown(pt)) Refresh(host);
        return;
    }
    CSkinControl* item = RowItem(RowAt(pt));
    if (!item) return;
    const bool branch = m_tree && !item->Children().empty();
    if (!branch || m_selectBranches) Choose(RowAt(pt), host);
    if (branch) Toggle(item, host);
}

void CSkinListBox::OnMouseMove(POINT pt, ISkinHost& host)
{
    if (m_bar.MouseMove(pt)) Refresh(host);
    m_bar.SetHover(m_bar.HitTest(pt));
}

void CSkinListBox::OnMouseUp(POINT pt, ISkinHost& host)
{
    m_bar.MouseUp();
    CSkinControl::OnMouseUp(pt, host);
}

bool CSkinListBox::OnMouseWheel(int delta, ISkinHost& host)
{
    if (!m_bar.Needed()) return false;
    if (m_bar.Wheel(delta)) Refresh(host);
    return true;
}

bool CSkinListBox::OnKeyDown(UINT vk, ISkinHost& host)
{
    const int at = CurSel(), count = RowCount();
    const int page = std::max(1, m_rect.Height() / m_itemHeight - 1);
    CSkinControl* item = m_selected;
    const bool branch = m_tree && item && !item->Children().empty();
    int row;
    switch (vk) {
    case VK_UP: row = at < 0 ? 0 : at - 1; break;
    case VK_DOWN: row = at + 1; break;
    case VK_PRIOR: row = at - page; break;
    case VK_NEXT: row = at + page; break;
    case VK_HOME: row = 0; break;
    case VK_END: row = count - 1; break;
    case VK_SPACE:
        if (branch) Toggle(item, host);
        return branch;
    case VK_RIGHT:
        if (!branch) return m_tree;
        if (!Expanded(item)) Toggle(item, host);
        else Choose(at + 1, host);
        return true;
    case VK_LEFT:
        if (!m_tree || !item) return m_tree;
        if (branch && Expanded(item)) Toggle(item, host);
        else Choose(RowOf(item->Parent()), host);
        return true;
    default: return false;
    }
    if (count > 0) Choose(std::max(0, std::min(row, count - 1)), host);
    return true;
}

// --- Painting and screen readers ---

void CSkinListBox::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
    const CSkinBase* skin = ctx.FindSkin(m_itemSkin);
    const std::vector<Row> rows = Rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const SkinRect slot = RowRect(i);
        if (slot.bottom <= m_rect.top || slot.top >= m_rect.bottom) continue;
        const CSkinControl& item = *rows[static_cast<size_t>(i)].item;
        const RECT r = ToRect<RECT>(slot);
        if (skin) {
            skin->Draw(hdc, r, &item == m_selected ? 1 : 0);
        } else if (&item == m_selected) {
            HBRUSH brush = CreateSolidBrush(m_selBg.Ref());
            FillRect(hdc, &r, brush);
            DeleteObject(brush);
        }
        SkinRect text = slot;
        text.left = std::min(text.right, text.left + m_xMargin + rows[static_cast<size_t>(i)].depth * m_indent);
        // A branch's mark: folded or unfolded.
        const std::wstring mark = !m_tree || item.Children().empty() ? L"" : Expanded(&item) ? L"\u25BE " : L"\u25B8 ";
        DrawLabel(hdc, ctx, mark + item.Text(), text);
    }
    RestoreDC(hdc, saved);
    m_bar.Paint(hdc, dynamic_cast<const CSkinScrollBar*>(ctx.FindSkin(m_sbSkin)));
}

void CSkinListBox::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = m_tree ? ROLE_SYSTEM_OUTLINE : ROLE_SYSTEM_LIST;
    if (m_selected) out.value = m_selected->Text();
}

bool CSkinListBox::DescribeItem(const CSkinControl& item, AccessibleDescription& out) const
{
    if (!m_tree && item.Parent() != this) return false;  // a control inside an item is itself
    out.role = m_tree ? ROLE_SYSTEM_OUTLINEITEM : ROLE_SYSTEM_LISTITEM;
    out.state |= STATE_SYSTEM_SELECTABLE;
    if (&item == m_selected) out.state |= STATE_SYSTEM_SELECTED;
    const int row = RowOf(&item);
    const SkinRect slot = RowRect(row);
    if (row < 0) out.state |= STATE_SYSTEM_INVISIBLE;  // folded away
    else if (slot.bottom <= m_rect.top || slot.top >= m_rect.bottom) out.state |= STATE_SYSTEM_OFFSCREEN;
    if (!m_tree) return true;
    if (!item.Children().empty()) out.state |= Expanded(&item) ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
    int level = 0;
    for (const CSkinControl* c = item.Parent(); c && c != this; c = c->Parent()) ++level;
    out.value = std::to_wstring(level);
    return true;
}

}  // namespace SkinEngine
