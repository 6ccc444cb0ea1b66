#include "banner/CWebCtrlInterFace.h"

namespace {

std::atomic<int> s_nDestroyed{0};

// Out pointers are cleared only when there is somewhere to write.
template <typename T> void ClearOut(T** pp) {
    if (pp != nullptr)
        *pp = nullptr;
}

} // namespace

CWebCtrlInterFace::~CWebCtrlInterFace() {
    ++s_nDestroyed;
}

int CWebCtrlInterFace::DestroyedCountForTesting() {
    return s_nDestroyed.load();
}

HRESULT CWebCtrlInterFace::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr)
        return E_INVALIDARG;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
        *ppvObject = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IDocHostUIHandler)) {
        *ppvObject = static_cast<IDocHostUIHandler*>(this);
    } else {
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CWebCtrlInterFace::AddRef() {
    return ++m_cRef;
}

ULONG CWebCtrlInterFace::Release() {
    const ULONG cRef = --m_cRef;
    if (cRef == 0)
        delete this;
    return cRef;
}

HRESULT CWebCtrlInterFace::SaveObject() {
    return E_FAIL;
}

HRESULT CWebCtrlInterFace::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    ClearOut(ppmk);
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::GetContainer(IOleContainer** ppContainer) {
    ClearOut(ppContainer);
    return E_NOINTERFACE;
}

HRESULT CWebCtrlInterFace::ShowObject() {
    return S_OK;
}

HRESULT CWebCtrlInterFace::OnShowWindow(BOOL) {
    return S_OK;
}

HRESULT CWebCtrlInterFace::RequestNewObjectLayout() {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) {
    return S_OK; // handled: nothing is shown
}

HRESULT CWebCtrlInterFace::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    if (pInfo == nullptr)
        return E_INVALIDARG;
    pInfo->dwFlags =
        DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_FLAT_SCROLLBAR;
    return S_OK;
}

HRESULT CWebCtrlInterFace::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                  IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_FALSE; // the control shows its own user interface
}

HRESULT CWebCtrlInterFace::HideUI() {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::UpdateUI() {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::EnableModeless(BOOL) {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::OnDocWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::OnFrameWindowActivate(BOOL) {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::TranslateAccelerator(LPMSG, const GUID*, DWORD) {
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::GetOptionKeyPath(LPOLESTR* pchKey, DWORD) {
    ClearOut(pchKey);
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) {
    ClearOut(ppDropTarget);
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::GetExternal(IDispatch** ppDispatch) {
    ClearOut(ppDispatch);
    return E_NOTIMPL;
}

HRESULT CWebCtrlInterFace::TranslateUrl(DWORD, LPOLESTR, LPOLESTR* ppchURLOut) {
    ClearOut(ppchURLOut);
    return S_FALSE; // addresses are used unchanged
}

HRESULT CWebCtrlInterFace::FilterDataObject(IDataObject*, IDataObject** ppDORet) {
    ClearOut(ppDORet);
    return S_FALSE;
}
