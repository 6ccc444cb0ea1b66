#include "banner/CExplorer1.h"

#include "banner/CBannerLayout.h"
#include "banner/CBannerPictures.h"
#include "platform/widgets/ShellOpen.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QMenu>
#include <QScrollBar>
#include <QtConcurrent/QtConcurrentRun>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// Runs fn on the thread pool and hands its result to done on the pane's thread, unless
// another load has begun meanwhile.
template <typename Result, typename Fn, typename Done>
void RunOffThread(QObject* context, const int* pLoad, Fn fn, Done done) {
    auto* watcher = new QFutureWatcher<Result>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context,
                     [watcher, pLoad, nLoad = *pLoad, done] {
                         watcher->deleteLater();
                         if (nLoad == *pLoad)
                             done(watcher->result());
                     });
    watcher->setFuture(QtConcurrent::run(std::move(fn)));
}

} // namespace

CExplorer1::CExplorer1(QWidget* pParent) : QWidget(pParent), m_pView(new QTextBrowser(this)) {
    auto* document = new CBannerDocument(m_pView);
    m_pLayout = new CBannerLayout(document);
    document->setDocumentLayout(m_pLayout);
    document->setDocumentMargin(0);
    m_pView->setDocument(document);
    m_pView->setOpenLinks(false);
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pView->hide();
    m_pView->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    connect(m_pView, &QTextBrowser::anchorClicked, this, &CExplorer1::OnLinkClicked);
    connect(m_pLayout, &CBannerLayout::PictureReady, this, &CExplorer1::OnPictureReady);
    // The layout knows no places for the keyboard's mark, so the view is painted anew.
    connect(m_pView, &QTextEdit::selectionChanged, m_pView->viewport(),
            qOverload<>(&QWidget::update));
    connect(m_pView, &QWidget::customContextMenuRequested, this, &CExplorer1::OnContextMenu);
    ApplyHost();
}

CExplorer1::~CExplorer1() {
    if (m_pLoader != nullptr)
        m_pLoader->Stop();
}

void CExplorer1::SetHost(const CWebCtrlInterFace& newHost) {
    host = newHost;
    ApplyHost();
}

void CExplorer1::SetLoadLimits(qint64 nMaxBytes, int nTimeoutMs) {
    m_nMaxBytes = nMaxBytes;
    m_nTimeoutMs = nTimeoutMs;
    if (m_pLoader != nullptr)
        m_pLoader->SetLimits(nMaxBytes, nTimeoutMs);
}

void CExplorer1::Navigate(const QString& url) {
    m_strLocation = url;
    if (m_pLoader != nullptr)
        m_pLoader->Stop();
    ++m_nLoad;
    m_pView->hide();
    m_pView->clear();
    m_bShowPending = false;
    m_page = CBannerPage();
    m_pictureData.clear();
    m_nPendingPictures = 0;
    m_bStartPending = true;
    if (m_bPainted)
        QMetaObject::invokeMethod(this, &CExplorer1::StartLoad, Qt::QueuedConnection);
}

void CExplorer1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_bPainted) {
        m_bPainted = true;
        // After this paint has reached the screen, not within it.
        if (m_bStartPending)
            QMetaObject::invokeMethod(this, &CExplorer1::StartLoad, Qt::QueuedConnection);
    }
}

void CExplorer1::StartLoad() {
    if (!m_bStartPending)
        return;
    m_bStartPending = false;
    if (m_pLoader == nullptr) {
        const BannerModule* module = LoadBannerModule();
        if (module == nullptr)
            return; // the pane stays empty, as for a site that cannot be reached
        m_pLoader = module->createLoader(
            this, {[this](const QByteArray& data, const QUrl& url) { OnPageArrived(data, url); },
                   [this](const QUrl& url, const QByteArray& data) { OnImageDone(url, data); }});
        m_pLoader->SetLimits(m_nMaxBytes, m_nTimeoutMs);
    }
    m_pLoader->Start(QUrl(m_strLocation));
}

void CExplorer1::OnPageArrived(const QByteArray& data, const QUrl& url) {
    m_pageUrl = url;
    RunOffThread<CBannerPage>(
        this, &m_nLoad,
        [data, url, sanitize = LoadBannerModule()->sanitize] { return sanitize(data, url); },
        [this](const CBannerPage& page) { OnPageSanitized(page); });
}

