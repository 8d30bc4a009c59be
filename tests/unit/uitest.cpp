#include "uitest.h"

#include <cstdio>

using namespace SkinEngine;

bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= deadlineMs) return false;
        // Woken early by anything arriving (a timer, a paint).
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::string SolidSkin(const char* name, const char* colour, const char* extra)
{
    return std::string("<gradation name=\"") + name + "\" from=\"" + colour + "\" to=\"" + colour + "\" " + extra +
           "/>";
}

std::string SolidSkin(const char* name, uint32_t rgb)
{
    char colour[8];
    snprintf(colour, sizeof(colour), "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return SolidSkin(name, colour);
}

void SkinLayerTest::Build(const std::string& layerXml, const std::string& skins, const std::string& objattr,
                          const std::string& styles)
{
    source.AddXml(kXmlStrings, "<string/>");
    source.AddXml(kXmlSkins, "<skins>" + skins + "</skins>");
    source.AddXml(kXmlStyles, styles);
    source.AddXml(kXmlObjAttr, objattr);
    ASSERT_TRUE(pools.Load(source));
    ASSERT_TRUE(doc.Load(layerXml));
    ASSERT_TRUE(layer.Build(doc, pools, source, factory));
}

void SkinLayerTest::Render()
{
    dib = layer.Render(RGB(255, 255, 255));
    ASSERT_TRUE(dib);
}

int SkinLayerTest::InkIn(const SkinRect& r) const
{
    int ink = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) ink += Px(x, y) != 0xFFFFFFu;
    return ink;
}

void RecordingHost::MoveTo(CSkinControl& root, POINT pt)
{
    CSkinControl* now = root.HitTest(pt);
    if (now == hover) return;
    if (hover) hover->OnMouseLeave(*this);
    hover = now;
    if (hover) hover->OnMouseEnter(*this);
}

void RecordingHost::Click(CSkinControl& root, POINT pt)
{
    MoveTo(root, pt);
    CSkinControl* pressed = hover;
    if (!pressed) return;
    pressed->OnMouseDown(pt, *this);
    pressed->OnMouseUp(pt, *this);
}
