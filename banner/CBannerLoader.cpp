#include "CBannerLoader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

CBannerLoader::CBannerLoader(QObject* pParent) : QObject(pParent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &CBannerLoader::OnDeadline);
}

CBannerLoader::~CBannerLoader() {
    Stop();
}

void CBannerLoader::SetLimits(qint64 nMaxBytes, int nTimeoutMs) {
    m_nMaxBytes = nMaxBytes;
    m_nTimeoutMs = nTimeoutMs;
    if (m_deadline.isActive())
        m_deadline.start(m_nTimeoutMs);
}

bool CBannerLoader::IsFetchable(const QUrl& url) const {
    // Anything else (files, devices, pipes) is not the web site's to show.
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

bool CBannerLoader::IsOnSite(const QUrl& url) const {
    const auto port = [](const QUrl& u) {
        return u.port(u.scheme() == QLatin1String("https") ? 443 : 80);
    };
    return IsFetchable(url) && url.scheme() == m_site.scheme() &&
           url.host().compare(m_site.host(), Qt::CaseInsensitive) == 0 && port(url) == port(m_site);
}

void CBannerLoader::Start(const QUrl& url) {
    Stop();
    m_bExpired = false;
    m_site = url;
    if (!IsFetchable(url))
        return;
    if (m_pNetwork == nullptr)
        m_pNetwork = new QNetworkAccessManager(this);
    m_deadline.start(m_nTimeoutMs);
    Get(url, true);
}

void CBannerLoader::FetchImage(const QUrl& url) {
    if (m_bExpired || m_pNetwork == nullptr || !IsOnSite(url) || m_requestedImages.contains(url) ||
        m_requestedImages.size() >= kMaxImages) {
        // Settle it at once, but from the event loop, as a transfer would; not if another
        // page has been asked for meanwhile.
        QMetaObject::invokeMethod(
            this,
            [this, url, nLoad = m_nLoad] {
                if (nLoad == m_nLoad)
                    emit ImageDone(url, QByteArray());
            },
            Qt::QueuedConnection);
        return;
    }
    m_requestedImages.insert(url);
    Get(url, false);
}

void CBannerLoader::Stop() {
    ++m_nLoad;
    m_deadline.stop();
    const QList<QNetworkReply*> replies = m_transfers.keys();
    m_transfers.clear();
    m_requestedImages.clear();
    for (QNetworkReply* reply : replies) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void CBannerLoader::Get(const QUrl& url, bool bPage) {
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply* reply = m_pNetwork->get(request);
    m_transfers.insert(reply, CTransfer{url, bPage, {}});
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& to) {
        if (IsOnSite(to))
            emit reply->redirectAllowed();
        else
            reply->abort();
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_nMaxBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { OnReadyRead(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { OnFinished(reply); });
}

void CBannerLoader::OnReadyRead(QNetworkReply* reply) {
    auto it = m_transfers.find(reply);
    if (it == m_transfers.end())
        return;
    it->data += reply->read(m_nMaxBytes + 1 - it->data.size());
    if (it->data.size() > m_nMaxBytes)
        reply->abort(); // too big: dropped as a whole in OnFinished
}

void CBannerLoader::OnFinished(QNetworkReply* reply) {
    reply->deleteLater();
    auto it = m_transfers.find(reply);
    if (it == m_transfers.end())
        return;
    CTransfer transfer = std::move(*it);
    m_transfers.erase(it);
    if (reply->error() == QNetworkReply::NoError && reply->bytesAvailable() > 0)
        transfer.data += reply->read(m_nMaxBytes + 1 - transfer.data.size());
    const bool ok = reply->error() == QNetworkReply::NoError &&
                    transfer.data.size() <= m_nMaxBytes && IsOnSite(reply->url());
    if (transfer.bPage) {
        if (ok)
            emit PageArrived(transfer.data, reply->url());
        else
            m_deadline.stop(); // nothing more will be asked for
    } else {
        emit ImageDone(transfer.url, ok ? transfer.data : QByteArray());
    }
}

void CBannerLoader::OnDeadline() {
    m_bExpired = true;
    const QList<QNetworkReply*> replies = m_transfers.keys();
    // Aborting finishes each transfer as a failure, so every picture still gets its ImageDone.
    for (QNetworkReply* reply : replies)
        reply->abort();
}
