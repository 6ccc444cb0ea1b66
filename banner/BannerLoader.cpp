#include "banner/BannerLoader.h"

#include "banner/HttpGet.h"

BannerLoader::BannerLoader(QObject* pParent) : QObject(pParent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &BannerLoader::OnDeadline);
}

BannerLoader::~BannerLoader() {
    Stop();
}

void BannerLoader::SetLimits(qint64 nMaxBytes, int nTimeoutMs) {
    m_nMaxBytes = nMaxBytes;
    m_nTimeoutMs = nTimeoutMs;
    if (m_deadline.isActive())
        m_deadline.start(m_nTimeoutMs);
}

bool BannerLoader::IsFetchable(const QUrl& url) const {
    // Anything else (files, devices, pipes) is not the web site's to show.
    return url.isValid() && url.scheme() == QLatin1String("http") && !url.host().isEmpty();
}

bool BannerLoader::IsOnSite(const QUrl& url) const {
    return IsFetchable(url) && url.host().compare(m_site.host(), Qt::CaseInsensitive) == 0 &&
           url.port(80) == m_site.port(80);
}

void BannerLoader::Start(const QUrl& url) {
    Stop();
    m_bExpired = false;
    m_bStarted = false;
    m_site = url;
    if (!IsFetchable(url))
        return;
    m_bStarted = true;
    m_deadline.start(m_nTimeoutMs);
    Get(Transfer{url, url, true, 0});
}

void BannerLoader::FetchImage(const QUrl& url) {
    if (m_bExpired || !m_bStarted || !IsOnSite(url) || m_requestedImages.contains(url) ||
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
    Get(Transfer{url, url, false, 0});
}

void BannerLoader::Stop() {
    ++m_nLoad;
    m_deadline.stop();
    const QList<HttpGet*> gets = m_transfers.keys();
    m_transfers.clear();
    m_requestedImages.clear();
    for (HttpGet* pGet : gets)
        delete pGet; // closes its connection at once
}

void BannerLoader::Get(const Transfer& transfer) {
    auto* pGet = new HttpGet(transfer.location, m_nMaxBytes, this);
    m_transfers.insert(pGet, transfer);
    connect(pGet, &HttpGet::Finished, this,
            [this, pGet](bool ok, const QByteArray& data) { OnFinished(pGet, ok, data); });
    connect(pGet, &HttpGet::Redirected, this,
            [this, pGet](const QUrl& location) { OnRedirected(pGet, location); });
}

void BannerLoader::OnRedirected(HttpGet* pGet, const QUrl& location) {
    Transfer transfer = m_transfers.value(pGet);
    if (!m_transfers.contains(pGet))
        return;
    // Only on the page's own site, and not for ever.
    if (!IsOnSite(location) || ++transfer.nRedirects > kMaxRedirects) {
        OnFinished(pGet, false, {});
        return;
    }
    m_transfers.remove(pGet);
    pGet->deleteLater();
    transfer.location = location;
    Get(transfer);
}

void BannerLoader::OnFinished(HttpGet* pGet, bool ok, const QByteArray& data) {
    const auto it = m_transfers.find(pGet);
    if (it == m_transfers.end())
        return;
    const Transfer transfer = *it;
    m_transfers.erase(it);
    pGet->deleteLater();
    if (transfer.bPage) {
        if (ok)
            emit PageArrived(data, transfer.location);
        else
            m_deadline.stop(); // nothing more will be asked for
    } else {
        emit ImageDone(transfer.url, ok ? data : QByteArray());
    }
}

void BannerLoader::OnDeadline() {
    m_bExpired = true;
    const QList<HttpGet*> gets = m_transfers.keys();
    // Each ends as a failure at once, so every picture still gets its ImageDone.
    for (HttpGet* pGet : gets) {
        pGet->Abort();
        OnFinished(pGet, false, {});
    }
}
