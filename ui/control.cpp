#include "ui/control.h"

#include "base/log.h"
#include "ui/animate.h"
#include "ui/attrtable.h"
#include "ui/buttons.h"
#include "ui/fonts.h"
#include "ui/inputs.h"
#include "ui/listbox.h"
#include "ui/native.h"
#include "ui/scrollbar.h"
#include "ui/split.h"
#include "ui/tabctrl.h"

#include <oleacc.h>

#include <algorithm>

namespace SkinEngine {

LRESULT ISkinHost::Notify(UINT code, CSkinControl* control, CSkinControl* row, int rowIndex, int value)
{
    SkinNotify notify{};
    notify.hdr.hwndFrom = Window();
    notify.hdr.idFrom = kEngineNotifyId;
    notify.hdr.code = code;
    notify.control = control;
    notify.id = control ? control->Id() : 0;
    notify.row = row;
    notify.rowIndex = rowIndex;
    notify.value = value;
    return SendNotify(notify);
}

const CSkinBase* SkinContext::FindSkin(const std::string& name) const
{
    if (name.empty()) return nullptr;
    auto found = skins.find(name);
    return found == skins.end() ? nullptr : found->second.get();
}

// --- CSkinControl ---

bool CSkinControl::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinControl;
    static const AttrSetter<C> table[] = {
        {"id", [](C& c, const std::string& v) { c.m_id = SkinIntOr(v, 0); }},
        {"name", [](C& c, const std::string& v) { c.m_name = v; }},
        {"pos", [](C& c, const std::string& v) { c.m_pos = ParsePos(v); }},
        {"skin", [](C& c, const std::string& v) { c.m_skin = v; }},
        {"show", [](C& c, const std::string& v) { c.m_visible = SkinIntOr(v, 1) != 0; }},
        {"state", [](C& c, const std::string& v) {
             const unsigned bits = static_cast<unsigned>(SkinIntOr(v, 0));
             c.m_checked = (bits & kControlChecked) != 0;
             if (bits & kControlHidden) c.m_visible = false;
         }},
        {"tip", [](C& c, const std::string& v) { c.m_tip = Utf8ToWide(v); }},
        {"href", [](C&, const std::string&) {}},
        {"data", [](C& c, const std::string& v) { c.m_data = SkinIntOr(v, 0); }},
        {"font", [](C& c, const std::string& v) { c.m_font = v; }},
        {"crtext", [](C& c, const std::string& v) { c.m_crtext = ParseColor(v); }},
        {"crbg", [](C& c, const std::string& v) {
             c.m_crbg = ParseColor(v);
             c.m_hasBg = true;
         }},
        {"crbghover", [](C& c, const std::string& v) {
             c.m_crbgHover = ParseColor(v);
             c.m_hasBgHover = true;
         }},
        {"ncskin", [](C& c, const std::string& v) { c.m_ncSkin = v; }},
        {"default", [](C& c, const std::string& v) { c.m_isDefault = SkinIntOr(v, 0) != 0; }},
        {"cancel", [](C& c, const std::string& v) { c.m_isCancel = SkinIntOr(v, 0) != 0; }},
        {"maxwidth", [](C& c, const std::string& v) { c.m_maxWidth = std::max(0, SkinIntOr(v, 0)); }},
        {"clipclient", [](C& c, const std::string& v) { c.m_clipClient = SkinIntOr(v, 0) != 0; }},
        {"spacing", [](C& c, const std::string& v) { c.m_charSpacing = SkinIntOr(v, 0); }},
        {"linespacing", [](C& c, const std::string& v) { c.m_lineSpacing = std::max(0, SkinIntOr(v, 0)); }},
        {"dotted", [](C& c, const std::string& v) { c.m_dotted = SkinIntOr(v, 0) != 0; }},
        {"textmode", [](C& c, const std::string& v) { c.m_textMode = ParseTextMode(v); }},
        {"align", [](C& c, const std::string& v) {
             unsigned align = 0;
             if (!ParseAlign(v, align)) return;
             c.m_textMode &= ~(kTextCentre | kTextRight);
             if (align == kAlignCenter) c.m_textMode |= kTextCentre;
             if (align == kAlignRight) c.m_textMode |= kTextRight;
         }},
        {"valign", [](C& c, const std::string& v) {
             unsigned align = 0;
             if (!ParseVAlign(v, align)) return;
             c.m_textMode &= ~(kTextVCentre | kTextBottom);
             if (align == kVAlignMiddle) c.m_textMode |= kTextVCentre;
             if (align == kVAlignBottom) c.m_textMode |= kTextBottom;
         }},
        {"x-margin", [](C& c, const std::string& v) { c.m_xMargin = std::max(0, SkinIntOr(v, 0)); }},
        {"y-margin", [](C& c, const std::string& v) { c.m_yMargin = std::max(0, SkinIntOr(v, 0)); }},
        {"margin", [](C& c, const std::string& v) { c.m_xMargin = c.m_yMargin = std::max(0, SkinIntOr(v, 0)); }},
        {"msgtransparent", [](C& c, const std::string& v) { c.m_msgTransparent = SkinIntOr(v, 0) != 0; }},
        {"cursor", [](C& c, const std::string& v) {
             const SkinCursor cursor = ParseCursor(v);
             if (cursor != SkinCursor::kNone) c.m_cursor = cursor;
         }},
    };
    return ApplyFromTable(table, *this, name, value);
}

