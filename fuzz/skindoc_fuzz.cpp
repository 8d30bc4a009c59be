// Layout and skin documents through the engine's loader: four pools and a
// window document cut from the input, loaded as at start-up; then every
// control element's attributes resolved (object defaults, style classes,
// string references) and read through the value syntaxes, and every skin
// of the layer looked up by its name.
#include "ui/format.h"
#include "ui/resources.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <tinyxml.h>

#include <stdlib.h>

using namespace SkinEngine;

namespace {
void Check(bool condition)
{
    if (!condition) abort();
}

void ReadValues(const AttrList& attrs)
{
    for (const Attr& attr : attrs) {
        const std::string_view value = attr.value;
        int number = 0;
        (void)ParseSkinInt(value, number);
        const PosValue pos = ParsePos(value);
        SkinRect out, parent{0, 0, 800, 600};
        if (pos.Fixed()) Check(ResolvePos(pos, parent, SkinSize{10, 10}, out) && out.Width() >= 0 && out.Height() >= 0);
        (void)ParseColor(value);
        Check(ParseFontCode(value, "face").height >= 1);
        (void)ParseTextMode(value);
    }
}

// Depth-first over the body, as the layout builds controls.
void Walk(const ResourcePools& pools, const TiXmlElement* element, int depth)
{
    for (; element; element = element->NextSiblingElement()) {
        const AttrList attrs = pools.ControlAttributes(*element);
        // Every own attribute of the element is among the resolved ones
        // (the last of a name wins, so it is found), `class` aside.
        for (const Attr& own : ElementAttrs(*element))
            if (own.name != "class" && own.name != "tip" && own.name != "href") Check(FindAttr(attrs, own.name) != nullptr);
        ReadValues(attrs);
        if (depth < 64) Walk(pools, element->FirstChildElement(), depth + 1);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    MemorySource source;
    const unsigned ids[] = {kXmlStrings, kXmlSkins, kXmlStyles, kXmlObjAttr};
    for (unsigned id : ids) source.AddXml(id, provider.ConsumeRandomLengthString(4096));
    const std::string layout = provider.ConsumeRemainingBytesAsString();

    ResourcePools pools;
    const bool loaded = pools.Load(source);
    LayerDocument document;
    if (!document.Load(layout)) return 0;
    Check(document.Body() != nullptr);
    const LayerHeader& header = document.Header();
    ReadValues(header.attrs);
    SkinEdges edges;
    (void)ParseEdges(header.ncRect, edges);
    if (!loaded) pools.Clear();  // the engine would not start; the loader must still be safe
    for (const SkinEntry* skin : pools.skins.ForLayer(header.title)) {
        Check(!skin->owned || skin->owner == header.title);
        Check(pools.skins.Find(skin->name, header.title) != nullptr);
        ReadValues(skin->attrs);
    }
    Walk(pools, document.Body()->FirstChildElement(), 0);
    return 0;
}
