#include "ui/system.h"

#include "ui/hostwnd.h"

#include "base/log.h"
#include "ui/fonts.h"

namespace SkinEngine {

namespace {
CSkinSystem* g_current = nullptr;
}  // namespace

CSkinSystem::CSkinSystem(HINSTANCE module) : m_module(module)
{
    g_current = this;
}

CSkinSystem::~CSkinSystem()
{
    if (g_current == this) g_current = nullptr;
}

CSkinSystem* CSkinSystem::Current()
{
    return g_current;
}

bool CSkinSystem::LoadResources()
{
    m_pools.Clear();
    m_defaultFont = nullptr;
    if (!m_source) {
        WriteLog("SkinEngine: no resource provider\r\n");
        return false;
    }
    std::string text;
    auto load = [&](unsigned id, auto& pool) {
        if (m_source->Xml(id, text) && pool.Load(text)) return true;
        WriteLog("SkinEngine: resource XML %u is missing or malformed\r\n", id);
        return false;
    };
    if (!load(kXmlStrings, m_pools.strings)) return false;
    const std::string* face = m_pools.strings.Find(0);
    m_defaultFont = SkinFonts().Get("", face ? *face : std::string());
    if (!m_defaultFont) WriteLog("SkinEngine: the default font could not be made\r\n");
    if (!load(kXmlSkins, m_pools.skins) || !load(kXmlStyles, m_pools.styles) ||
        !load(kXmlObjAttr, m_pools.defaults))
        return false;
    WriteLog("SkinEngine: started from the program's resources: %u strings, %u skins, %u styles\r\n",
             static_cast<unsigned>(m_pools.strings.Size()), static_cast<unsigned>(m_pools.skins.Entries().size()),
             static_cast<unsigned>(m_pools.styles.Size()));
    return true;
}

DocumentSource* LoadSkinDocument(unsigned id, LayerDocument& doc)
{
    CSkinSystem* system = CSkinSystem::Current();
    DocumentSource* source = system ? system->ResourceProvider() : nullptr;
    std::string xml;
    if (!source || !source->Xml(id, xml) || !doc.Load(xml)) {
        WriteLog("SkinEngine: document %u does not load\r\n", id);
        return nullptr;
    }
    return source;
}

HWND CreateSkinWindow(SkinHostWnd& window, unsigned id, LayerDocument& doc, HWND owner, DWORD style)
{
    DocumentSource* source = LoadSkinDocument(id, doc);
    return source ? window.Create(doc, CSkinSystem::Current()->Pools(), *source, owner, style) : nullptr;
}

}  // namespace SkinEngine
