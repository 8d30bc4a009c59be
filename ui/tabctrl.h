#pragma once
// The tab control: a band of tab headers and a stack of pages, one page
// shown at a time.
#include "ui/control.h"

#include <memory>
#include <vector>

namespace SkinEngine {

void RegisterTabControls(ControlFactory& factory);

// `tab`: one page of a tab control; `title` is drawn on its header, `sep`
// pixels of band follow the header.
class CSkinTab : public CSkinContainer {
public:
    const std::wstring& Title() const { return m_title; }
    // Extra pixels after this page's header, before the next one.
    int Sep() const { return m_sep; }

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;

    std::wstring m_title;
    int m_sep = 0;
};

class CSkinTabCtrl;

// The header of one page; owned by the tab control, which paints it.
class CSkinTabHeader : public CSkinControl {
public:
    explicit CSkinTabHeader(int index) : m_index(index) {}
    int Index() const { return m_index; }
    // Index into `tabskin`: 0 normal, 1 hovered, 2 selected.
    unsigned PaintState() const override;
    void OnClick(POINT pt, ISkinHost& host) override;
    // A page tab named by its page's title, selected with its page.
    void DescribeForAccess(AccessibleDescription& out) const override;

private:
    int m_index;
};

// Where the header band lies (`tabpos`).
enum class TabSide { kTop, kBottom, kLeft, kRight };

// `tabctrl`: its `tab` children are the pages.
//
// Header band: along the top by default. `tabpos` is either a side ("top",
// "bottom", "left", "right") or a number, the offset in pixels of the first
// header along the band. On the top or bottom the band is `tabheight` high
// and each header `tabwidth` wide (0: its title's width plus 16); on the
// left or right the band is `tabwidth` wide and each header `tabheight`
// high. Headers follow each other `tabspacing` pixels apart. A band of
// thickness 0 has no headers: the control is only a page switcher for code.
//
// Pages: every page is laid out in the rest of the rectangle (a page
// without a position fills it, one with a position is placed in it), so a
// switch needs only a repaint. Only the selected page is visible.
//
// `tabskin` draws each header with the state of CSkinTabHeader::PaintState;
// the header's title is drawn with the control's font, colour and text mode
// (centred by default). `cursel` selects the first page shown (out of range:
// the first page). `animatesteps`, `iconskin`, `icon-x` and `icon-y` are
// accepted; pages switch without animation and headers carry no icons.
class CSkinTabCtrl : public CSkinControl {
public:
    CSkinTabCtrl();

    int CurSel() const;
    int PageCount() const;
    CSkinTab* Page(int index) const;
    // Shows page `index`, hides the others; no notification. False (nothing
    // changes) for an index that is not a page.
    bool SelectTab(int index);
    // A click on header `index`: selects it, and when the selection changed,
    // repaints, asks for a layout and sends kNotifyTabChange (value = index).
    void OnHeaderClick(int index, ISkinHost& host);

    TabSide Side() const { return m_side; }
    // Valid after layout.
    const SkinRect& PageArea() const { return m_pageArea; }
    SkinRect HeaderRect(int index) const;
    CSkinTabHeader* Header(int index) const;
    // A page tab list: the headers, then the pages' contents.
    void DescribeForAccess(AccessibleDescription& out) const override;
    void AccessibleParts(std::vector<CSkinControl*>& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void OnLayout(const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;
    CSkinControl* HitTestChildren(POINT pt) override;

private:
    std::vector<CSkinTab*> Pages() const;
    int BandThickness() const;
    void ShowSelectedOnly();

    int m_curSel = 0;
    int m_tabWidth = 0;
    int m_tabHeight = 0;
    int m_tabSpacing = 0;
    int m_tabOffset = 0;
    TabSide m_side = TabSide::kTop;
    std::string m_tabSkin;
    SkinRect m_band;
    SkinRect m_pageArea;
    std::vector<std::unique_ptr<CSkinTabHeader>> m_headers;
};

}  // namespace SkinEngine
