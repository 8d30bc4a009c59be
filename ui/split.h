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
#include "ui/control.h"

#include <vector>

namespace SkinEngine {

// `pane`: a child of a split window.
class CSkinPane : public CSkinControl {
public:
    int IdealSize() const { return m_ideal; }
    int MinSize() const { return m_min; }
    int Priority() const { return m_priority; }

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
    explicit CSkinSplit(bool vertical) : m_vertical(vertical) {}
    bool Vertical() const { return m_vertical; }
    int SepSize() const { return m_sepSize; }
    // The separators between shown panes, as laid out last.
    const std::vector<SkinRect>& Separators() const { return m_separators; }

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    // Children with a fixed position keep it; the others are the panes.
    void OnLayout(const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

private:
    bool m_vertical;
    int m_sepSize = 0;
    std::string m_sepSkin;
    std::vector<SkinRect> m_separators;
};

void RegisterSplitControls(ControlFactory& factory);

}  // namespace SkinEngine
