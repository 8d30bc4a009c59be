#pragma once
// A result row on the check tab: its state skins, its controls'
// identifiers and its markup.
#include "check/checkitem.h"

#include <string>

// 10000 + 100 * kind + slot for kinds 1..8 and 10; -1 (no control) for
// kind 9 and any other kind.
int RowControlId(int kind, int slot);

// The state icon's skin; states without a meaning of their own show the
// passed icon.
const char* StateIconSkin(int state);
// The action button's skin, which is also its name: "skin_item_repair",
// "skin_item_watch", or "" when the state has no button.
const char* ActionSkin(int state);

// A narrow text made safe to stand as element text or attribute value in
// row markup: cut at a zero byte, a broken double-byte character of the
// active code page replaced by "?" (the conversion to wide text would
// otherwise swallow the markup byte after it), and & < > " escaped.
std::string EscapeRowText(const std::string& text);

// The row markup the list box parses.
std::string BuildCheckRowMarkup(const CheckItem& item);
