#pragma once
// A window layer: the control tree of a layer document with the skins the
// layer loads, laid out in the window's client area and painted from there.
#include "ui/control.h"
#include "ui/resources.h"

#include <windows.h>
#include <stdint.h>

#include <memory>
#include <string>

class TiXmlElement;

namespace SkinEngine {


class CSkinLayer {
public:
    // Builds the tree from `doc`: each control gets pools.ControlAttributes
    // of its element in order, then its element text; children follow in
    // document order. Skins shared or owned by the layer's title are created
    // from the pool, their images read from `source`. The body is laid out
    // at "0,0,-0,-0" in the layer's width x height.
    bool Build(const LayerDocument& doc, const ResourcePools& pools, DocumentSource& source,
               ControlFactory& factory = SkinControls());

    // Lays the tree out again in a client area of the given size.
    void Layout(int width, int height);
    void Paint(HDC hdc) const;
    // The layer at its laid-out size over `background`; null when the
    // bitmap cannot be made.
    std::unique_ptr<CSkinDib> Render(COLORREF background = RGB(255, 255, 255)) const;

    CSkinControl* Body() const { return m_body.get(); }
    CSkinControl* FindById(int id) const { return m_body ? m_body->FindById(id) : nullptr; }
    const SkinContext& Context() const { return m_ctx; }
    const LayerHeader& Header() const { return m_header; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    std::unique_ptr<CSkinControl> BuildControl(const TiXmlElement& element, const ResourcePools& pools,
                                               ControlFactory& factory, int depth);
    void LoadSkins(const ResourcePools& pools, DocumentSource& source);

    LayerHeader m_header;
    SkinContext m_ctx;
    std::unique_ptr<CSkinControl> m_body;
    int m_width = 0;
    int m_height = 0;
};

}  // namespace SkinEngine
