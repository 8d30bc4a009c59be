#pragma once
// Skinned popup menus (the tray icon's menu): the menu document, its
// geometry and painting, and the popup window with its own modal loop.
#include "ui/control.h"

#include <windows.h>

#include <string>
#include <vector>

namespace SkinEngine {

struct SkinMenuItem {
    int id = 0;
    std::wstring text;
    bool disabled = false;
    bool separator = false;
    // Neither a separator nor disabled: the user can choose it.
    bool Choosable() const { return !separator && !disabled; }
};

// A `menu` document: skins and metrics on the root, `item` and `sep` children.
struct SkinMenu {
    std::string itemSkin, iconSkin, checkSkin, sepSkin, bgSkin;
    int itemHeight = 26;
    int iconMargin = 4;
    int textMargin = 8;
    int minWidth = 0;  // a drop-down list as wide as its box
    std::vector<SkinMenuItem> items;

    // False (and an empty menu) when the text is not XML or its root is not
    // `menu`. Unknown children are skipped; items beyond kMaxItems are cut.
    bool Load(const std::string& xml);
    static const size_t kMaxItems = 64;
};

class DocumentSource;
// Menu document `id` of `source`; false (and an empty menu) when it is
// missing or not a menu. Menus are read anew for every popup.
bool LoadSkinMenu(DocumentSource& source, unsigned id, SkinMenu& menu);

// Geometry of a popup, in its own client coordinates.
//
// The background band is kMenuBorder pixels wide on every side, or as wide
// as the edges of a `border` background skin say; rows stack
// inside it, an item `itemHeight` high, a separator kMenuSepHeight high (or
// the separator skin's natural height when taller). An item's text starts at
// iconMargin + icon column + textMargin from the row's left, the icon column
// being the icon skin's natural width (kMenuIconWidth without one), and
// leaves textMargin on the right. The width fits the widest text, at least
// kMenuMinWidth and the menu's minWidth.
const int kMenuBorder = 2;
const int kMenuSepHeight = 7;
const int kMenuIconWidth = 16;
const int kMenuMinWidth = 100;

struct SkinMenuLayout {
    SkinSize size;
    std::vector<SkinRect> rows;  // one per item, separators included
    int textLeft = 0;            // text offset from a row's left edge
};

SkinMenuLayout LayoutSkinMenu(const SkinMenu& menu, const SkinContext& ctx);

// The index of the choosable item under `pt`, else -1 (separators, disabled
// items, the border, outside).
int SkinMenuItemAt(const SkinMenu& menu, const SkinMenuLayout& layout, POINT pt);

// The background skin over the whole popup; the item skin over item `hot`
// when it is choosable (its state 1 when the skin is an image strip of two
// or more states: normal and hovered); the separator skin over a band of its
// natural height (1 pixel without one) centred in each separator row,
// between the icon margins; then the texts, disabled ones grey.
void PaintSkinMenu(HDC hdc, const SkinMenu& menu, const SkinMenuLayout& layout, const SkinContext& ctx, int hot);

const COLORREF kMenuTextColor = RGB(0, 0, 0);
const COLORREF kMenuDisabledColor = RGB(0x80, 0x80, 0x80);

// Shows the menu as a popup with its top-left corner at `at` (screen
// coordinates; it opens to the left and upwards where the screen ends) and
// runs its own message loop until the user chooses an item or dismisses it
// (a click outside, Escape, or another window coming to the foreground; the
// popup itself never takes the activation, so the caller brings `owner` to
// the foreground first and its keys drive the menu). Returns the
// chosen item's id, 0 when dismissed; a chosen id is also posted to `owner`
// as WM_COMMAND unless `postCommand` is false (a drop-down list, whose ids
// are its rows). A WM_QUIT arriving meanwhile dismisses the menu and is
// posted again for the caller's loop.
int TrackSkinMenu(const SkinMenu& menu, const SkinContext& ctx, HWND owner, POINT at, bool postCommand = true);

// The popup's window class, for finding it.
extern const wchar_t kSkinMenuClass[];

}  // namespace SkinEngine
