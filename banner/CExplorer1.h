// The banner pane: plays the web browser control in the main window. It shows one page,
// downloaded once, with Qt's rich-text engine (no scripts run), and asks its client site's
// user-interface handler whether to show a context menu, a border and scroll bars.
#pragma once

#include "ComTypes.h"
#include "CWebBrowserControl.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QWidget>

class CBannerLoader;
class QTextBrowser;

class CExplorer1 : public QWidget, private CWebBrowserControl::IPane {
    Q_OBJECT

public:
    explicit CExplorer1(QWidget* pParent = nullptr);
    ~CExplorer1() override;

    // The control's IUnknown; no reference is added for the caller.
    IUnknown* GetControlUnknown() const;

    // Shows the page at URL once it and its pictures have arrived; a later call abandons an
    // unfinished load. The optional arguments are taken as given and not used.
    void Navigate(const QString& URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                  VARIANT* Headers);

    // The address of the last Navigate.
    QString GetLocationURL() const { return m_strLocation; }

    // Bytes allowed per page or picture, and time for one load as a whole.
    void SetLoadLimits(qint64 nMaxBytes, int nTimeoutMs);

    // The view that shows the page; hidden until a page is ready.
    QTextBrowser* GetView() const { return m_pView; }

private:
    void OnNavigate(const QString& url) override;
    void OnClientSiteChanged() override;

    void OnPageArrived(const QByteArray& data, const QUrl& url);
    void OnImageDone(const QUrl& url, const QImage& image);
    void ShowPageIfComplete();
    void ApplyHostInfo();
    void OnContextMenu(const QPoint& pos);
    void OnLinkClicked(const QUrl& link);
    bool eventFilter(QObject* watched, QEvent* event) override;

    CWebBrowserControl* m_pControl;
    CBannerLoader* m_pLoader;
    QTextBrowser* m_pView;
    bool m_bNoScroll = false;
    QString m_strLocation;
    QString m_strPendingHtml;
    QUrl m_pageUrl;
    QSet<QUrl> m_pendingImages;
    QHash<QUrl, QImage> m_images;
};
