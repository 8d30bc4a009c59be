#pragma once
// Animated images: the `gif` skin keeps every frame of a GIF with its delay,
// and the `animateimg` control steps through them on a timer of its host.
#include "ui/control.h"

#include <memory>
#include <vector>

namespace SkinEngine {

// Delays shorter than this (many GIFs say 0 or 1) would spin the processor
// and are raised to it.
const UINT kMinFrameDelayMs = 100;
// A runaway file cannot make the skin hold more than this many frames.
const int kMaxGifFrames = 512;
// Nor more pixels than this over all its frames (256 MB of bitmaps).
const long long kMaxGifPixels = 64LL * 1024 * 1024;

// `gif`: an animated image. The state index a control passes when drawing is
// the frame index (clamped to the last frame); frames are stretched to the
// destination.
class CSkinGif : public CSkinImageList {
public:
    // Decodes every frame (the time dimension of the image) as GDI+ composes
    // it, with the frame delays; a still image is one frame.
    bool LoadImageBytes(const std::string& bytes) override;
    void Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity = 255) const override;

    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    // Milliseconds frame `frame` stays on screen, at least kMinFrameDelayMs
    // (that also for a frame the image has no delay for).
    UINT FrameDelay(int frame) const;
    const std::shared_ptr<CSkinImage>& Frame(int frame) const { return m_frames.at(frame); }

protected:
    // One state per frame, as wide as the image.
    void Complete() override;

private:
    std::vector<std::shared_ptr<CSkinImage>> m_frames;
    std::vector<UINT> m_delays;
};

// Makes `gif` a skin kind; the application calls it before any layer loads.
void RegisterGifSkin();

// `animateimg`: shows the frames of its `gif` skin one after the other, each
// for its delay, from frame 0 and round again. It ticks only while it is in
// a window (between Attach and Detach), shown, and its skin has two frames
// or more; showing or hiding it takes effect at the next layout.
class CSkinAnimateImg : public CSkinControl {
public:
    int CurrentFrame() const { return m_frame; }
    bool Ticking() const { return m_ticking; }
    unsigned PaintState() const override { return static_cast<unsigned>(m_frame); }
    void DescribeForAccess(AccessibleDescription& out) const override;

    void Attach(ISkinHost& host) override;
    void Detach() override;
    void OnTimer(ISkinHost& host) override;

protected:
    void OnLayout(const SkinContext& ctx) override;

private:
    const CSkinGif* Gif(const SkinContext& ctx) const;
    // Starts, re-arms or stops the timer to match visibility and frames.
    void Arm(const SkinContext& ctx);

    ISkinHost* m_host = nullptr;
    int m_frame = 0;
    bool m_ticking = false;
    UINT m_armedDelay = 0;
};

void RegisterAnimationControls(ControlFactory& factory);

}  // namespace SkinEngine
