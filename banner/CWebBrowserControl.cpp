#include "banner/CWebBrowserControl.h"

CWebBrowserControl::CWebBrowserControl(IPane* pPane) : m_pPane(pPane) {}

CWebBrowserControl::~CWebBrowserControl() {
    Close();
}

HRESULT CWebBrowserControl::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_INVALIDARG;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IWebBrowser2)) {
        *ppvObject = static_cast<IWebBrowser2*>(this);
    } else if (IsEqualIID(riid, IID_IOleObject)) {
        *ppvObject = static_cast<IOleObject*>(this);
    } else {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CWebBrowserControl::AddRef() {
    return ++m_cRef;
}

ULONG CWebBrowserControl::Release() {
    const ULONG cRef = --m_cRef;
    if (cRef == 0)
        delete this;
    return cRef;
}

HRESULT CWebBrowserControl::Navigate(BSTR URL, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
    if (URL == nullptr)
        return E_INVALIDARG;
    if (m_pPane == nullptr)
        return E_FAIL;
    m_pPane->OnNavigate(QString::fromUtf16(URL));
    return S_OK;
}

HRESULT CWebBrowserControl::SetClientSite(IOleClientSite* pClientSite) {
    if (m_pPane == nullptr && pClientSite != nullptr)
        return E_FAIL; // closed: it would never be released
    if (pClientSite != nullptr)
        pClientSite->AddRef();
    IOleClientSite* pOld = m_pClientSite;
    m_pClientSite = pClientSite;
    if (pOld != nullptr)
        pOld->Release();
    if (m_pPane != nullptr)
        m_pPane->OnClientSiteChanged();
    return S_OK;
}

HRESULT CWebBrowserControl::GetClientSite(IOleClientSite** ppClientSite) {
    if (ppClientSite == nullptr)
        return E_INVALIDARG;
    *ppClientSite = m_pClientSite;
    if (m_pClientSite != nullptr)
        m_pClientSite->AddRef();
    return S_OK;
}

IDocHostUIHandler* CWebBrowserControl::QueryUIHandler() const {
    void* pHandler = nullptr;
    if (m_pClientSite == nullptr ||
        FAILED(m_pClientSite->QueryInterface(IID_IDocHostUIHandler, &pHandler)))
        return nullptr;
    return static_cast<IDocHostUIHandler*>(pHandler);
}

void CWebBrowserControl::Close() {
    m_pPane = nullptr;
    if (IOleClientSite* pSite = m_pClientSite) {
        m_pClientSite = nullptr;
        pSite->Release();
    }
}
