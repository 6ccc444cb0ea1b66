#include "banner/CBannerLoader.h"

#include "banner/CHttpGet.h"

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
    return url.isValid() && url.scheme() == QLatin1String("http") && !url.host().isEmpty();
}

bool CBannerLoader::IsOnSite(const QUrl& url) const {
    return IsFetchable(url) && url.host().compare(m_site.host(), Qt::CaseInsensitive) == 0 &&
           url.port(80) == m_site.port(80);
}

void CBannerLoader::Start(const QUrl& url) {
    Stop();
    m_bExpired = false;
    m_bStarted = false;
    m_site = url;
    if (!IsFetchable(url))
        return;
    m_bStarted = true;
    m_deadline.start(m_nTimeoutMs);
    Get(CTransfer{url, url, true, 0});
}

void CBannerLoader::FetchImage(const QUrl& url) {
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
    Get(CTransfer{url, url, false, 0});
}

void CBannerLoader::Stop() {
    ++m_nLoad;
    m_deadline.stop();
    const QList<CHttpGet*> gets = m_transfers.keys();
    m_transfers.clear();
    m_requestedImages.clear();
    for (CHttpGet* pGet : gets)
        delete pGet; // closes its connection at once
}

void CBannerLoader::Get(const CTransfer& transfer) {
    auto* pGet = new CHttpGet(transfer.location, m_nMaxBytes, this);
    m_transfers.insert(pGet, transfer);
    connect(pGet, &CHttpGet::Finished, this,
            [this, pGet](bool ok, const QByteArray& data) { OnFinished(pGet, ok, data); });
    connect(pGet, &CHttpGet::Redirected, this,
            [this, pGet](const QUrl& location) { OnRedirected(pGet, location); });
}

void CBannerLoader::OnRedirected(CHttpGet* pGet, const QUrl& location) {
    CTransfer transfer = m_transfers.value(pGet);
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

void CBannerLoader::OnFinished(CHttpGet* pGet, bool ok, const QByteArray& data) {
    const auto it = m_transfers.find(pGet);
    if (it == m_transfers.end())
        return;
    const CTransfer transfer = *it;
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

void CBannerLoader::OnDeadline() {
    m_bExpired = true;
    const QList<CHttpGet*> gets = m_transfers.keys();
    // Each ends as a failure at once, so every picture still gets its ImageDone.
    for (CHttpGet* pGet : gets) {
        pGet->Abort();
        OnFinished(pGet, false, {});
    }
}
