#include "gui/controls.h"

#include "base/log.h"
#include "base/textconv.h"
#include "ui/animate.h"
#include "ui/attrtable.h"
#include "ui/tabctrl.h"

#include <tinyxml.h>

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <climits>

using namespace SkinEngine;

namespace {

// Rows are a few levels deep; deeper markup is cut off.
constexpr int kMaxRowDepth = 16;

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

// The parser's white-space setting is process-wide; row texts need their
// blanks (descriptions may begin with one), the layouts want them condensed.
// Everything is parsed on the window thread, so switching it around one
// parse is safe.
class KeepWhiteSpace {
public:
    KeepWhiteSpace() : m_old(TiXmlBase::IsWhiteSpaceCondensed()) { TiXmlBase::SetCondenseWhiteSpace(false); }
    ~KeepWhiteSpace() { TiXmlBase::SetCondenseWhiteSpace(m_old); }

private:
    bool m_old;
};

}  // namespace

void RegisterApplicationControls(ControlFactory& factory)
{
    factory.Register<CMyImgBtn>("myimgbtn");
    factory.Register<CMyListBox>("mylistbox");
    factory.Register<CMyImgWnd>("myimg");
    factory.Register<CMyRichEdit>("search");
    // The chat-style controls no layout of ours uses: the tabs are the
    // engine's, the tree is ours.
    factory.Register<CSkinTab>("chattab");
    factory.Register<CSkinTabCtrl>("chattabctrl");
    factory.Register<CChatTreeCtrl>("chattreectrl");
    // The "checking" spinner is an animated GIF.
    RegisterGifSkin();
    // A check row's button reads as the words on its image, its state icon
    // as the state it shows.
    NameSkinForAccess("skin_item_repair", L"立即修复");
    NameSkinForAccess("skin_item_watch", L"查看详情");
    NameSkinForAccess("skin_check_right", L"通过");
    NameSkinForAccess("skin_check_warning", L"警告");
    NameSkinForAccess("skin_check_wrong", L"未通过");
}

// --- CMyListRow ---

void CMyListRow::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_LISTITEM;
    // A row scrolled wholly out of the box is not on the screen.
    if (const CSkinControl* box = Parent())
        if (m_rect.bottom <= box->Rect().top || m_rect.top >= box->Rect().bottom) out.state |= STATE_SYSTEM_OFFSCREEN;
}

// --- CMyListBox ---

void CMyListBox::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_LIST;
}

void CMyListBox::AccessibleParts(std::vector<CSkinControl*>& out) const
{
    for (const auto& row : m_rows) out.push_back(row.get());
    CSkinControl::AccessibleParts(out);
}

bool CMyListBox::ApplyAttribute(const std::string& name, const std::string& value)
{
    using C = CMyListBox;
    static const AttrSetter<C> table[] = {
        {"itemheight", [](C& c, const std::string& v) { c.m_itemHeight = std::max(0, SkinIntOr(v, c.m_itemHeight)); }},
        {"itemskin", [](C& c, const std::string& v) { c.m_itemSkin = v; }},
        {"critembg", [](C& c, const std::string& v) {
             c.m_evenBg = ParseColor(v);
             c.m_hasEvenBg = true;
         }},
        {"critembg2", [](C& c, const std::string& v) {
             c.m_oddBg = ParseColor(v);
             c.m_hasOddBg = true;
         }},
        {"virtual", [](C&, const std::string&) {}},
        {"scrollspeed", [](C& c, const std::string& v) { c.m_scrollSpeed = SkinIntOr(v, 0); }},
        {"sbskin", [](C& c, const std::string& v) { c.m_sbSkin = v; }},
        {"sbwidth", [](C& c, const std::string& v) { c.m_sbWidth = std::max(0, SkinIntOr(v, 0)); }},
    };
    return ApplyFromTable(table, *this, name, value) || CSkinControl::ApplyAttribute(name, value);
}

