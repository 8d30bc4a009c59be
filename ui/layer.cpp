#include "ui/layer.h"

#include "base/log.h"

#include <tinyxml.h>

#include <algorithm>
#include <set>

namespace SkinEngine {

namespace {

// Deeper markup is cut off rather than risking the stack on hostile documents.
constexpr int kMaxDepth = 64;

const char kBodyPos[] = "0,0,-0,-0";

}  // namespace

// --- CSkinLayer ---

bool CSkinLayer::Build(const LayerDocument& doc, const ResourcePools& pools, DocumentSource& source,
                       ControlFactory& factory)
{
    m_body.reset();
    m_ctx = SkinContext();
    m_header = doc.Header();
    if (!doc.Body()) return false;

    const std::string* face = pools.strings.Find(0);
    m_ctx.defaultFace = face ? *face : std::string();
    LoadSkins(pools, source);

    m_body = BuildControl(*doc.Body(), pools, factory, 0);
    m_body->SetAttribute("pos", kBodyPos);  // whatever the markup says
    Layout(m_header.width, m_header.height);
    return true;
}

void CSkinLayer::LoadSkins(const ResourcePools& pools, DocumentSource& source)
{
    // Both a shared and an owned skin may carry a name: the layer's own wins.
    std::set<std::string> owned;
    for (const SkinEntry* entry : pools.skins.ForLayer(m_header.title)) {
        if (owned.count(entry->name)) continue;
        std::unique_ptr<CSkinBase> skin = CreateSkin(entry->kind);
        if (!skin) continue;  // a tag no skin kind answers to
        for (const Attr& a : entry->attrs) skin->SetAttribute(a.name, a.value);
        skin->name = entry->name;
        skin->owner = entry->owner;
        if (auto* list = dynamic_cast<CSkinImageList*>(skin.get())) {
            std::string bytes;
            // No bytes leave the skin without an image.
            if (!source.TypedImage(list->imageRef.type, list->imageRef.id, bytes)) bytes.clear();
            if (!list->LoadImageBytes(bytes))
                WriteLog("SkinEngine: skin %s has no image %u", entry->name.c_str(), list->imageRef.id);
        }
        if (entry->owned) owned.insert(entry->name);
        m_ctx.skins[entry->name] = std::shared_ptr<CSkinBase>(std::move(skin));
    }
}

std::unique_ptr<CSkinControl> CSkinLayer::BuildControl(const TiXmlElement& element, const ResourcePools& pools,
                                                       ControlFactory& factory, int depth)
{
    std::unique_ptr<CSkinControl> control = factory.Create(element.Value());
    for (const Attr& a : pools.ControlAttributes(element)) control->SetAttribute(a.name, a.value);
    if (const char* text = element.GetText()) control->SetText(pools.strings.Expand(text));
    if (depth >= kMaxDepth) return control;
    for (const TiXmlElement* child = element.FirstChildElement(); child; child = child->NextSiblingElement())
        control->AddChild(BuildControl(*child, pools, factory, depth + 1));
    return control;
}

void CSkinLayer::Layout(int width, int height)
{
    m_width = width > 0 ? width : 0;
    m_height = height > 0 ? height : 0;
    if (m_body) m_body->Layout(SkinRect{0, 0, m_width, m_height}, m_ctx);
}

void CSkinLayer::Paint(HDC hdc) const
{
    if (m_body) m_body->Paint(hdc, m_ctx);
}

std::unique_ptr<CSkinDib> CSkinLayer::Render(COLORREF background) const
{
    auto dib = std::make_unique<CSkinDib>(m_width, m_height);
    if (!dib->ok()) return nullptr;
    const uint32_t fill = 0xFF000000 | GetRValue(background) << 16 | GetGValue(background) << 8 | GetBValue(background);
    std::fill(dib->Bits(), dib->Bits() + static_cast<size_t>(m_width) * m_height, fill);
    Paint(dib->Dc());
    GdiFlush();
    return dib;
}

}  // namespace SkinEngine