void CSkinControl::SetText(const std::string& utf8)
{
    SetText(Utf8ToWide(utf8));
}

void CSkinControl::SetText(std::wstring text)
{
    if (text == m_text) return;
    m_text = std::move(text);
    AnnounceChange(kChangedName);
}

CSkinControl* CSkinControl::AddChild(std::unique_ptr<CSkinControl> child)
{
    child->m_parent = this;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

CSkinControl* CSkinControl::FindById(int id)
{
    if (m_id == id) return this;
    for (auto& child : m_children)
        if (CSkinControl* found = child->FindById(id)) return found;
    return nullptr;
}

// --- Mouse and window ---

namespace {
// The windows are all on the main thread.
std::vector<IControlWatcher*>& Watchers()
{
    static std::vector<IControlWatcher*> watchers;
    return watchers;
}
}  // namespace

void WatchControls(IControlWatcher* watcher, bool watch)
{
    auto& list = Watchers();
    list.erase(std::remove(list.begin(), list.end(), watcher), list.end());
    if (watch) list.push_back(watcher);
}

CSkinControl::~CSkinControl()
{
    for (IControlWatcher* watcher : Watchers()) watcher->ControlGone(this);
}

void CSkinControl::AnnounceChange(unsigned what)
{
    // A watcher may stop watching while it is told.
    const std::vector<IControlWatcher*> watchers = Watchers();
    for (IControlWatcher* watcher : watchers) watcher->ControlChanged(this, what);
}

// --- Assistive technology ---

void CSkinControl::DescribeForAccess(AccessibleDescription& out) const
{
    if (!m_text.empty()) out.role = ROLE_SYSTEM_STATICTEXT;
}

void CSkinControl::AccessibleParts(std::vector<CSkinControl*>& out) const
{
    for (const auto& child : m_children) out.push_back(child.get());
}

void CSkinText::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_STATICTEXT;
}

namespace {

std::map<std::string, std::wstring>& SkinAccessNames()
{
    static std::map<std::string, std::wstring> names;
    return names;
}

void NameBySkin(const std::string& skin, AccessibleDescription& out)
{
    if (!out.name.empty()) return;
    const auto found = SkinAccessNames().find(skin);
    if (found != SkinAccessNames().end()) out.name = found->second;
}

} // namespace

