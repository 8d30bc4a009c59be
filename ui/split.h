#pragma once
// Split windows: `splitcol` lays its panes out left to right, `splitrow` top
// to bottom, with a `sepsize`-pixel separator drawn with `skinsep` between
// two shown panes.
//
// Sizing: every shown pane first gets its `idealsize` (raised to its
// `minsize`). Room left over goes to the panes of the highest `priority`,
// shared equally. Room missing is taken from the panes of the lowest
// priority first, shared equally and never below a pane's minimum, then
// from the next priority up. When every pane is at its minimum and there is
// still not enough room, the last panes run past the far edge (they are
// clipped there) rather than shrink below their minimum. Hidden panes take
// no room and have no separator.
//
// `splitwnd` is a split window whose separators the mouse drags: left to
// right, or top to bottom with `vertical="1"`. A drag moves the separator
// between the two panes beside it, neither below its minimum; the other
// panes keep their sizes.
#include "ui/control.h"

#include <vector>

namespace SkinEngine {

// `pane`: a child of a split window.
class CSkinPane : public CSkinControl {
public:
    int IdealSize() const { return m_ideal; }
    int MinSize() const { return m_min; }
    int Priority() const { return m_priority; }
    void SetIdealSize(int size) { m_ideal = size; }

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;

private:
    int m_ideal = 0;
    int m_min = 0;
    int m_priority = 0;
};

// What sizing needs of a pane.
struct PaneSize {
    int ideal = 0;
    int min = 0;
    int priority = 0;
};

// The sizes of the panes in `total` pixels (separators already taken off),
// by the rule above; each at least its minimum.
std::vector<int> SplitSizes(const std::vector<PaneSize>& panes, int total);

class CSkinSplit : public CSkinControl {
public:
    explicit CSkinSplit(bool vertical, bool draggable = false) : m_vertical(vertical), m_draggable(draggable) {}
    bool Vertical() const { return m_vertical; }
    int SepSize() const { return m_sepSize; }
    // The separators between shown panes, as laid out last.
    const std::vector<SkinRect>& Separators() const { return m_separators; }

    void OnMouseDown(POINT pt, ISkinHost& host) override;
    void OnMouseMove(POINT pt, ISkinHost& host) override;
    void OnMouseUp(POINT pt, ISkinHost& host) override;
    // Over a separator that drags, and while dragging: the sizing arrows.
    HCURSOR Cursor() const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    // Children with a fixed position keep it; the others are the panes.
    void OnLayout(const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

private:
    bool m_vertical;
    bool m_draggable;
    int m_sepSize = 0;
    // The drag: the panes either side of the separator held, where the
    // mouse took it and their sizes then.
    CSkinPane* m_dragBefore = nullptr;
    CSkinPane* m_dragAfter = nullptr;
    int m_grab = 0, m_sizeBefore = 0, m_sizeAfter = 0;
    std::string m_sepSkin;
    std::vector<SkinRect> m_separators;
};

void RegisterSplitControls(ControlFactory& factory);

}  // namespace SkinEngine
