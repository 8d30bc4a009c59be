#pragma once
// The small OLE container that holds the web browser control in a window of
// ours: the site the control talks to (client site, in-place site and frame:
// one COM identity, one class per role), the host UI handler that tells the
// control how the document should look, and the sink of the control's
// events. Every object counts its references and the live ones are counted
// too, so a test can see that nothing is left once the window is gone.
#include "base/messages.h"

#include <windows.h>

#include <exdisp.h>
#include <mshtmhst.h>
#include <oleidl.h>

// COM objects of this file alive now, of all kinds.
long BrowserObjectsAlive();

class CBrowserSite;

// A role of the site: its IUnknown is the site's.
template <class Interface>
class CSiteRole : public Interface {
public:
    explicit CSiteRole(CBrowserSite& site) : m_site(site) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

protected:
    CBrowserSite& m_site;
};

class CClientSite : public CSiteRole<IOleClientSite> {
public:
    using CSiteRole::CSiteRole;
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
    STDMETHODIMP GetContainer(IOleContainer** out) override;
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
};

class CInPlaceSite : public CSiteRole<IOleInPlaceSite> {
public:
    using CSiteRole::CSiteRole;
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos, RECT* clip,
                                  OLEINPLACEFRAMEINFO* info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(const RECT*) override { return S_OK; }
};

class CInPlaceFrame : public CSiteRole<IOleInPlaceFrame> {
public:
    using CSiteRole::CSiteRole;
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(RECT*) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(const BORDERWIDTHS*) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(const BORDERWIDTHS*) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override;
    STDMETHODIMP InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) override { return S_OK; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(MSG*, WORD) override { return S_FALSE; }
};

// The site of one control in `window`. Created with one reference.
class CBrowserSite {
public:
    explicit CBrowserSite(HWND window);
    ~CBrowserSite();
    CBrowserSite(const CBrowserSite&) = delete;
    CBrowserSite& operator=(const CBrowserSite&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out);
    ULONG AddRef();
    ULONG Release();

    IOleClientSite* ClientSite() { return &m_client; }
    HWND Window() const { return m_window; }
    // The handler given to the control when it asks its site for an
    // IDocHostUIHandler; null takes it back (the control then uses its own).
    void SetExternalUIHandler(IDocHostUIHandler* handler);
    // The control's active object, for its accelerators (null while not active).
    IOleInPlaceActiveObject* ActiveObject() const { return m_active; }
    void SetActiveObject(IOleInPlaceActiveObject* object);

private:
    LONG m_refs = 1;
    HWND m_window;
    CClientSite m_client{*this};
    CInPlaceSite m_inPlace{*this};
    CInPlaceFrame m_frame{*this};
    IDocHostUIHandler* m_external = nullptr;
    IOleInPlaceActiveObject* m_active = nullptr;
};

// One OLE object in a window of ours: made, given a site in the window and
// activated in place there, sized to the window's client area, and closed
// with its site. OLE is started on the thread from Create until Close.
class COleEmbedding {
public:
    COleEmbedding() = default;
    ~COleEmbedding() { Close(); }
    COleEmbedding(const COleEmbedding&) = delete;
    COleEmbedding& operator=(const COleEmbedding&) = delete;

    // The object of `clsid`, not yet placed anywhere.
    HRESULT Create(REFCLSID clsid);
    // Placed in `window` through a site of its own, active in place.
    HRESULT Activate(HWND window);
    // The object follows the window's client area.
    void FitWindow();
    // Deactivated, closed and released with its site; OLE ended. Once.
    void Close();

    IOleObject* Object() const { return m_object; }
    CBrowserSite* Site() const { return m_site; }

private:
    IOleObject* m_object = nullptr;
    CBrowserSite* m_site = nullptr;
    bool m_oleStarted = false;
};

// The host UI handler: GetHostInfo answers with the flags the window holding
// the control gives (WM_BROWSER_HOST_FLAGS); every other question is left to
// the control (E_NOTIMPL). Created with one reference.
class CBrowserHostUIHandlerImpl final : public IDocHostUIHandler {
public:
    explicit CBrowserHostUIHandlerImpl(HWND window);
    ~CBrowserHostUIHandlerImpl();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return E_NOTIMPL; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override { return E_NOTIMPL; }
    STDMETHODIMP HideUI() override { return E_NOTIMPL; }
    STDMETHODIMP UpdateUI() override { return E_NOTIMPL; }
    STDMETHODIMP EnableModeless(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
    STDMETHODIMP GetExternal(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override { return E_NOTIMPL; }

private:
    LONG m_refs = 1;
    HWND m_window;
};

// What the sink hands its events to.
class IBrowserEventHandler {
public:
    virtual ~IBrowserEventHandler() = default;
    virtual void OnBrowserEvent(DISPID id, DISPPARAMS& params) = 0;
};

// The DWebBrowserEvents2 sink: connected to one control at a time through
// its connection point. Created with one reference.
class CBrowserEvents final : public IDispatch {
public:
    static constexpr DWORD kNotConnected = 0xFEFEFEFE;

    explicit CBrowserEvents(IBrowserEventHandler& handler);
    ~CBrowserEvents();

    // E_FAIL when already connected.
    HRESULT Connect(IUnknown* browser);
    // Unadvises and forgets the handler: events still in flight are dropped.
    void Disconnect();
    DWORD Cookie() const { return m_cookie; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    LONG m_refs = 1;
    IBrowserEventHandler* m_handler;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = kNotConnected;
};