void NameSkinForAccess(const std::string& skin, const std::wstring& name)
{
    SkinAccessNames()[skin] = name;
}

void CSkinImg::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_GRAPHIC;
    NameBySkin(m_skin, out);
}

void CSkinImgButton::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_PUSHBUTTON;
    NameBySkin(m_skin, out);
}

bool CSkinControl::IsShown() const
{
    for (const CSkinControl* c = this; c; c = c->m_parent)
        if (!c->m_visible) return false;
    return true;
}

CSkinControl* CSkinControl::HitTest(POINT pt)
{
    if (!m_visible || !m_rect.Contains(pt.x, pt.y)) return nullptr;
    if (CSkinControl* inner = HitTestChildren(pt)) return inner;
    return m_msgTransparent ? nullptr : this;
}

CSkinControl* CSkinControl::HitTestChildren(POINT pt)
{
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        if (CSkinControl* hit = (*it)->HitTest(pt)) return hit;
    return nullptr;
}

void CSkinControl::OnMouseEnter(ISkinHost& host)
{
    m_hover = true;
    host.Invalidate(m_rect);
}

void CSkinControl::OnMouseLeave(ISkinHost& host)
{
    m_hover = false;
    host.Invalidate(m_rect);
}

void CSkinControl::OnMouseDown(POINT pt, ISkinHost& host)
{
    if (!m_enabled) return;
    m_pressed = true;
    host.Invalidate(m_rect);
}

void CSkinControl::OnMouseUp(POINT pt, ISkinHost& host)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    host.Invalidate(m_rect);
    if (wasPressed && m_enabled && IsShown() && m_rect.Contains(pt.x, pt.y)) OnClick(pt, host);
}

LRESULT CSkinControl::NotifyClick(ISkinHost& host)
{
    for (CSkinControl* above = m_parent; above; above = above->m_parent)
        if (above->OnChildClick(*this, host)) return 0;
    return host.Notify(kNotifyClick, this);
}

HCURSOR CSkinControl::Cursor() const
{
    switch (m_cursor) {
    case SkinCursor::kHand: return LoadCursor(nullptr, IDC_HAND);
    case SkinCursor::kArrow: return LoadCursor(nullptr, IDC_ARROW);
    default: return nullptr;
    }
}

void CSkinControl::Attach(ISkinHost& host)
{
    for (auto& child : m_children) child->Attach(host);
}

void CSkinControl::Detach()
{
    for (auto& child : m_children) child->Detach();
}

SkinSize CSkinControl::ContentSize(const SkinContext& ctx) const
{
    if (const CSkinBase* skin = ctx.FindSkin(m_skin)) {
        const SIZE size = skin->GetSize();
        if (size.cx > 0 && size.cy > 0) return SkinSize{size.cx, size.cy};
    }
    return TextSize(ctx, m_text);
}

void CSkinControl::Layout(const SkinRect& parent, const SkinContext& ctx)
{
    if (!ResolvePos(m_pos, parent, ContentSize(ctx), m_rect)) m_rect = parent;
    int y = m_rect.top;
    for (auto& child : m_children) {
        if (child->m_pos.Fixed()) {
            child->Layout(m_rect, ctx);
            continue;
        }
        const int height = child->m_visible ? std::max(0, child->ContentSize(ctx).cy) : 0;
        const int bottom = std::max(y, std::min(m_rect.bottom, y + height));
        child->Layout(SkinRect{m_rect.left, y, m_rect.right, bottom}, ctx);
        y = bottom;
    }
    OnLayout(ctx);
}

