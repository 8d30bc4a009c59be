#pragma once
// Scroll bars: the `scrollbar` skin kind, the bar's geometry and mouse
// behaviour, and `divex`/`scrollview`, containers whose children scroll.
#include "ui/control.h"
#include "ui/skins.h"

namespace SkinEngine {

// The parts of a scroll-bar image: rows of one part each, the state columns
// (0 normal, 1 hovered, 2 pressed, 3 disabled) side by side. A part is as
// high as a column is wide.
enum class ScrollPart { kUpArrow, kDownArrow, kTrack, kThumb, kGrip, kLeftArrow, kRightArrow };

// `scrollbar`: the image set of a bar. Track and thumb keep `magin` pixels
// (default 3) unstretched at each end; the grip sits, at its natural size,
// in the middle of a thumb long enough for it.
class CSkinScrollBar : public CSkinImageList {
public:
    bool SetAttribute(const std::string& name, const std::string& value) override;
    // Draws the track over `dest`.
    void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const override;
    void DrawPart(HDC hdc, ScrollPart part, unsigned state, const RECT& dest, bool vertical = true) const;
    // The width of a state column: a part's side.
    int PartSize() const;
    int magin = 3;
};

// A vertical scroll bar over `content` pixels of which `view` are seen. The
// offset, the first content pixel seen, always stays in 0..content - view.
class ScrollBar {
public:
    enum Hit { kNone, kUp, kDown, kPageUp, kPageDown, kThumb };

    // Both clamp the offset; true when it changed.
    bool SetRange(int content, int view);
    bool SetOffset(int offset);
    int Offset() const { return m_offset; }
    int MaxOffset() const { return m_content > m_view ? m_content - m_view : 0; }
    // A bar is shown only when the content does not fit.
    bool Needed() const { return m_content > m_view; }
    void SetLineStep(int pixels) { m_line = pixels > 0 ? pixels : 20; }

    // Where the bar lies; arrows are as high as the bar is wide.
    void Place(const SkinRect& rect) { m_rect = rect; }
    const SkinRect& Rect() const { return m_rect; }
    SkinRect UpArrow() const;
    SkinRect DownArrow() const;
    SkinRect Track() const;
    // At least kMinThumb long, placed along the track by the offset.
    SkinRect Thumb() const;
    Hit HitTest(POINT pt) const;

    // Arrow: a line; track: a page towards the point; thumb: starts a drag.
    // True when the offset changed.
    bool MouseDown(POINT pt);
    // The thumb follows the mouse from where it was grabbed.
    bool MouseMove(POINT pt);
    void MouseUp() { m_pressed = kNone; }
    // Three lines a notch, up for a positive delta.
    bool Wheel(int delta);
    // Which part the mouse is over, for painting it hovered.
    void SetHover(Hit hit) { m_hover = hit; }
    Hit Pressed() const { return m_pressed; }

    void Paint(HDC hdc, const CSkinScrollBar* skin) const;

    static const int kMinThumb = 16;

private:
    unsigned StateOf(Hit part) const;

    int m_content = 0, m_view = 0, m_offset = 0;
    int m_line = 20;
    SkinRect m_rect;
    Hit m_hover = kNone, m_pressed = kNone;
    int m_grabY = 0, m_grabOffset = 0;
};

// `divex`, `scrollview`: containers whose children may reach below them.
// When they do, a bar `sbwidth` wide (16 by default) drawn with the skin
// `sbskin` stands at the right edge, the children are laid out that much
// narrower, shifted up by the offset and clipped to the container.
class CSkinScrollView : public CSkinControl {
public:
    const ScrollBar& Bar() const { return m_bar; }
    // Scrolls to `offset` (clamped) and lays the children out again.
    void ScrollTo(int offset, const SkinContext& ctx);

    void OnMouseDown(POINT pt, ISkinHost& host) override;
    void OnMouseMove(POINT pt, ISkinHost& host) override;
    void OnMouseUp(POINT pt, ISkinHost& host) override;
    bool OnMouseWheel(int delta, ISkinHost& host) override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void OnLayout(const SkinContext& ctx) override;
    CSkinControl* HitTestChildren(POINT pt) override;
    void PaintChildren(HDC hdc, const SkinContext& ctx) const override;

private:
    // The children laid out in the content area; returns the content height.
    int LayoutChildren(const SkinRect& area, const SkinContext& ctx);
    void Scrolled(ISkinHost& host);

    std::string m_sbSkin;
    int m_sbWidth = 16;
    ScrollBar m_bar;
};

// `scrollbar`: a bar of its own over the positions `min` to `max` (0 to
// 100), `page` (10) of them seen at once, at `value`, drawn with its `skin`
// (a `scrollbar` skin). Its arrows move a `line` (1), the track a page, the
// thumb follows a drag, the wheel moves three lines a notch. A move is
// announced and sent as kNotifyValueChange with the new position.
class CSkinScrollBarCtrl : public CSkinControl {
public:
    int Value() const { return m_value; }
    const ScrollBar& Bar() const { return m_bar; }
    void OnMouseDown(POINT pt, ISkinHost& host) override;
    void OnMouseMove(POINT pt, ISkinHost& host) override;
    void OnMouseUp(POINT pt, ISkinHost& host) override;
    bool OnMouseWheel(int delta, ISkinHost& host) override;
    // A scroll bar whose value is its position.
    void DescribeForAccess(AccessibleDescription& out) const override;

protected:
    bool ApplyAttribute(const std::string& name, const std::string& value) override;
    void OnLayout(const SkinContext& ctx) override;
    void PaintContent(HDC hdc, const SkinContext& ctx) const override;

private:
    void Moved(bool changed, ISkinHost& host);

    int m_min = 0, m_max = 100, m_page = 10, m_line = 1, m_value = 0;
    ScrollBar m_bar;
};

void RegisterScrollControls(ControlFactory& factory);

}  // namespace SkinEngine
