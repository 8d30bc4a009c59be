#include "ui/menu.h"

#include "ui/accessible.h"
#include "ui/fonts.h"
#include "ui/resources.h"
#include "ui/wndthunk.h"

#include <tinyxml.h>

#include <algorithm>

namespace SkinEngine {

const wchar_t kSkinMenuClass[] = L"SkinEngineMenu";

namespace {

const UINT_PTR kFocusPollTimer = 1;
const UINT kFocusPollMs = 100;

// Metrics beyond this make no sense on any screen; documents cannot ask more.
const int kMaxMetric = 1000;

int Metric(const char* value, int fallback)
{
    return std::max(0, std::min(SkinIntOr(SkinText(value), fallback), kMaxMetric));
}

std::wstring Wide(const char* utf8)
{
    return utf8 ? Utf8ToWide(utf8) : std::wstring();
}

std::string Text(const char* value)
{
    return value ? std::string(value) : std::string();
}

SIZE NaturalSize(const SkinContext& ctx, const std::string& name)
{
    const CSkinBase* skin = ctx.FindSkin(name);
    SIZE size = skin ? skin->GetSize() : SIZE{0, 0};
    if (size.cx < 0 || size.cy < 0) size = SIZE{0, 0};
    return size;
}

HFONT MenuFont(const SkinContext& ctx)
{
    return SkinFonts().Get("", ctx.defaultFace);
}

}  // namespace

// --- Model ---

bool SkinMenu::Load(const std::string& xml)
{
    *this = SkinMenu();
    TiXmlDocument doc;
    if (!ParseXml(xml, doc)) return false;
    const TiXmlElement* root = doc.RootElement();
    if (!root || std::string(root->Value()) != "menu") return false;

    itemSkin = Text(root->Attribute("itemskin"));
    iconSkin = Text(root->Attribute("iconskin"));
    checkSkin = Text(root->Attribute("checkskin"));
    sepSkin = Text(root->Attribute("sepskin"));
    bgSkin = Text(root->Attribute("bgskin"));
    itemHeight = std::max(1, Metric(root->Attribute("itemheight"), itemHeight));
    iconMargin = Metric(root->Attribute("iconmargin"), iconMargin);
    textMargin = Metric(root->Attribute("textmargin"), textMargin);

    for (const TiXmlElement* child = root->FirstChildElement(); child && items.size() < kMaxItems;
         child = child->NextSiblingElement()) {
        const std::string tag = child->Value();
        SkinMenuItem item;
        if (tag == "sep") {
            item.separator = true;
        } else if (tag == "item") {
            item.id = SkinIntOr(SkinText(child->Attribute("id")), 0);
            item.text = Wide(child->GetText());
            item.disabled = SkinIntOr(SkinText(child->Attribute("disable")), 0) != 0;
        } else {
            continue;
        }
        items.push_back(std::move(item));
    }
    return true;
}

bool LoadSkinMenu(DocumentSource& source, unsigned id, SkinMenu& menu)
{
    std::string text;
    if (!source.Xml(id, text)) {
        menu = SkinMenu();
        return false;
    }
    return menu.Load(text);
}

// --- Geometry ---

SkinMenuLayout LayoutSkinMenu(const SkinMenu& menu, const SkinContext& ctx)
{
    SkinMenuLayout layout;
    const SIZE icon = NaturalSize(ctx, menu.iconSkin);
    layout.textLeft = menu.iconMargin + (icon.cx > 0 ? static_cast<int>(icon.cx) : kMenuIconWidth) + menu.textMargin;
    const int sepHeight = std::max<int>(kMenuSepHeight, NaturalSize(ctx, menu.sepSkin).cy);

    int widest = 0;
    if (HDC dc = CreateCompatibleDC(nullptr)) {
        HFONT font = MenuFont(ctx);
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        for (const SkinMenuItem& item : menu.items) {
            if (item.separator || item.text.empty()) continue;
            RECT r = {0, 0, 0, 0};
            DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &r,
                      DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            widest = std::max(widest, static_cast<int>(r.right - r.left));
        }
        if (old) SelectObject(dc, old);
        DeleteDC(dc);
    }
    widest = std::min(widest, 4 * kMaxMetric);  // an absurdly long text is cut when drawn

    // A border skin says how wide its edges are; any other background gets
    // the standard band.
    int edge[4] = {kMenuBorder, kMenuBorder, kMenuBorder, kMenuBorder};  // left, top, right, bottom
    if (const auto* border = dynamic_cast<const CSkinBorder*>(ctx.FindSkin(menu.bgSkin)))
        for (int i = 0; i < 4; ++i) edge[i] = std::min(border->widths[i], kMaxMetric);

    const int width = std::max({kMenuMinWidth, std::min(menu.minWidth, 4 * kMaxMetric),
                                edge[0] + edge[2] + layout.textLeft + widest + menu.textMargin});
    int y = edge[1];
    for (const SkinMenuItem& item : menu.items) {
        const int height = item.separator ? sepHeight : menu.itemHeight;
        layout.rows.push_back(SkinRect{edge[0], y, width - edge[2], y + height});
        y += height;
    }
    layout.size = SkinSize{width, y + edge[3]};
    return layout;
}

int SkinMenuItemAt(const SkinMenu& menu, const SkinMenuLayout& layout, POINT pt)
{
    for (size_t i = 0; i < layout.rows.size() && i < menu.items.size(); ++i)
        if (layout.rows[i].Contains(pt.x, pt.y)) return menu.items[i].Choosable() ? static_cast<int>(i) : -1;
    return -1;
}

// --- Painting ---

void PaintSkinMenu(HDC hdc, const SkinMenu& menu, const SkinMenuLayout& layout, const SkinContext& ctx, int hot)
{
    const RECT all = {0, 0, layout.size.cx, layout.size.cy};
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(hdc, &all, white);
    DeleteObject(white);
    if (const CSkinBase* bg = ctx.FindSkin(menu.bgSkin)) bg->Draw(hdc, all, 0);

    const CSkinBase* itemSkin = ctx.FindSkin(menu.itemSkin);
    const CSkinBase* sepSkin = ctx.FindSkin(menu.sepSkin);
    const auto* strip = dynamic_cast<const CSkinImageList*>(itemSkin);
    const unsigned hotState = strip && strip->stateCount >= 2 ? 1 : 0;
    const int sepBand = std::max<int>(1, NaturalSize(ctx, menu.sepSkin).cy);

    HFONT font = MenuFont(ctx);
    HGDIOBJ oldFont = font ? SelectObject(hdc, font) : nullptr;
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColour = GetTextColor(hdc);
    for (size_t i = 0; i < layout.rows.size() && i < menu.items.size(); ++i) {
        const SkinMenuItem& item = menu.items[i];
        const SkinRect& row = layout.rows[i];
        if (item.separator) {
            const int top = row.top + (row.Height() - sepBand) / 2;
            const RECT band = {row.left + menu.iconMargin, top, std::max(row.left, row.right - menu.iconMargin),
                               top + sepBand};
            if (sepSkin && band.right > band.left) sepSkin->Draw(hdc, band, 0);
            continue;
        }
        const RECT r = ToRect<RECT>(row);
        if (static_cast<int>(i) == hot && item.Choosable() && itemSkin) itemSkin->Draw(hdc, r, hotState);
        RECT text = {row.left + layout.textLeft, row.top, std::max(row.left, row.right - menu.textMargin), row.bottom};
        SetTextColor(hdc, item.disabled ? kMenuDisabledColor : kMenuTextColor);
        DrawTextW(hdc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    SetTextColor(hdc, oldColour);
    SetBkMode(hdc, oldMode);
    if (oldFont) SelectObject(hdc, oldFont);
}

// --- The popup ---

namespace {

// The popup as screen readers see it: a menu whose items are its parts,
// item i (from 0) the node i + 1 with the event id -(i + 1).
struct Popup;
class MenuAccessTree : public AccessTree {
public:
    explicit MenuAccessTree(const Popup& popup) : m_popup(popup) {}
    HWND Window() const override;
    long RootRole() const override { return ROLE_SYSTEM_MENUPOPUP; }
    bool Describe(Node node, AccessibleNode& out) override;
    bool Parts(Node node, std::vector<Node>& out) override;
    Node ParentOf(Node) override { return nullptr; }
    Node Focused() override;
    long EventId(Node node) override { return -static_cast<long>(Index(node) + 1); }
    bool FromEventId(long id, Node& node) override
    {
        if (id >= 0 || -id > static_cast<long>(Count())) return false;
        node = NodeOf(static_cast<size_t>(-id - 1));
        return true;
    }

    static Node NodeOf(size_t index) { return reinterpret_cast<Node>(index + 1); }

private:
    static size_t Index(Node node) { return reinterpret_cast<size_t>(node) - 1; }
    size_t Count() const;
    const Popup& m_popup;
};

struct Popup {
    const SkinMenu* menu;
    const SkinContext* ctx;
    SkinMenuLayout layout;
    HWND wnd = nullptr;
    int hot = -1;
    bool done = false;
    int chosen = 0;
    MenuAccessTree accessTree{*this};
    AccessibleServer access{accessTree};

    void Finish(int id)
    {
        if (done) return;
        done = true;
        chosen = id;
    }

    void SetHot(int index)
    {
        if (index == hot) return;
        hot = index;
        InvalidateRect(wnd, nullptr, FALSE);
        if (index >= 0) access.Raise(EVENT_OBJECT_FOCUS, MenuAccessTree::NodeOf(static_cast<size_t>(index)));
    }

    // The next choosable item from `hot` in direction `step`, wrapping.
    void MoveHot(int step)
    {
        const int count = static_cast<int>(menu->items.size());
        int index = hot;
        for (int n = 0; n < count; ++n) {
            index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
            if (menu->items[static_cast<size_t>(index)].Choosable()) {
                SetHot(index);
                return;
            }
        }
    }

    void Choose(int index)
    {
        if (index >= 0 && menu->items[static_cast<size_t>(index)].Choosable())
            Finish(menu->items[static_cast<size_t>(index)].id);
    }

    bool Inside(LPARAM lParam) const
    {
        const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
        return x >= 0 && y >= 0 && x < layout.size.cx && y < layout.size.cy;
    }

    int ItemAt(LPARAM lParam) const
    {
        const POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        return SkinMenuItemAt(*menu, layout, pt);
    }

    void Paint()
    {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        CSkinDib dib(layout.size.cx, layout.size.cy);
        if (dib.ok()) {
            PaintSkinMenu(dib.Dc(), *menu, layout, *ctx, hot);
            GdiFlush();
            BitBlt(dc, 0, 0, layout.size.cx, layout.size.cy, dib.Dc(), 0, 0, SRCCOPY);
        }
        EndPaint(wnd, &ps);
    }

    // The popup's messages, from the window procedure.
    LRESULT Handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_NCCREATE) wnd = hwnd;
        switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEMOVE: SetHot(ItemAt(lParam)); return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            // With the capture every click arrives here; one outside dismisses.
            if (!Inside(lParam)) Finish(0);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: Choose(ItemAt(lParam)); return 0;
        case WM_KEYDOWN:
            switch (wParam) {
            case VK_ESCAPE: Finish(0); break;
            case VK_UP: MoveHot(-1); break;
            case VK_DOWN: MoveHot(1); break;
            case VK_RETURN: Choose(hot); break;
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) Finish(0);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd) Finish(0);
            return 0;
        case WM_CANCELMODE: Finish(0); return 0;
        case WM_TIMER: return 0;
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_GETOBJECT:
            if (const LRESULT answer = access.Answer(wParam, lParam)) return answer;
            break;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
};

HWND MenuAccessTree::Window() const
{
    return m_popup.wnd;
}

size_t MenuAccessTree::Count() const
{
    return m_popup.menu->items.size();
}

bool MenuAccessTree::Describe(Node node, AccessibleNode& out)
{
    const HWND wnd = Window();
    if (!wnd) return false;
    RECT rect = {};
    if (!node) {
        out.role = RootRole();
        out.state = IsWindowVisible(wnd) ? 0 : STATE_SYSTEM_INVISIBLE;
        GetClientRect(wnd, &rect);
    } else {
        const size_t index = Index(node);
        if (index >= Count() || index >= m_popup.layout.rows.size()) return false;
        const SkinMenuItem& item = m_popup.menu->items[index];
        out.role = item.separator ? ROLE_SYSTEM_SEPARATOR : ROLE_SYSTEM_MENUITEM;
        out.name = item.separator ? std::wstring() : item.text;
        out.state = 0;
        if (item.disabled) out.state |= STATE_SYSTEM_UNAVAILABLE;
        if (item.Choosable()) out.state |= STATE_SYSTEM_FOCUSABLE;
        if (static_cast<int>(index) == m_popup.hot) out.state |= STATE_SYSTEM_FOCUSED | STATE_SYSTEM_HOTTRACKED;
        rect = ToRect<RECT>(m_popup.layout.rows[index]);
    }
    MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    out.screen = rect;
    return true;
}

bool MenuAccessTree::Parts(Node node, std::vector<Node>& out)
{
    out.clear();
    if (!Window()) return false;
    if (node) return Index(node) < Count();  // items hold nothing
    for (size_t i = 0; i < Count(); ++i) out.push_back(NodeOf(i));
    return true;
}

AccessTree::Node MenuAccessTree::Focused()
{
    return m_popup.hot >= 0 ? NodeOf(static_cast<size_t>(m_popup.hot)) : nullptr;
}

bool RegisterPopupClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ThunkWindowProc<Popup, &Popup::Handle>;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kSkinMenuClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

// Top-left corner so that the popup stays on the screen: left of and above
// `at` where it would run past the work area's right or bottom edge.
POINT PlacePopup(POINT at, SkinSize size)
{
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &info)) work = info.rcWork;
    POINT pos = at;
    if (pos.x + size.cx > work.right) pos.x -= size.cx;
    if (pos.y + size.cy > work.bottom) pos.y -= size.cy;
    pos.x = std::max(pos.x, work.left);
    pos.y = std::max(pos.y, work.top);
    return pos;
}

}  // namespace

