#pragma once
// The application's own controls of the window engine: the image button of
// the check rows (`myimgbtn`) and the list box holding those rows
// (`mylistbox`).
#include "ui/control.h"
#include "ui/listbox.h"
#include "ui/native.h"
#include "ui/resources.h"
#include "ui/scrollbar.h"

#include <memory>
#include <string>
#include <vector>

// Registers `myimgbtn`, `mylistbox`, `myimg` and `search`, and the `gif` skin kind;
// called before any layout loads.
void RegisterApplicationControls(SkinEngine::ControlFactory& factory);

// An image button drawn from the states of its `imglst` skin. Its name says
// what a click on it means, so code reads and changes it.
class CMyImgBtn : public SkinEngine::CSkinImgButton {
public:
    void SetName(const std::string& name) { m_name = name; }
    void SetSkin(const std::string& skin) { m_skin = skin; }
};

// An image whose skin code changes (`myimg`).
class CMyImgWnd : public SkinEngine::CSkinImg {
public:
    void SetSkin(const std::string& skin) { m_skin = skin; }
};

// The search box (`search`): an edit box of the engine.
class CMyRichEdit : public SkinEngine::CSkinEdit {};

// One row of the list box: a list item (named, as any control without a
// text, by the first text inside it), its texts and buttons its parts;
// off the screen when scrolled wholly out of the box.
class CMyListRow : public SkinEngine::CSkinContainer {
public:
    void DescribeForAccess(SkinEngine::AccessibleDescription& out) const override;
};

// A list of rows built from markup. Rows are stacked at the item height from
// the top of the box; each row is drawn over its alternating background
// colour (`critembg` for even rows, `critembg2` for odd ones, each only when
// declared) and the row skin `itemskin`. Rows are not found through the
// layer's FindById: a row is taken by its position, then a control inside it
// by identifier. Anything below the box's rectangle is cut off.
class CMyListBox : public SkinEngine::CSkinControl {
public:
    // Appends a row parsed from `markup` (its root element is the row) as the
    // last row: every element gets the factory's control for its tag and the
    // attributes `pools` gives it, in that order, then its text with white
    // space kept. Returns the row's position, or -1 when the markup does not
    // parse (nothing is added).
    int AppendRow(const std::wstring& markup, const SkinEngine::ResourcePools& pools,
                  SkinEngine::ControlFactory& factory = SkinEngine::SkinControls());
    // Markup in the active code page.
    int AppendRow(const std::string& markup, const SkinEngine::ResourcePools& pools,
                  SkinEngine::ControlFactory& factory = SkinEngine::SkinControls());
    void DeleteAllRows()
    {
        m_rows.clear();
        ScrollTo(0);
    }
    int RowCount() const { return static_cast<int>(m_rows.size()); }

    // Null for a position outside 0 to RowCount() - 1.
    SkinEngine::CSkinControl* Row(int row) const;
    SkinEngine::CSkinControl* FindInRow(int row, int id) const;
    // False when the row or the control does not exist.
    bool ShowInRow(int row, int id, bool show);
    bool SetSkinInRow(int row, int id, const std::string& skin);
    bool SetNameInRow(int row, int id, const std::string& name);
    bool SetTextInRow(int row, int id, const std::string& utf8);

    int ItemHeight() const { return m_itemHeight; }
    const std::string& ItemSkin() const { return m_itemSkin; }
    // The slot of row `row`, scrolled (empty for a bad position).
    SkinEngine::SkinRect RowRect(int row) const;
    // Places every row in its slot; painting does it too, this is for code
    // that needs the rectangles before the next paint.
    void LayoutRows(const SkinEngine::SkinContext& ctx) const;

    // Rows that do not fit scroll: the first `ScrollOffset()` pixels of the
    // rows are above the box's top edge. Clamped to what there is to scroll.
    int ScrollOffset() const { return m_scroll; }
    void ScrollTo(int offset);
    // Scrolls by `scrollspeed` pixels (one row when unset) per wheel notch.
    bool OnMouseWheel(int delta, SkinEngine::ISkinHost& host) override;
    // With `sbwidth`, rows that do not fit get a bar of that width drawn
    // with the `sbskin` skin at the right, the rows that much narrower; its
    // arrows, track and thumb scroll the list.
    const SkinEngine::ScrollBar& Bar() const { return m_bar; }
    void OnMouseDown(POINT pt, SkinEngine::ISkinHost& host) override;
    void OnMouseMove(POINT pt, SkinEngine::ISkinHost& host) override;
    void OnMouseUp(POINT pt, SkinEngine::ISkinHost& host) override;

    // A list whose items are its rows.
    void DescribeForAccess(SkinEngine::AccessibleDescription& out) const override;
    void AccessibleParts(std::vector<SkinEngine::CSkinControl*>& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    SkinEngine::CSkinControl* HitTestChildren(POINT pt) override;
    // A click on a control inside a row is kNotifyRowClick with its row.
    bool OnChildClick(SkinEngine::CSkinControl& origin, SkinEngine::ISkinHost& host) override;
    void OnLayout(const SkinEngine::SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinEngine::SkinContext& ctx) const override;

private:
    std::unique_ptr<SkinEngine::CSkinControl> BuildRowControl(const TiXmlElement& element,
                                                              const SkinEngine::ResourcePools& pools,
                                                              SkinEngine::ControlFactory& factory, int depth,
                                                              bool isRow);

    int m_itemHeight = 20;
    std::string m_itemSkin;
    bool m_hasEvenBg = false;
    bool m_hasOddBg = false;
    SkinEngine::SkinColor m_evenBg;
    SkinEngine::SkinColor m_oddBg;
    int m_scrollSpeed = 0;
    int m_scroll = 0;
    std::string m_sbSkin;
    int m_sbWidth = 0;
    SkinEngine::ScrollBar m_bar;  // follows m_scroll
    bool BarShown() const { return m_sbWidth > 0 && m_bar.Needed(); }
    void SyncBar();
    void BarScrolled(SkinEngine::ISkinHost& host);
    std::vector<std::unique_ptr<SkinEngine::CSkinControl>> m_rows;
};

// A chat-style tree (`chattreectrl`): the engine's tree whose child
// elements are groups, their child elements the members, rows `itemheight`
// (24) high. A press on a group only folds or unfolds it: members are what
// is selected.
class CChatTreeCtrl : public SkinEngine::CSkinListBox {
public:
    CChatTreeCtrl();
};
