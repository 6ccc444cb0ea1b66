// The banner pane: plays the web browser control in the main window. It shows one page,
// downloaded once, reduced to a small, bounded document off the user-interface thread
// (BannerSanitizer), laid out and painted there too by Qt's rich-text engine (BannerLayout;
// no scripts run) and shown as that picture. Its host's settings say whether it offers a
// context menu and draws a frame and scroll bars. Nothing is fetched before the pane is first
// painted.
#pragma once

#include "banner/BannerLoader.h"
#include "banner/BannerModule.h"
#include "banner/BannerSanitizer.h"
#include "banner/CWebCtrlInterFace.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <optional>

class BannerLayout;
class QKeyEvent;
class QTextBrowser;

class CExplorer1 : public QWidget {
    Q_OBJECT

public:
    explicit CExplorer1(QWidget* pParent = nullptr);
    ~CExplorer1() override;

    // Takes the host's settings, for the page shown and every later one. The pane keeps its
    // own copy, so the host may go before or after it. Without a host the pane has a frame,
    // scroll bars as needed and the view's own context menu.
    void SetHost(const CWebCtrlInterFace& newHost);

    // Shows the page at url once it and its pictures have arrived; a later call abandons an
    // unfinished load. The load starts from the event loop once the pane has been painted,
    // so it never holds up the window's first appearance.
    void Navigate(const QString& url);

    // The address of the last Navigate.
    QString GetLocationURL() const { return m_strLocation; }

    // Bytes allowed per page or picture, and time for one load as a whole.
    void SetLoadLimits(qint64 nMaxBytes, int nTimeoutMs);

    // The view that shows the page; hidden until a page is ready.
    QTextBrowser* GetView() const { return m_pView; }

signals:
    // The page that arrived has been shown, or found to have nothing that can be shown.
    void PageSettled(bool bShown);

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    // The loader's signals, connected by name (BannerModule.h).
    void OnPageArrived(const QByteArray& data, const QUrl& url);
    void OnImageDone(const QUrl& url, const QByteArray& data);

private:
    void StartLoad();
    void OnPageSanitized(const BannerPage& page);
    void DecodePictures();
    void ShowPage(const QList<QImage>& images);
    void OnPictureReady();
    void ApplyHost();
    // The host wants no scroll bars, and so no scrolling by the wheel either.
    bool NoScroll() const { return host && !host->bScrollBars; }
    void OnContextMenu(const QPoint& pos);
    void OnLinkClicked(const QUrl& link);
    // Shows the link's text in the page's colour for visited links from now on.
    void MarkVisited(const QUrl& link);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Up, Down, Home, End and the page keys by the lines the worker found; false for other
    // keys, or while the places are not known.
    bool MoveCaretByLine(const QKeyEvent* event);
    // Scrolls the caret, or the link the keyboard marked, into view.
    void KeepCaretInView();

    std::optional<CWebCtrlInterFace> host;
    IBannerLoader* m_pLoader = nullptr; // made with the first load (BannerModule.h)
    BannerPage (*m_sanitize)(const QByteArray&, const QUrl&) = nullptr; // the module's
    qint64 m_nMaxBytes = BannerLoader::kDefaultMaxBytes;
    int m_nTimeoutMs = BannerLoader::kDefaultTimeoutMs;
    QTextBrowser* m_pView;
    BannerLayout* m_pLayout;
    bool m_bPainted = false;
    bool m_bStartPending = false;
    bool m_bShowPending = false; // a page waits for its picture
    int m_nLoad = 0; // changes whenever a load is abandoned, so late results are dropped
    QString m_strLocation;
    QUrl m_pageUrl;
    BannerPage m_page;
    QString m_strVisitedLinkColor;   // of the page shown
    QList<QByteArray> m_pictureData; // in the order of m_page.pictures
    int m_nPendingPictures = 0;
};
