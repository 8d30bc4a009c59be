#pragma once
// The engine's own message box (document 115): a title, a message and OK,
// with or without Cancel, modal over its owner.
#include <windows.h>

#include <string>

namespace SkinEngine {

const unsigned kMessageBoxDocument = 115;

// IDOK for OK (or Enter), IDCANCEL for Cancel, the close button or Esc;
// -1 when the box cannot be shown (no started engine, no document).
int SkinMessageBox(HWND owner, const std::wstring& title, const std::wstring& text, bool withCancel);

}  // namespace SkinEngine