int TrackSkinMenu(const SkinMenu& menu, const SkinContext& ctx, HWND owner, POINT at, bool postCommand)
{
    if (menu.items.empty() || !RegisterPopupClass()) return 0;
    Popup popup;
    popup.menu = &menu;
    popup.ctx = &ctx;
    popup.layout = LayoutSkinMenu(menu, ctx);
    const POINT pos = PlacePopup(at, popup.layout.size);
    HWND wnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kSkinMenuClass, L"", WS_POPUP,
                               pos.x, pos.y, popup.layout.size.cx, popup.layout.size.cy, owner, nullptr,
                               GetModuleHandleW(nullptr), &popup);
    if (!wnd) return 0;

    // Like a system menu, the popup never takes the activation: the owner
    // stays the foreground window and its keys are read here. The menu
    // closes when another window comes to the foreground.
    const HWND foreground = GetForegroundWindow();
    ShowWindow(wnd, SW_SHOWNA);
    SetCapture(wnd);
    UpdateWindow(wnd);
    popup.access.Raise(EVENT_SYSTEM_MENUPOPUPSTART, nullptr);
    SetTimer(wnd, kFocusPollTimer, kFocusPollMs, nullptr);  // wakes the loop to notice it

    bool quit = false;
    WPARAM quitCode = 0;
    while (!popup.done) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            break;
        }
        if (got == -1) break;
        // Keys go to the menu whichever window has the focus.
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) msg.hwnd = wnd;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        const HWND now = GetForegroundWindow();
        if (now != foreground && now != wnd) popup.Finish(0);
        if (owner && !IsWindow(owner)) popup.Finish(0);
    }
    popup.done = true;  // what follows (capture, destruction) must not change the outcome
    const int chosen = popup.chosen;
    KillTimer(wnd, kFocusPollTimer);
    popup.access.Raise(EVENT_SYSTEM_MENUPOPUPEND, nullptr);
    if (GetCapture() == wnd) ReleaseCapture();
    DestroyWindow(wnd);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    if (chosen != 0 && owner && postCommand) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return chosen;
}

}  // namespace SkinEngine
