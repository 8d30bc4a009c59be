#pragma once
// Windows that belong to a C++ object: the window procedure that finds the
// object, and the table that routes a message to the member answering it.
#include <windows.h>

#include <stddef.h>

namespace SkinEngine {

// The window procedure of a window created with its object as
// CreateWindowEx's last parameter. The object is kept in the window's user
// data from WM_NCCREATE until WM_NCDESTROY, and every message in between,
// those two included, goes to its member `Handle`; messages before
// WM_NCCREATE (a window's first WM_GETMINMAXINFO) and after WM_NCDESTROY
// go to DefWindowProc.
template <class T, LRESULT (T::*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK ThunkWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    T* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return (self->*Handle)(hwnd, msg, wParam, lParam);
}

// One line of a window's message table: the message and the member that
// answers it.
template <class T>
struct MessageRoute {
    UINT msg;
    LRESULT (T::*handle)(WPARAM wParam, LPARAM lParam);
};

// Runs the member routed for `msg` and puts its answer in `result`; false
// when the table has no line for `msg`.
template <class T, size_t N>
bool RouteMessage(const MessageRoute<T> (&table)[N], T& target, UINT msg, WPARAM wParam, LPARAM lParam,
                  LRESULT& result)
{
    for (const MessageRoute<T>& line : table)
        if (line.msg == msg) {
            result = (target.*line.handle)(wParam, lParam);
            return true;
        }
    return false;
}

}  // namespace SkinEngine
