// The banner pane's host object: the client site the browser control is given, and through
// it the answers that make the pane an inert display (no context menu, border or scroll bars).
#pragma once

#include "platform/core/ComTypes.h"

#include <atomic>

class CWebCtrlInterFace : public IOleClientSite, public IDocHostUIHandler {
public:
    CWebCtrlInterFace() = default;
    CWebCtrlInterFace(const CWebCtrlInterFace&) = delete;
    CWebCtrlInterFace& operator=(const CWebCtrlInterFace&) = delete;

    // IUnknown (shared by both interfaces)
    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IOleClientSite
    HRESULT SaveObject() override;
    HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    HRESULT GetContainer(IOleContainer** ppContainer) override;
    HRESULT ShowObject() override;
    HRESULT OnShowWindow(BOOL fShow) override;
    HRESULT RequestNewObjectLayout() override;

    // IDocHostUIHandler
    HRESULT ShowContextMenu(DWORD dwID, POINT* ppt, IUnknown* pcmdtReserved,
                            IDispatch* pdispReserved) override;
    HRESULT GetHostInfo(DOCHOSTUIINFO* pInfo) override;
    HRESULT ShowUI(DWORD dwID, IOleInPlaceActiveObject* pActiveObject,
                   IOleCommandTarget* pCommandTarget, IOleInPlaceFrame* pFrame,
                   IOleInPlaceUIWindow* pDoc) override;
    HRESULT HideUI() override;
    HRESULT UpdateUI() override;
    HRESULT EnableModeless(BOOL fEnable) override;
    HRESULT OnDocWindowActivate(BOOL fActivate) override;
    HRESULT OnFrameWindowActivate(BOOL fActivate) override;
    HRESULT ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                         BOOL fRameWindow) override;
    HRESULT TranslateAccelerator(LPMSG lpMsg, const GUID* pguidCmdGroup, DWORD nCmdID) override;
    HRESULT GetOptionKeyPath(LPOLESTR* pchKey, DWORD dw) override;
    HRESULT GetDropTarget(IDropTarget* pDropTarget, IDropTarget** ppDropTarget) override;
    HRESULT GetExternal(IDispatch** ppDispatch) override;
    HRESULT TranslateUrl(DWORD dwTranslate, LPOLESTR pchURLIn, LPOLESTR* ppchURLOut) override;
    HRESULT FilterDataObject(IDataObject* pDO, IDataObject** ppDORet) override;

    // How many host objects have been destroyed in this process, so that tests can see each
    // one go exactly once.
    static int DestroyedCountForTesting();

protected:
    // Only Release deletes.
    virtual ~CWebCtrlInterFace();

private:
    std::atomic<ULONG> m_cRef{0};
};