void CExplorer1::OnPageSanitized(const CBannerPage& page) {
    if (page.html.isEmpty()) {
        emit PageSettled(false);
        return;
    }
    m_page = page;
    m_pictureData.clear();
    m_nPendingPictures = 0;
    // Each address is in the list once; the loader settles every request from the event
    // loop, so none is settled before this loop has counted them all.
    for (const CBannerPicture& picture : m_page.pictures) {
        m_pictureData.append(picture.data);
        if (!picture.url.isEmpty()) {
            ++m_nPendingPictures;
            m_pLoader->FetchImage(picture.url);
        }
    }
    if (m_nPendingPictures == 0)
        DecodePictures();
}

void CExplorer1::OnImageDone(const QUrl& url, const QByteArray& data) {
    for (qsizetype i = 0; i < m_page.pictures.size(); ++i) {
        if (m_page.pictures[i].url == url && !url.isEmpty()) {
            m_pictureData[i] = data;
            if (--m_nPendingPictures == 0)
                DecodePictures();
            return;
        }
    }
}

void CExplorer1::DecodePictures() {
    if (m_pictureData.isEmpty()) {
        ShowPage({});
        return;
    }
    RunOffThread<QList<QImage>>(
        this, &m_nLoad, [data = m_pictureData] { return CBannerPictures::Decode(data); },
        [this](const QList<QImage>& images) { ShowPage(images); });
    m_pictureData.clear();
}

void CExplorer1::ShowPage(const QList<QImage>& images) {
    auto* document = static_cast<CBannerDocument*>(m_pView->document());
    document->images.clear();
    for (qsizetype i = 0; i < images.size(); ++i) {
        if (!images[i].isNull())
            document->images.insert(CBannerSanitizer::PictureName(int(i)), images[i]);
    }
    m_pView->setHtml(m_page.html);
    m_visitedLinkColor = m_page.visitedLinkColor;
    m_page = CBannerPage();
    // Laid out for the place the view will take, and shown once that picture has come.
    m_pView->setGeometry(rect());
    m_pView->document()->setPageSize(QSizeF(m_pView->contentsRect().width(), -1));
    m_bShowPending = true;
}

void CExplorer1::OnPictureReady() {
    if (!m_bShowPending || !m_pLayout->IsCurrent())
        return;
    m_bShowPending = false;
    m_pView->show();
    emit PageSettled(true);
}

void CExplorer1::ApplyHost() {
    const bool frame = !host || host->frame;
    m_pView->setFrameStyle(frame ? int(QFrame::StyledPanel | QFrame::Sunken)
                                 : int(QFrame::NoFrame));
    const Qt::ScrollBarPolicy policy = NoScroll() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    m_pView->setHorizontalScrollBarPolicy(policy);
    m_pView->setVerticalScrollBarPolicy(policy);
}

bool CExplorer1::eventFilter(QObject* watched, QEvent* event) {
    // Without scroll bars the page stays put under the wheel too.
    if (watched == m_pView->viewport() && event->type() == QEvent::Wheel && NoScroll())
        return true;
    return QWidget::eventFilter(watched, event);
}

void CExplorer1::OnContextMenu(const QPoint& pos) {
    if (host && !host->contextMenu)
        return;
    QMenu* menu = m_pView->createStandardContextMenu(pos);
    if (menu == nullptr)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_pView->viewport()->mapToGlobal(pos));
}

void CExplorer1::OnLinkClicked(const QUrl& link) {
    // Only what a web page may fairly ask the desktop to open.
    const QUrl url = CBannerSanitizer::SafeLink(m_pageUrl, link.toString(QUrl::FullyEncoded));
    if (url.isEmpty())
        return;
    ShellExecute(nullptr, QStringLiteral("open"), url.toString(), QString(), QString(),
                 SW_SHOWNORMAL);
    MarkVisited(link);
}

void CExplorer1::MarkVisited(const QUrl& link) {
    if (m_visitedLinkColor.isEmpty())
        return;
    QTextDocument* document = m_pView->document();
    QList<QPair<int, int>> ranges; // found first: a changed format splits the fragments
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (QUrl(fragment.charFormat().anchorHref()) == link)
                ranges.append({fragment.position(), fragment.position() + fragment.length()});
        }
    }
    QTextCharFormat visited;
    visited.setForeground(QColor(m_visitedLinkColor));
    for (const auto& [from, to] : ranges) {
        QTextCursor cursor(document);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(visited);
    }
}
