#pragma once
// The engine's system object: what every skinned window of the program
// shares. The program starts it once, before its first window, over its own
// resources: the resource provider is attached, then the string table, the
// default font, the skin pool, the style pool and the object defaults are
// loaded in that order. Windows take their pools and provider from here.
#include "ui/control.h"
#include "ui/resources.h"

#include <windows.h>

#include <memory>

namespace SkinEngine {

class CSkinSystem {
public:
    // `module` holds the resources (the program itself when null).
    explicit CSkinSystem(HINSTANCE module);
    ~CSkinSystem();
    CSkinSystem(const CSkinSystem&) = delete;
    CSkinSystem& operator=(const CSkinSystem&) = delete;

    HINSTANCE Module() const { return m_module; }
    // Where the control tags are registered; the application adds its own
    // before any layer loads.
    ControlFactory& Controls() { return SkinControls(); }

    // The documents and images come from `source` until it is released.
    void SetResourceProvider(std::unique_ptr<DocumentSource> source) { m_source = std::move(source); }
    DocumentSource* ResourceProvider() const { return m_source.get(); }
    void ReleaseResourceProvider() { m_source.reset(); }

    // Loads the string table, the default font (string 0, 12 pixels), the
    // skin pool, the style pool and the object defaults from the provider.
    // False, with a log line naming the document, when any of them is
    // missing or malformed: the windows cannot be drawn without them.
    bool LoadResources();
    const ResourcePools& Pools() const { return m_pools; }
    HFONT DefaultFont() const { return m_defaultFont; }
    // Empties the skin pool (the windows' skins go with their windows).
    void ReleaseSkins() { m_pools.skins.Clear(); }

    // The started system, or null before one exists and after it is gone.
    static CSkinSystem* Current();

private:
    HINSTANCE m_module;
    std::unique_ptr<DocumentSource> m_source;
    ResourcePools m_pools;
    HFONT m_defaultFont = nullptr;  // owned by the font pool
};

class LayerDocument;
class SkinHostWnd;
// Loads document `id` of the started system's provider into `doc`; the
// provider, or null (logged) when there is no system or no such document.
DocumentSource* LoadSkinDocument(unsigned id, LayerDocument& doc);
// Builds `window` from document `id` of the started system's provider;
// `doc` receives the document and must outlive the window. Null when no
// system is started, the document is missing or malformed, or the window
// cannot be made.
HWND CreateSkinWindow(SkinHostWnd& window, unsigned id, LayerDocument& doc, HWND owner = nullptr, DWORD style = 0);

}  // namespace SkinEngine