std::unique_ptr<CSkinControl> CMyListBox::BuildRowControl(const TiXmlElement& element, const ResourcePools& pools,
                                                          ControlFactory& factory, int depth, bool isRow)
{
    // The row element itself is a plain container whatever its tag.
    std::unique_ptr<CSkinControl> control;
    if (isRow) {
        control = std::make_unique<CMyListRow>();
        control->SetTag(element.Value());
    } else {
        control = factory.Create(element.Value());
    }
    for (const Attr& a : pools.ControlAttributes(element)) control->SetAttribute(a.name, a.value);
    // Row texts come from the workstation: no string references are expanded.
    if (const char* text = element.GetText()) control->SetText(std::string(text));
    if (depth >= kMaxRowDepth) return control;
    for (const TiXmlElement* child = element.FirstChildElement(); child; child = child->NextSiblingElement())
        control->AddChild(BuildRowControl(*child, pools, factory, depth + 1, false));
    return control;
}

int CMyListBox::AppendRow(const std::wstring& markup, const ResourcePools& pools, ControlFactory& factory)
{
    TiXmlDocument doc;
    {
        KeepWhiteSpace keep;
        doc.Parse(WideToUtf8(markup).c_str(), nullptr, TIXML_ENCODING_UTF8);
    }
    const TiXmlElement* root = doc.RootElement();
    if (doc.Error() || !root) {
        WriteLog("CMyListBox: row markup not parsed: %s", doc.ErrorDesc());
        return -1;
    }
    m_rows.push_back(BuildRowControl(*root, pools, factory, 0, true));
    SyncBar();
    Adopt(*this, *m_rows.back());
    return RowCount() - 1;
}

int CMyListBox::AppendRow(const std::string& markup, const ResourcePools& pools, ControlFactory& factory)
{
    return AppendRow(AnsiToWide(markup), pools, factory);
}

CSkinControl* CMyListBox::Row(int row) const
{
    if (row < 0 || row >= RowCount()) return nullptr;
    return m_rows[static_cast<size_t>(row)].get();
}

CSkinControl* CMyListBox::FindInRow(int row, int id) const
{
    CSkinControl* line = Row(row);
    return line ? line->FindById(id) : nullptr;
}

bool CMyListBox::ShowInRow(int row, int id, bool show)
{
    CSkinControl* control = FindInRow(row, id);
    if (control) control->SetVisible(show);
    return control != nullptr;
}

bool CMyListBox::SetSkinInRow(int row, int id, const std::string& skin)
{
    CSkinControl* control = FindInRow(row, id);
    return control && control->SetAttribute("skin", skin);
}

bool CMyListBox::SetNameInRow(int row, int id, const std::string& name)
{
    CSkinControl* control = FindInRow(row, id);
    return control && control->SetAttribute("name", name);
}

bool CMyListBox::SetTextInRow(int row, int id, const std::string& utf8)
{
    CSkinControl* control = FindInRow(row, id);
    if (control) control->SetText(utf8);
    return control != nullptr;
}

SkinRect CMyListBox::RowRect(int row) const
{
    if (row < 0 || row >= RowCount()) return SkinRect{};
    // 64-bit so that a huge list cannot wrap the coordinates.
    const long long top = m_rect.top + static_cast<long long>(row) * m_itemHeight - m_scroll;
    const long long clampedTop = std::min<long long>(top, INT_MAX - m_itemHeight);
    const int right = BarShown() ? std::max(m_rect.left, m_rect.right - m_sbWidth) : m_rect.right;
    return SkinRect{m_rect.left, static_cast<int>(clampedTop), right, static_cast<int>(clampedTop + m_itemHeight)};
}

void CMyListBox::ScrollTo(int offset)
{
    const long long content = static_cast<long long>(RowCount()) * m_itemHeight;
    const long long most = std::max<long long>(0, content - std::max(0, m_rect.Height()));
    m_scroll = static_cast<int>(std::min<long long>(std::max(0, offset), most));
    SyncBar();
}

void CMyListBox::SyncBar()
{
    const long long content = static_cast<long long>(RowCount()) * m_itemHeight;
    m_bar.SetRange(static_cast<int>(std::min<long long>(content, INT_MAX / 2)), std::max(0, m_rect.Height()));
    m_bar.SetOffset(m_scroll);
    m_bar.SetLineStep(m_scrollSpeed > 0 ? m_scrollSpeed : m_itemHeight);
    m_bar.Place(SkinRect{std::max(m_rect.left, m_rect.right - m_sbWidth), m_rect.top, m_rect.right, m_rect.bottom});
}

