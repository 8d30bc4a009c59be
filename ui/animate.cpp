#include "ui/animate.h"

#include <objidl.h>
#include <gdiplus.h>
#include <oleacc.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace SkinEngine {

namespace {

// The active frame as GDI+ has composed it, straight alpha.
std::shared_ptr<CSkinImage> CopyFrame(Gdiplus::Bitmap& bitmap)
{
    const int width = static_cast<int>(bitmap.GetWidth());
    const int height = static_cast<int>(bitmap.GetHeight());
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(&argb[static_cast<size_t>(y) * width], static_cast<const BYTE*>(data.Scan0) + y * data.Stride,
                    width * 4u);
    bitmap.UnlockBits(&data);
    return CSkinImage::FromPixels(width, height, argb.data());
}

// Frame delays in hundredths of a second, one per frame as far as the file
// gives them.
std::vector<long> DelayProperty(Gdiplus::Bitmap& bitmap)
{
    std::vector<long> delays;
    const UINT size = bitmap.GetPropertyItemSize(PropertyTagFrameDelay);
    if (size < sizeof(Gdiplus::PropertyItem)) return delays;
    std::vector<BYTE> buffer(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (bitmap.GetPropertyItem(PropertyTagFrameDelay, size, item) != Gdiplus::Ok || !item->value) return delays;
    // The value may claim more than the buffer holds: read only what is there.
    const BYTE* end = buffer.data() + size;
    const BYTE* first = static_cast<const BYTE*>(item->value);
    if (first < buffer.data() || first > end) return delays;
    const size_t count = std::min<size_t>(item->length, end - first) / 4;
    for (size_t i = 0; i < count; ++i) {
        int32_t v;
        std::memcpy(&v, first + 4 * i, 4);
        delays.push_back(v);
    }
    return delays;
}

}  // namespace

// --- CSkinGif ---

bool CSkinGif::LoadImageBytes(const std::string& bytes)
{
    m_frames.clear();
    m_delays.clear();
    if (bytes.empty() || bytes.size() > UINT_MAX) {
        SetImage(nullptr);
        return false;
    }
    IStream* stream = NewMemoryStream(bytes.data(), bytes.size());
    if (!stream) {
        SetImage(nullptr);
        return false;
    }
    {
        Gdiplus::Bitmap bitmap(stream);
        if (bitmap.GetLastStatus() == Gdiplus::Ok) {
            GUID dimension = Gdiplus::FrameDimensionTime;
            UINT count = bitmap.GetFrameCount(&dimension);
            if (count == 0) count = 1;  // a still image has no time dimension
            count = std::min<UINT>(count, kMaxGifFrames);
            const std::vector<long> delays = DelayProperty(bitmap);
            const long long framePixels = static_cast<long long>(bitmap.GetWidth()) * bitmap.GetHeight();
            for (UINT i = 0; i < count; ++i) {
                if (i > 0 && framePixels * (i + 1) > kMaxGifPixels) break;
                if (i > 0 && bitmap.SelectActiveFrame(&dimension, i) != Gdiplus::Ok) break;
                std::shared_ptr<CSkinImage> frame = CopyFrame(bitmap);
                if (!frame) break;
                m_frames.push_back(std::move(frame));
                const long hundredths = i < delays.size() ? delays[i] : 0;
                const long long ms = std::max<long long>(static_cast<long long>(hundredths) * 10, kMinFrameDelayMs);
                m_delays.push_back(static_cast<UINT>(std::min<long long>(ms, INT_MAX)));
            }
        }
    }
    stream->Release();
    SetImage(m_frames.empty() ? nullptr : m_frames.front());
    return !m_frames.empty();
}

UINT CSkinGif::FrameDelay(int frame) const
{
    if (frame < 0 || frame >= static_cast<int>(m_delays.size())) return kMinFrameDelayMs;
    return m_delays[frame];
}

void CSkinGif::Complete()
{
    stateWidth = m_image ? m_image->Width() : 0;
    stateCount = std::max(1, FrameCount());
}

void CSkinGif::Draw(HDC hdc, const RECT& dest, unsigned state, BYTE opacity) const
{
    if (m_frames.empty() || opacity == 0) return;
    const CSkinImage& frame = *m_frames[std::min<size_t>(state, m_frames.size() - 1)];
    const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    if (dw <= 0 || dh <= 0) return;
    HDC source = CreateCompatibleDC(hdc);
    if (!source) return;
    HGDIOBJ old = SelectObject(source, frame.Bitmap());
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, opacity, AC_SRC_ALPHA};
    AlphaBlend(hdc, dest.left, dest.top, dw, dh, source, 0, 0, frame.Width(), frame.Height(), blend);
    SelectObject(source, old);
    DeleteDC(source);
}

void CSkinAnimateImg::DescribeForAccess(AccessibleDescription& out) const
{
    out.role = ROLE_SYSTEM_GRAPHIC;
}

void RegisterGifSkin()
{
    RegisterSkinKind("gif", [] { return std::unique_ptr<CSkinBase>(new CSkinGif()); });
}

// --- CSkinAnimateImg ---

const CSkinGif* CSkinAnimateImg::Gif(const SkinContext& ctx) const
{
    return dynamic_cast<const CSkinGif*>(ctx.FindSkin(m_skin));
}

void CSkinAnimateImg::Arm(const SkinContext& ctx)
{
    if (!m_host) return;
    const CSkinGif* gif = Gif(ctx);
    const bool animate = gif && gif->FrameCount() >= 2 && IsShown();
    if (!animate) {
        if (m_ticking) m_host->StopTimer(this);
        m_ticking = false;
        if (gif && m_frame >= gif->FrameCount()) m_frame = 0;
        return;
    }
    if (m_frame >= gif->FrameCount()) m_frame = 0;
    const UINT delay = gif->FrameDelay(m_frame);
    // A layout while ticking must not restart the current frame's wait.
    if (m_ticking && delay == m_armedDelay) return;
    m_host->StartTimer(this, delay);
    m_ticking = true;
    m_armedDelay = delay;
}

void CSkinAnimateImg::Attach(ISkinHost& host)
{
    m_host = &host;
    Arm(host.Context());
    CSkinControl::Attach(host);
}

void CSkinAnimateImg::Detach()
{
    CSkinControl::Detach();
    if (m_host && m_ticking) m_host->StopTimer(this);
    m_ticking = false;
    m_host = nullptr;
}

void CSkinAnimateImg::OnLayout(const SkinContext& ctx)
{
    Arm(ctx);
}

void CSkinAnimateImg::OnTimer(ISkinHost& host)
{
    m_host = &host;
    const CSkinGif* gif = Gif(host.Context());
    if (gif && gif->FrameCount() >= 2 && IsShown()) {
        m_frame = (m_frame + 1) % gif->FrameCount();
        host.Invalidate(m_rect);
    }
    // Re-armed with the next frame's own delay; hidden or frameless, it stops.
    m_armedDelay = 0;
    Arm(host.Context());
}

void RegisterAnimationControls(ControlFactory& factory)
{
    factory.Register<CSkinAnimateImg>("animateimg");
}

}  // namespace SkinEngine