void CSkinControl::Paint(HDC hdc, const SkinContext& ctx) const
{
    if (!m_visible) return;
    const RECT rect = ToRect<RECT>(m_rect);
    const bool hoverBg = m_hover && m_hasBgHover;
    if (m_hasBg || hoverBg) {
        HBRUSH brush = CreateSolidBrush((hoverBg ? m_crbgHover : m_crbg).Ref());
        FillRect(hdc, &rect, brush);
        DeleteObject(brush);
    }
    if (const CSkinBase* skin = ctx.FindSkin(m_skin)) skin->Draw(hdc, rect, PaintState());
    PaintContent(hdc, ctx);
    const int saved = m_clipClient ? SaveDC(hdc) : 0;
    if (m_clipClient) IntersectClipRect(hdc, rect.left, rect.top, rect.right, rect.bottom);
    PaintChildren(hdc, ctx);
    if (m_clipClient) RestoreDC(hdc, saved);
    if (const CSkinBase* frame = ctx.FindSkin(m_ncSkin)) frame->Draw(hdc, rect, 0);
}

void CSkinControl::PaintChildren(HDC hdc, const SkinContext& ctx) const
{
    for (const auto& child : m_children) child->Paint(hdc, ctx);
}

void CSkinControl::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    DrawLabel(hdc, ctx, m_text, TextRect());
}

SkinRect CSkinControl::TextRect() const
{
    SkinRect r = m_rect;
    r.left += m_xMargin;
    r.right -= m_xMargin;
    r.top += m_yMargin;
    r.bottom -= m_yMargin;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

// The text-mode bits have the values of the system's text drawing flags.
static UINT DrawFlags(unsigned mode)
{
    UINT flags = (mode & kTextModeMask) | DT_NOPREFIX;
    if (!(mode & kTextSingleLine)) flags |= DT_WORDBREAK;
    return flags;
}

namespace {

// The lines `text` breaks into at `width`: at line feeds, and where a line
// would run past the width, after its last blank or else between characters.
std::vector<std::wstring> WrapLines(HDC hdc, const std::wstring& text, int width)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring rest = text.substr(start, end - start);
        if (!rest.empty() && rest.back() == L'\r') rest.pop_back();
        while (!rest.empty()) {
            int fit = 0;
            SIZE size;
            GetTextExtentExPointW(hdc, rest.c_str(), static_cast<int>(rest.size()), std::max(1, width), &fit,
                                  nullptr, &size);
            size_t take = std::max<size_t>(1, static_cast<size_t>(fit));
            if (take < rest.size()) {
                const size_t blank = rest.find_last_of(L' ', take);
                if (blank != std::wstring::npos && blank > 0) take = blank + 1;
            }
            lines.push_back(rest.substr(0, take));
            rest.erase(0, take);
        }
        if (end == text.size()) break;
        start = end + 1;
    }
    return lines;
}

// A one-pixel dotted line, every other pixel set.
void DottedLine(HDC hdc, int left, int right, int y, COLORREF colour)
{
    for (int x = left; x < right; x += 2) SetPixel(hdc, x, y, colour);
}

}  // namespace

