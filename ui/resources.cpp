// The engine's resource pools: strings, styles, object defaults, skins.
// Free of <windows.h> (resources and files are read in resourcefiles.cpp),
// so the documents' loader also builds natively.
#include "ui/resources.h"

#include "base/utf8.h"
#include "ui/format.h"

#include <tinyxml.h>

#include <stdint.h>

#include <cstring>
#include <set>

namespace SkinEngine {

const wchar_t kXmlResourceType[] = L"XML";
const wchar_t kImageResourceType[] = L"IMGX";

namespace {

// Integer attributes of the pools read like every other (SkinIntOr).
int IntOr0(const char* text)
{
    return SkinIntOr(SkinText(text), 0);
}

std::string TextOf(const char* text) { return text ? text : ""; }

// Parses `xml` and hands back its root when it is named `rootName`.
const TiXmlElement* RootNamed(TiXmlDocument& doc, const std::string& xml, const char* rootName)
{
    if (!ParseXml(xml, doc)) return nullptr;
    const TiXmlElement* root = doc.RootElement();
    if (!root || strcmp(root->Value(), rootName) != 0) return nullptr;
    return root;
}

}  // namespace

const std::string* FindAttr(const AttrList& attrs, const std::string& name)
{
    for (auto it = attrs.rbegin(); it != attrs.rend(); ++it)
        if (it->name == name) return &it->value;
    return nullptr;
}

void SkipUtf8Bom(std::string& text)
{
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
}

bool MemorySource::Xml(unsigned id, std::string& text)
{
    auto it = m_xml.find(id);
    if (it == m_xml.end()) return false;
    text = it->second;
    SkipUtf8Bom(text);
    return true;
}

bool MemorySource::TypedImage(const std::string& type, unsigned id, std::string& bytes)
{
    auto it = m_images.find({type, id});
    if (it == m_images.end()) return false;
    bytes = it->second;
    return true;
}

bool ParseXml(const std::string& text, TiXmlDocument& doc)
{
    // The XML reader steps over a multi-byte character by its lead byte
    // alone: a sequence cut short, above all at the end, made it read past
    // the text. It gets well-formed UTF-8 only.
    std::string body = WellFormedUtf8(text);
    SkipUtf8Bom(body);
    doc.Clear();
    doc.ClearError();
    doc.Parse(body.c_str(), nullptr, TIXML_ENCODING_UTF8);
    return !doc.Error() && doc.RootElement() != nullptr;
}

AttrList ElementAttrs(const TiXmlElement& element)
{
    AttrList attrs;
    for (const TiXmlAttribute* a = element.FirstAttribute(); a; a = a->Next())
        attrs.push_back({TextOf(a->Name()), TextOf(a->Value())});
    return attrs;
}

// ---- string table ----

bool StringTable::Load(const std::string& xml)
{
    TiXmlDocument doc;
    const TiXmlElement* root = RootNamed(doc, xml, "string");
    if (!root) return false;
    std::map<int, std::string> strings;
    for (const TiXmlElement* s = root->FirstChildElement("s"); s; s = s->NextSiblingElement("s")) {
        int id = 0;
        if (!ParseSkinInt(SkinText(s->Attribute("id")), id) || id < 0) continue;
        strings[id] = TextOf(s->GetText());
    }
    m_strings.swap(strings);
    return true;
}

const std::string* StringTable::Find(int id) const
{
    auto it = m_strings.find(id);
    return it == m_strings.end() ? nullptr : &it->second;
}

std::string StringTable::Expand(const std::string& value) const
{
    return ExpandStringRefs(value, [this](int id) { return Find(id); });
}

// ---- style pool ----

bool StylePool::Load(const std::string& xml)
{
    TiXmlDocument doc;
    const TiXmlElement* root = RootNamed(doc, xml, "style");
    if (!root) return false;
    std::map<std::string, AttrList> classes;
    for (const TiXmlElement* c = root->FirstChildElement("class"); c; c = c->NextSiblingElement("class")) {
        const char* name = c->Attribute("name");
        if (!name || !*name) continue;
        AttrList attrs;
        for (Attr& a : ElementAttrs(*c))
            if (a.name != "name") attrs.push_back(std::move(a));
        classes[name] = std::move(attrs);  // a later class of the same name replaces it
    }
    m_classes.swap(classes);
    return true;
}

const AttrList* StylePool::Find(const std::string& name) const
{
    auto it = m_classes.find(name);
    return it == m_classes.end() ? nullptr : &it->second;
}

// ---- object defaults ----

bool ObjectDefaults::Load(const std::string& xml)
{
    TiXmlDocument doc;
    const TiXmlElement* root = RootNamed(doc, xml, "objattr");
    if (!root) return false;
    std::map<std::string, Entry> tags;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        Entry entry;
        for (Attr& a : ElementAttrs(*e)) {
            if (a.name == "baseClass")
                entry.baseClass = a.value;
            else
                entry.attrs.push_back(std::move(a));
        }
        tags[e->Value()] = std::move(entry);
    }
    m_tags.swap(tags);
    return true;
}

