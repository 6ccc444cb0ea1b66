// The COM face of the browser control that the banner pane plays: what a container reaches
// through GetControlUnknown. It lives as long as someone holds a reference, but once its
// pane is gone it drops its client site and does nothing more.
#pragma once

#include "platform/core/ComTypes.h"

#include <QString>

#include <atomic>

class CWebBrowserControl : public IWebBrowser2, public IOleObject {
public:
    // What the control asks of the pane it belongs to.
    class IPane {
    public:
        virtual void OnNavigate(const QString& url) = 0;
        virtual void OnClientSiteChanged() = 0;

    protected:
        ~IPane() = default;
    };

    // Starts with the one reference its pane holds.
    explicit CWebBrowserControl(IPane* pPane);
    CWebBrowserControl(const CWebBrowserControl&) = delete;
    CWebBrowserControl& operator=(const CWebBrowserControl&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                     VARIANT* Headers) override;

    HRESULT SetClientSite(IOleClientSite* pClientSite) override;
    HRESULT GetClientSite(IOleClientSite** ppClientSite) override;

    // The site's user-interface handler with a reference added, or null.
    IDocHostUIHandler* QueryUIHandler() const;

    // The pane is going away: the site is released and the pane forgotten.
    void Close();

protected:
    virtual ~CWebBrowserControl();

private:
    std::atomic<ULONG> m_cRef{1};
    IOleClientSite* m_pClientSite = nullptr;
    IPane* m_pPane;
};