void CMyListBox::BarScrolled(ISkinHost& host)
{
    m_scroll = m_bar.Offset();
    LayoutRows(host.Context());
    host.Invalidate(m_rect);
}

void CMyListBox::OnMouseDown(POINT pt, ISkinHost& host)
{
    CSkinControl::OnMouseDown(pt, host);
    SyncBar();
    if (BarShown() && m_bar.MouseDown(pt)) BarScrolled(host);
}

void CMyListBox::OnMouseMove(POINT pt, ISkinHost& host)
{
    if (!BarShown()) return;
    if (m_bar.MouseMove(pt)) BarScrolled(host);
    m_bar.SetHover(m_bar.HitTest(pt));
}

void CMyListBox::OnMouseUp(POINT pt, ISkinHost& host)
{
    m_bar.MouseUp();
    CSkinControl::OnMouseUp(pt, host);
}

bool CMyListBox::OnMouseWheel(int delta, ISkinHost& host)
{
    const int before = m_scroll;
    const int step = m_scrollSpeed > 0 ? m_scrollSpeed : m_itemHeight;
    ScrollTo(m_scroll - static_cast<int>(static_cast<long long>(delta) * step / WHEEL_DELTA));
    if (m_scroll == before) return false;
    LayoutRows(host.Context());
    host.Invalidate(m_rect);
    return true;
}

void CMyListBox::OnLayout(const SkinContext& ctx)
{
    ScrollTo(m_scroll);  // the box may have grown
    LayoutRows(ctx);
}

CSkinControl* CMyListBox::HitTestChildren(POINT pt)
{
    if (BarShown() && m_bar.Rect().Contains(pt.x, pt.y)) return nullptr;  // the bar is the box's own
    for (int i = 0; i < RowCount(); ++i) {
        const SkinRect slot = RowRect(i);
        if (slot.Contains(pt.x, pt.y)) return m_rows[static_cast<size_t>(i)]->HitTest(pt);
    }
    return CSkinControl::HitTestChildren(pt);
}

bool CMyListBox::OnChildClick(CSkinControl& origin, ISkinHost& host)
{
    for (int i = 0; i < RowCount(); ++i) {
        CSkinControl* row = m_rows[static_cast<size_t>(i)].get();
        for (CSkinControl* c = &origin; c; c = c->Parent())
            if (c == row) {
                host.Notify(kNotifyRowClick, &origin, row, i);
                return true;
            }
    }
    return false;
}

void CMyListBox::LayoutRows(const SkinContext& ctx) const
{
    for (int i = 0; i < RowCount(); ++i) m_rows[static_cast<size_t>(i)]->Layout(RowRect(i), ctx);
}

void CMyListBox::PaintContent(HDC hdc, const SkinContext& ctx) const
{
    CSkinControl::PaintContent(hdc, ctx);
    if (m_rows.empty() || m_rect.Width() <= 0 || m_rect.Height() <= 0) return;
    LayoutRows(ctx);
    const int saved = SaveDC(hdc);
    IntersectClipRect(hdc, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
    const CSkinBase* rowSkin = ctx.FindSkin(m_itemSkin);
    for (int i = 0; i < RowCount(); ++i) {
        const SkinRect slot = RowRect(i);
        if (slot.top >= m_rect.bottom) break;
        const RECT r = ToRect<RECT>(slot);
        const bool even = i % 2 == 0;
        if (even ? m_hasEvenBg : m_hasOddBg) {
            HBRUSH brush = CreateSolidBrush((even ? m_evenBg : m_oddBg).Ref());
            FillRect(hdc, &r, brush);
            DeleteObject(brush);
        }
        if (rowSkin) rowSkin->Draw(hdc, r, 0);
        m_rows[static_cast<size_t>(i)]->Paint(hdc, ctx);
    }
    RestoreDC(hdc, saved);
    if (BarShown()) m_bar.Paint(hdc, dynamic_cast<const CSkinScrollBar*>(ctx.FindSkin(m_sbSkin)));
}

// --- CChatTreeCtrl ---

CChatTreeCtrl::CChatTreeCtrl() : CSkinListBox(true)
{
    m_selectBranches = false;
    m_itemHeight = 24;
}