void CSkinControl::DrawLabel(HDC hdc, const SkinContext& ctx, const std::wstring& text, const SkinRect& rect,
                             const std::string& fontCode, SkinColor colour) const
{
    if (text.empty() || rect.Width() <= 0 || rect.Height() <= 0) return;
    HFONT font = SkinFonts().Get(fontCode, ctx.defaultFace);
    HGDIOBJ old = font ? SelectObject(hdc, font) : nullptr;
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(hdc, colour.Ref());
    const int oldExtra = SetTextCharacterExtra(hdc, m_charSpacing);
    RECT r = ToRect<RECT>(rect);
    if (m_maxWidth > 0 && r.right - r.left > m_maxWidth) {
        // The text keeps its alignment within the narrower box.
        const int spare = r.right - r.left - m_maxWidth;
        if (m_textMode & kTextRight) r.left += spare;
        else if (m_textMode & kTextCentre) r.left += spare / 2;
        r.right = r.left + m_maxWidth;
    }
    const bool singleLine = (m_textMode & kTextSingleLine) != 0;
    // Several lines that need placing or spacing are laid out here; the
    // system's drawing places only a single line vertically.
    if (singleLine || (m_lineSpacing == 0 && !(m_textMode & (kTextBottom | kTextVCentre)))) {
        UINT flags = DrawFlags(m_textMode);
        if (m_maxWidth > 0) flags |= DT_END_ELLIPSIS;
        // A line measured to fit is neither broken nor cut: a face whose
        // small sizes are drawn from bitmaps may draw a pixel or two wider
        // than it measures, and a box sized from the measure would wrap or
        // clip its last character.
        if (m_maxWidth <= 0 && text.find(L'\n') == std::wstring::npos) {
            SIZE measured = {};
            GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &measured);
            if (measured.cx <= r.right - r.left) flags = (flags & ~DT_WORDBREAK) | DT_NOCLIP;
        }
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &r, flags);
        if (m_dotted && singleLine) {
            SIZE size = {};
            GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
            const int width = std::min<int>(size.cx, r.right - r.left);
            int left = r.left;
            if (m_textMode & kTextRight) left = r.right - width;
            else if (m_textMode & kTextCentre) left = r.left + (r.right - r.left - width) / 2;
            int top = r.top;
            if (m_textMode & kTextBottom) top = r.bottom - size.cy;
            else if (m_textMode & kTextVCentre) top = r.top + (r.bottom - r.top - size.cy) / 2;
            DottedLine(hdc, left, left + width, top + size.cy - 1, colour.Ref());
        }
    } else {
        // Lines one below the other, `linespacing` apart, as a block placed
        // by the vertical alignment.
        TEXTMETRICW metrics = {};
        GetTextMetricsW(hdc, &metrics);
        const std::vector<std::wstring> lines = WrapLines(hdc, text, r.right - r.left);
        const int step = metrics.tmHeight + m_lineSpacing;
        const int block = static_cast<int>(lines.size()) * step - m_lineSpacing;
        int y = r.top;
        if (m_textMode & kTextBottom) y = r.bottom - block;
        else if (m_textMode & kTextVCentre) y = r.top + (r.bottom - r.top - block) / 2;
        const UINT flags = (m_textMode & (kTextCentre | kTextRight)) | DT_SINGLELINE | DT_NOPREFIX;
        for (const std::wstring& line : lines) {
            RECT lineRect = {r.left, y, r.right, y + metrics.tmHeight};
            if (lineRect.top >= r.bottom) break;
            DrawTextW(hdc, line.c_str(), static_cast<int>(line.size()), &lineRect, flags);
            y += step;
        }
    }
    SetTextCharacterExtra(hdc, oldExtra);
    SetTextColor(hdc, oldColour);
    SetBkMode(hdc, oldMode);
    if (old) SelectObject(hdc, old);
}

SkinSize CSkinControl::TextSize(const SkinContext& ctx, const std::wstring& text) const
{
    if (text.empty()) return SkinSize{};
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return SkinSize{};
    HFONT font = SkinFonts().Get(m_font, ctx.defaultFace);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetTextCharacterExtra(dc, m_charSpacing);
    RECT r = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    int width = r.right - r.left;
    if (m_maxWidth > 0) width = std::min(width, m_maxWidth);
    return SkinSize{width + 2 * m_xMargin, r.bottom - r.top + 2 * m_yMargin};
}

// --- CSkinImgButton ---

