#pragma once
// The timers of animated GIF images embedded in rich edit controls: a hidden
// window keeps one timer per image, the image itself being the timer's
// identifier, and on each tick repaints the image's rectangle in its control
// and moves it to its next frame.
#include "ui/animate.h"

#include <windows.h>

#include <set>

namespace SkinEngine {

// One image inside a rich edit control. Its owner keeps it alive while it is
// added to a host.
struct EmbeddedGif {
    HWND control = nullptr;  // the rich edit the image sits in
    RECT rect = {};          // the image's place in the control's client area
    const CSkinGif* gif = nullptr;
    int frame = 0;           // the frame on screen
    UINT armedMs = 0;        // the period its timer was last set to
};

class CTimerHostWnd {
public:
    CTimerHostWnd() = default;
    ~CTimerHostWnd();
    CTimerHostWnd(const CTimerHostWnd&) = delete;
    CTimerHostWnd& operator=(const CTimerHostWnd&) = delete;

    // The hidden window, made on the calling thread (whose messages must be
    // dispatched for the timers to tick). False when it cannot be made.
    bool Create();
    // Starts the image's timer with its current frame's delay.
    bool Add(EmbeddedGif& image);
    void Remove(EmbeddedGif& image);
    HWND Handle() const { return m_hwnd; }

    // The period an image with fewer than two frames is re-armed with: it
    // never visibly changes.
    static constexpr UINT kStillPeriodMs = USER_TIMER_MAXIMUM;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnTimer(EmbeddedGif& image);
    void Arm(EmbeddedGif& image, UINT periodMs);

    HWND m_hwnd = nullptr;
    std::set<EmbeddedGif*> m_images;
};

}  // namespace SkinEngine
