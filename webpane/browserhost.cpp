#include "webpane/browserhost.h"

#include <ocidl.h>

namespace {

LONG g_alive = 0;

}  // namespace

long BrowserObjectsAlive()
{
    return g_alive;
}

// --- The site's roles ---

template <class Interface>
STDMETHODIMP CSiteRole<Interface>::QueryInterface(REFIID iid, void** out)
{
    return m_site.QueryInterface(iid, out);
}

template <class Interface>
STDMETHODIMP_(ULONG) CSiteRole<Interface>::AddRef()
{
    return m_site.AddRef();
}

template <class Interface>
STDMETHODIMP_(ULONG) CSiteRole<Interface>::Release()
{
    return m_site.Release();
}

STDMETHODIMP CClientSite::GetMoniker(DWORD, DWORD, IMoniker** out)
{
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CClientSite::GetContainer(IOleContainer** out)
{
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CInPlaceSite::GetWindow(HWND* out)
{
    if (!out) return E_POINTER;
    *out = m_site.Window();
    return S_OK;
}

STDMETHODIMP CInPlaceSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos,
                                            RECT* clip, OLEINPLACEFRAMEINFO* info)
{
    if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
    m_site.QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(frame));
    *doc = nullptr;
    GetClientRect(m_site.Window(), pos);
    *clip = *pos;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(m_site.Window(), GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP CInPlaceSite::OnInPlaceDeactivate()
{
    m_site.SetActiveObject(nullptr);
    return S_OK;
}

STDMETHODIMP CInPlaceFrame::GetWindow(HWND* out)
{
    if (!out) return E_POINTER;
    *out = GetAncestor(m_site.Window(), GA_ROOT);
    return S_OK;
}

STDMETHODIMP CInPlaceFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR)
{
    m_site.SetActiveObject(object);
    return S_OK;
}

// --- CBrowserSite ---

CBrowserSite::CBrowserSite(HWND window) : m_window(window)
{
    InterlockedIncrement(&g_alive);
}

CBrowserSite::~CBrowserSite()
{
    SetExternalUIHandler(nullptr);
    SetActiveObject(nullptr);
    InterlockedDecrement(&g_alive);
}

HRESULT CBrowserSite::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *out = static_cast<IOleClientSite*>(&m_client);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *out = static_cast<IOleInPlaceSite*>(&m_inPlace);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        *out = static_cast<IOleInPlaceFrame*>(&m_frame);
    else if (iid == IID_IDocHostUIHandler && m_external)
        // The handler is an object of its own: the control only calls it.
        return m_external->QueryInterface(iid, out);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG CBrowserSite::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

ULONG CBrowserSite::Release()
{
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

void CBrowserSite::SetExternalUIHandler(IDocHostUIHandler* handler)
{
    if (handler) handler->AddRef();
    if (m_external) m_external->Release();
    m_external = handler;
}

void CBrowserSite::SetActiveObject(IOleInPlaceActiveObject* object)
{
    if (object) object->AddRef();
    if (m_active) m_active->Release();
    m_active = object;
}

// --- COleEmbedding ---

HRESULT COleEmbedding::Create(REFCLSID clsid)
{
    if (m_object) return E_UNEXPECTED;
    // The object needs OLE on this thread; a second initialisation only counts.
    if (!m_oleStarted) m_oleStarted = SUCCEEDED(OleInitialize(nullptr));
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&m_object));
}

HRESULT COleEmbedding::Activate(HWND window)
{
    if (!m_object || m_site) return E_UNEXPECTED;
    m_site = new CBrowserSite(window);
    m_object->SetClientSite(m_site->ClientSite());
    RECT rect;
    GetClientRect(window, &rect);
    return m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site->ClientSite(), 0, window, &rect);
}

void COleEmbedding::FitWindow()
{
    IOleInPlaceObject* inPlace = nullptr;
    if (!m_object || !m_site ||
        FAILED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
        return;
    RECT rect;
    GetClientRect(m_site->Window(), &rect);
    inPlace->SetObjectRects(&rect, &rect);
    inPlace->Release();
}

void COleEmbedding::Close()
{
    if (m_object) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
        m_object->Release();
        m_object = nullptr;
    }
    if (m_site) {
        m_site->Release();
        m_site = nullptr;
    }
    // Only after the object has let go of everything.
    if (m_oleStarted) OleUninitialize();
    m_oleStarted = false;
}

// --- CBrowserHostUIHandlerImpl ---

CBrowserHostUIHandlerImpl::CBrowserHostUIHandlerImpl(HWND window) : m_window(window)
{
    InterlockedIncrement(&g_alive);
}

CBrowserHostUIHandlerImpl::~CBrowserHostUIHandlerImpl()
{
    InterlockedDecrement(&g_alive);
}

STDMETHODIMP CBrowserHostUIHandlerImpl::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDocHostUIHandler) return E_NOINTERFACE;
    *out = static_cast<IDocHostUIHandler*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrowserHostUIHandlerImpl::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CBrowserHostUIHandlerImpl::Release()
{
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CBrowserHostUIHandlerImpl::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (!info || info->cbSize < sizeof(DOCHOSTUIINFO)) return E_INVALIDARG;
    if (!IsWindow(m_window)) return E_FAIL;
    info->dwFlags = static_cast<DWORD>(SendMessageW(m_window, WM_BROWSER_HOST_FLAGS, 0, 0));
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

// --- CBrowserEvents ---

CBrowserEvents::CBrowserEvents(IBrowserEventHandler& handler) : m_handler(&handler)
{
    InterlockedIncrement(&g_alive);
}

CBrowserEvents::~CBrowserEvents()
{
    Disconnect();
    InterlockedDecrement(&g_alive);
}

HRESULT CBrowserEvents::Connect(IUnknown* browser)
{
    if (m_point || !m_handler) return E_FAIL;
    if (!browser) return E_POINTER;
    IConnectionPointContainer* container = nullptr;
    HRESULT hr = browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (FAILED(hr)) return hr;
    IConnectionPoint* point = nullptr;
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point);
    container->Release();
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (FAILED(hr)) {
        point->Release();
        return hr;
    }
    m_point = point;
    m_cookie = cookie;
    return S_OK;
}

void CBrowserEvents::Disconnect()
{
    m_handler = nullptr;
    if (!m_point) return;
    IConnectionPoint* point = m_point;
    m_point = nullptr;
    point->Unadvise(m_cookie);
    point->Release();
    m_cookie = kNotConnected;
}

STDMETHODIMP CBrowserEvents::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != DIID_DWebBrowserEvents2) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrowserEvents::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CBrowserEvents::Release()
{
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CBrowserEvents::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CBrowserEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    if (m_handler && params) m_handler->OnBrowserEvent(id, *params);
    return S_OK;
}

template class CSiteRole<IOleClientSite>;
template class CSiteRole<IOleInPlaceSite>;
template class CSiteRole<IOleInPlaceFrame>;
