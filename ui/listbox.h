#pragma once
// Lists and trees of selectable rows: `listbox`, `listboxex`, `itembox`,
// and the trees `treectrl`, `treebox`. Their child elements are their items
// whatever the tag (`item` by custom), each a row showing its text; a
// tree's items hold its deeper items.
#include "ui/control.h"
#include "ui/scrollbar.h"

#include <set>
#include <string>
#include <vector>

namespace SkinEngine {

void RegisterListControls(ControlFactory& factory);

// Rows are `itemheight` (20) high from the top; rows that do not fit scroll
// by the wheel and a bar `sbwidth` (16) wide drawn with `sbskin`. A row is
// drawn over `itemskin` (state 0, the selected one state 1; without it the
// selected row is filled with `crselbg`), its text in the control's
// font, colour and text mode, `indent` (16) pixels in per tree level.
// A press selects the row under it and takes the focus; Up, Down, Home,
// End, Page Up and Page Down move the selection; `cursel` selects a row at
// start. A selection the user made is announced and sent as
// kNotifyValueChange with its row.
//
// In a tree, items start folded and a branch's row carries a fold mark. A
// press on a branch also folds or unfolds it; Right unfolds the selected
// branch or goes to its first item, Left folds it or goes to its parent,
// Space folds or unfolds it. A selection folded away moves to the branch.
class CSkinListBox : public CSkinControl {
public:
    explicit CSkinListBox(bool tree = false);

    // The rows shown, from the top.
    int RowCount() const { return static_cast<int>(Rows().size()); }
    CSkinControl* RowItem(int row) const;
    int RowAt(POINT pt) const;  // -1 off the rows
    SkinRect RowRect(int row) const;
    // The selected row, -1 for none.
    int CurSel() const { return RowOf(m_selected); }
    CSkinControl* SelectedItem() const { return m_selected; }
    // Selects `row` (none when out of range), scrolled into view; announced, not sent.
    void SetCurSel(int row);
    bool Expanded(const CSkinControl* item) const { return m_expanded.count(item) != 0; }
    // Folds or unfolds a tree's `item` (a leaf has nothing to unfold).
    void Expand(CSkinControl* item, bool expand);
    const ScrollBar& Bar() const { return m_bar; }

    bool Focusable() const override { return true; }
    void OnMouseDown(POINT pt, ISkinHost& host) override;
    void OnMouseMove(POINT pt, ISkinHost& host) override;
    void OnMouseUp(POINT pt, ISkinHost& host) override;
    bool OnMouseWheel(int delta, ISkinHost& host) override;
    bool OnKeyDown(UINT vk, ISkinHost& host) override;
    // A list (a tree: an outline) whose value is the selected item's text;
    // its items are selectable list items (outline items whose value is
    // their level, from 0), off the screen when scrolled away.
    void DescribeForAccess(AccessibleDescription& out) const override;
    bool DescribeItem(const CSkinControl& item, AccessibleDescription& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void OnLayout(const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
    // The items are drawn as rows and never hit themselves.
    void PaintChildren(HDC, const SkinContext&) const override {}
    CSkinControl* HitTestChildren(POINT) override { return nullptr; }

    bool m_selectBranches = true;  // false: a press on a branch only folds it
    int m_itemHeight = 20;

private:
    struct Row {
        CSkinControl* item;
        int depth;
    };
    std::vector<Row> Rows() const;
    void Collect(const CSkinControl& node, int depth, std::vector<Row>& out) const;
    int RowOf(const CSkinControl* item) const;  // -1: not shown
    // Selects `row` as the user did: in view, repainted, announced and sent.
    void Choose(int row, ISkinHost& host);
    void Toggle(CSkinControl* item, ISkinHost& host);
    void Refresh(ISkinHost& host);
    void SyncBar();

    bool m_tree;
    CSkinControl* m_selected = nullptr;
    std::set<const CSkinControl*> m_expanded;
    int m_indent = 16;
    int m_sbWidth = 16;
    int m_startSel = -1;  // `cursel`, taken at the first layout
    std::string m_itemSkin, m_sbSkin;
    SkinColor m_selBg{0xDD, 0xEB, 0xF8};
    ScrollBar m_bar;
};

}  // namespace SkinEngine
