#include "ui/timerhost.h"

namespace SkinEngine {

namespace {

const wchar_t kClassName[] = L"PylonixTimerHost";

}  // namespace

CTimerHostWnd::~CTimerHostWnd()
{
    if (!m_hwnd) return;
    for (EmbeddedGif* image : m_images) KillTimer(m_hwnd, reinterpret_cast<UINT_PTR>(image));
    DestroyWindow(m_hwnd);
}

bool CTimerHostWnd::Create()
{
    if (m_hwnd) return true;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CTimerHostWnd::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);  // fails harmlessly when the class exists
    m_hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    return m_hwnd != nullptr;
}

bool CTimerHostWnd::Add(EmbeddedGif& image)
{
    if (!m_hwnd || !image.gif || image.gif->FrameCount() < 1) return false;
    if (image.frame < 0 || image.frame >= image.gif->FrameCount()) image.frame = 0;
    m_images.insert(&image);
    Arm(image, image.gif->FrameDelay(image.frame));
    return true;
}

void CTimerHostWnd::Remove(EmbeddedGif& image)
{
    if (!m_images.erase(&image)) return;
    KillTimer(m_hwnd, reinterpret_cast<UINT_PTR>(&image));
}

void CTimerHostWnd::Arm(EmbeddedGif& image, UINT periodMs)
{
    image.armedMs = periodMs;
    SetTimer(m_hwnd, reinterpret_cast<UINT_PTR>(&image), periodMs, nullptr);
}

void CTimerHostWnd::OnTimer(EmbeddedGif& image)
{
    KillTimer(m_hwnd, reinterpret_cast<UINT_PTR>(&image));
    if (image.control) InvalidateRect(image.control, &image.rect, FALSE);
    const int frames = image.gif->FrameCount();
    image.frame = image.frame + 1 < frames ? image.frame + 1 : 0;
    Arm(image, frames < 2 ? kStillPeriodMs : image.gif->FrameDelay(image.frame));
}

LRESULT CALLBACK CTimerHostWnd::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CTimerHostWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_TIMER && self) {
        // Only an image still added: a tick already queued for a removed one
        // names memory that may be gone.
        auto* image = reinterpret_cast<EmbeddedGif*>(wParam);
        if (self->m_images.count(image)) self->OnTimer(*image);
        else KillTimer(hwnd, wParam);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace SkinEngine