bool CSkinImgButton::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinImgButton;
    static const AttrSetter<C> table[] = {
        {"animate", [](C& c, const std::string& v) { c.m_animate = SkinIntOr(v, 1) != 0; }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

unsigned CSkinImgButton::PaintState() const
{
    if (!m_enabled) return 3;
    if (m_pressed) return 2;
    if (m_hover && m_skinStateIndex == 0) return 1;
    return m_skinStateIndex;
}

// --- CSkinProgress ---

bool CSkinProgress::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CSkinProgress;
    static const AttrSetter<C> table[] = {
        {"bgskin", [](C& c, const std::string& v) { c.m_bgSkin = v; }},
        {"posskin", [](C& c, const std::string& v) { c.m_posSkin = v; }},
        {"min", [](C& c, const std::string& v) { c.m_min = SkinIntOr(v, c.m_min); }},
        {"max", [](C& c, const std::string& v) { c.m_max = SkinIntOr(v, c.m_max); }},
        {"value", [](C& c, const std::string& v) { c.m_value = SkinIntOr(v, c.m_value); }},
        {"showpercent", [](C& c, const std::string& v) { c.m_showPercent = SkinIntOr(v, 0) != 0; }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

void CSkinProgress::SetValue(int value)
{
    if (value == m_value) return;
    m_value = value;
    AnnounceChange(kChangedValue);
}

int CSkinProgress::Percent() const
{
    return FilledWidth(100);  // the same clamping as the bar's
}

void CSkinProgress::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_PROGRESSBAR;
    out.value = std::to_wstring(Percent()) + L"%";
}

int CSkinProgress::FilledWidth(int width) const
{
    if (width <= 0 || m_max <= m_min) return 0;
    const long long range = static_cast<long long>(m_max) - m_min;
    const long long done = std::min<long long>(std::max<long long>(static_cast<long long>(m_value) - m_min, 0), range);
    return static_cast<int>(done * width / range);
}

SkinSize CSkinProgress::ContentSize(const SkinContext& ctx) const
{
    if (const CSkinBase* skin = ctx.FindSkin(m_bgSkin)) {
        const SIZE size = skin->GetSize();
        if (size.cx > 0 && size.cy > 0) return SkinSize{size.cx, size.cy};
    }
    return CSkinControl::ContentSize(ctx);
}

void CSkinProgress::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    RECT rect = ToRect<RECT>(m_rect);
    if (const CSkinBase* bg = ctx.FindSkin(m_bgSkin)) bg->Draw(hdc, rect, 0);
    const int filled = FilledWidth(m_rect.Width());
    if (filled > 0)
        if (const CSkinBase* bar = ctx.FindSkin(m_posSkin)) {
            RECT part = rect;
            part.right = part.left + filled;
            bar->Draw(hdc, part, 0);
        }
    if (m_showPercent) DrawLabel(hdc, ctx, std::to_wstring(Percent()) + L"%", TextRect());
    CSkinControl::PaintContent(hdc, ctx);
}

// --- Factory ---

ControlFactory::ControlFactory()
{
    Register<CSkinContainer>("body");
    Register<CSkinContainer>("div");
    Register<CSkinContainer>("dlg");
    Register<CSkinText>("text");
    Register<CSkinImg>("img");
    Register<CSkinImgButton>("imgbtn");
    Register<CSkinProgress>("progress");
    RegisterButtonControls(*this);
    RegisterTabControls(*this);
    RegisterNativeControls(*this);
    RegisterAnimationControls(*this);
    RegisterSplitControls(*this);
    RegisterScrollControls(*this);
    RegisterListControls(*this);
    RegisterInputControls(*this);
}

void ControlFactory::Register(const std::string& tag, ControlCreator creator)
{
    m_creators[tag] = std::move(creator);
}

std::unique_ptr<CSkinControl> ControlFactory::Create(const std::string& tag)
{
    std::unique_ptr<CSkinControl> control;
    auto found = m_creators.find(tag);
    if (found != m_creators.end() && found->second) control = found->second();
    if (!control) {
        if (m_unknownLogged.insert(tag).second)
            WriteLog("SkinEngine: unknown control tag <%s>, built as a plain container", tag.c_str());
        control = std::make_unique<CSkinContainer>();
    }
    control->SetTag(tag);
    return control;
}

ControlFactory& SkinControls()
{
    static ControlFactory factory;
    return factory;
}

}  // namespace SkinEngine