AttrList ObjectDefaults::Resolve(const std::string& tag) const
{
    // Walk up to the base, then apply from there down.
    std::vector<const Entry*> chain;
    std::set<std::string> seen;
    std::string current = tag;
    while (!current.empty() && seen.insert(current).second) {
        auto it = m_tags.find(current);
        if (it == m_tags.end()) break;
        chain.push_back(&it->second);
        current = it->second.baseClass;
    }
    AttrList attrs;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        attrs.insert(attrs.end(), (*it)->attrs.begin(), (*it)->attrs.end());
    return attrs;
}

// ---- skin pool ----

bool SkinPool::Load(const std::string& xml)
{
    TiXmlDocument doc;
    const TiXmlElement* root = RootNamed(doc, xml, "skins");
    if (!root) return false;
    std::vector<SkinEntry> entries;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        SkinEntry skin;
        skin.kind = e->Value();
        for (Attr& a : ElementAttrs(*e)) {
            if (a.name == "name") {
                skin.name = a.value;
            } else if (a.name == "owner") {
                skin.owned = true;
                skin.owner = a.value;
            } else {
                skin.attrs.push_back(std::move(a));
            }
        }
        // A skin without a name cannot be referred to.
        if (!skin.name.empty()) entries.push_back(std::move(skin));
    }
    m_entries.swap(entries);
    return true;
}

std::vector<const SkinEntry*> SkinPool::ForLayer(const std::string& title) const
{
    std::vector<const SkinEntry*> result;
    for (const SkinEntry& skin : m_entries)
        if (!skin.owned || skin.owner == title) result.push_back(&skin);
    return result;
}

const SkinEntry* SkinPool::Find(const std::string& name, const std::string& title) const
{
    const SkinEntry* shared = nullptr;
    for (const SkinEntry& skin : m_entries) {
        if (skin.name != name) continue;
        if (skin.owned && skin.owner == title) return &skin;
        if (!skin.owned && !shared) shared = &skin;
    }
    return shared;
}

// ---- window layer ----

LayerDocument::LayerDocument() : m_doc(new TiXmlDocument) {}
LayerDocument::~LayerDocument() = default;

bool LayerDocument::Load(const std::string& xml)
{
    m_header = LayerHeader();
    m_body = nullptr;
    const TiXmlElement* root = RootNamed(*m_doc, xml, "layer");
    if (!root) return false;
    const TiXmlElement* body = root->FirstChildElement("body");
    if (!body) return false;
    m_header.title = TextOf(root->Attribute("title"));
    m_header.width = IntOr0(root->Attribute("width"));
    m_header.height = IntOr0(root->Attribute("height"));
    m_header.ncRect = TextOf(root->Attribute("ncRect"));
    m_header.minsize = TextOf(root->Attribute("minsize"));
    m_header.translucent = IntOr0(root->Attribute("translucent"));
    m_header.appwin = IntOr0(root->Attribute("appwin"));
    m_header.resize = IntOr0(root->Attribute("resize"));
    m_header.nomaxsize = IntOr0(root->Attribute("nomaxsize"));
    m_header.attrs = ElementAttrs(*root);
    m_body = body;
    return true;
}

// ---- the pools together ----

bool ResourcePools::Load(DocumentSource& source)
{
    std::string text;
    return source.Xml(kXmlStrings, text) && strings.Load(text) &&
           source.Xml(kXmlSkins, text) && skins.Load(text) &&
           source.Xml(kXmlStyles, text) && styles.Load(text) &&
           source.Xml(kXmlObjAttr, text) && defaults.Load(text);
}

void ResourcePools::Clear()
{
    strings.Clear();
    skins.Clear();
    styles.Clear();
    defaults.Clear();
}

AttrList ResourcePools::ControlAttributes(const TiXmlElement& element) const
{
    AttrList in = defaults.Resolve(element.Value());
    AttrList own = ElementAttrs(element);
    in.insert(in.end(), own.begin(), own.end());

    AttrList out;
    for (Attr& a : in) {
        if (a.name == "class") {
            // An unknown class leaves the control without that style.
            if (const AttrList* style = styles.Find(a.value))
                out.insert(out.end(), style->begin(), style->end());
            continue;
        }
        out.push_back(std::move(a));
    }
    for (Attr& a : out)
        if (a.name == "tip" || a.name == "href") a.value = strings.Expand(a.value);
    return out;
}

}  // namespace SkinEngine
