// Downloads the banner page and the pictures it shows, each at most once, within bounds of
// size and time, so that a slow, endless or huge answer cannot hold up or swamp the program.
#pragma once

#include "banner/BannerLimits.h"
#include "banner/BannerModule.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>

class HttpGet;

class BannerLoader : public QObject, public IBannerLoader {
    Q_OBJECT
    Q_INTERFACES(IBannerLoader)

public:
    static constexpr qint64 kDefaultMaxBytes = 512 * 1024;
    static constexpr int kDefaultTimeoutMs = 20000;
    static constexpr int kMaxImages = BannerLimits::kMaxPictures;

    explicit BannerLoader(QObject* pParent = nullptr);
    ~BannerLoader() override;

    // Bytes allowed for the page and for each picture; time allowed for the page and its
    // pictures together, from Start on (a load under way gets the new time from now on).
    void SetLimits(qint64 nMaxBytes, int nTimeoutMs) override;

    // Abandons whatever is under way and requests the page. Only http is fetched, and from
    // then on only from the page's own host and port: a page must not make the program send
    // requests to other machines (those of the user's own network above all).
    void Start(const QUrl& url) override;
    // Requests a picture of the current page, unless it was asked for already, too many
    // were, the time is up or it lies elsewhere. Every request ends in ImageDone.
    void FetchImage(const QUrl& url) override;
    // Abandons everything under way; no signal follows.
    void Stop() override;

    bool IsFetchable(const QUrl& url) const;
    // Whether url is http on the page's host and port (redirects are held to it too).
    bool IsOnSite(const QUrl& url) const;

signals:
    // The pane connects to these by name (BannerModule.h): keep their names and arguments.
    void PageArrived(const QByteArray& data, const QUrl& url);
    // The picture's bytes, undecoded; empty when the picture could not be had.
    void ImageDone(const QUrl& url, const QByteArray& data);

private:
    static constexpr int kMaxRedirects = 5;

    struct Transfer {
        QUrl url;      // as requested
        QUrl location; // where it is being fetched from now
        bool bPage = false;
        int nRedirects = 0;
    };

    void Get(const Transfer& transfer);
    void OnFinished(HttpGet* pGet, bool ok, const QByteArray& data);
    void OnRedirected(HttpGet* pGet, const QUrl& location);
    void OnDeadline();

    QHash<HttpGet*, Transfer> m_transfers;
    QSet<QUrl> m_requestedImages;
    QUrl m_site; // where the page was asked for
    QTimer m_deadline;
    qint64 m_nMaxBytes = kDefaultMaxBytes;
    int m_nTimeoutMs = kDefaultTimeoutMs;
    bool m_bExpired = false;
    bool m_bStarted = false;
    int m_nLoad = 0; // changes whenever what is under way is abandoned
};
