#include "banner/CExplorer1.h"

#include "banner/BannerLayout.h"
#include "banner/BannerPictures.h"
#include "platform/widgets/AccessibleDocument.h"
#include "platform/widgets/ShellOpen.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QtConcurrent/QtConcurrentRun>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>

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
    auto* document = new BannerDocument(m_pView);
    m_pLayout = new BannerLayout(document);
    document->setDocumentLayout(m_pLayout);
    document->setDocumentMargin(0);
    m_pView->setDocument(document);
    m_pView->setOpenLinks(false);
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pView->hide();
    m_pView->installEventFilter(this);
    MakeAccessibleDocument(m_pView); // its filter sees the keys first
    m_pView->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    connect(m_pView, &QTextBrowser::anchorClicked, this, &CExplorer1::OnLinkClicked);
    connect(m_pLayout, &BannerLayout::PictureReady, this, &CExplorer1::OnPictureReady);
    // The view asks to paint the caret and the selection where Qt's own layout would have
    // them: it is painted whole instead (see eventFilter), and kept in view by the places the
    // worker found, once the view has scrolled by its own.
    connect(m_pView, &QTextEdit::selectionChanged, m_pView->viewport(),
            qOverload<>(&QWidget::update));
    connect(m_pView, &QTextEdit::cursorPositionChanged, this, [this] {
        m_pView->viewport()->update();
        QMetaObject::invokeMethod(this, &CExplorer1::KeepCaretInView, Qt::QueuedConnection);
    });
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
    m_page = BannerPage();
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
        QObject* loader = module != nullptr ? module->createLoader(this) : nullptr;
        m_pLoader = qobject_cast<IBannerLoader*>(loader);
        if (m_pLoader == nullptr) {
            delete loader;
            return; // the pane stays empty, as for a site that cannot be reached
        }
        m_sanitize = module->sanitize;
        // By name: the loader's class is the module's, not the program's.
        connect(loader, SIGNAL(PageArrived(QByteArray, QUrl)), this,
                SLOT(OnPageArrived(QByteArray, QUrl)));
        connect(loader, SIGNAL(ImageDone(QUrl, QByteArray)), this,
                SLOT(OnImageDone(QUrl, QByteArray)));
        m_pLoader->SetLimits(m_nMaxBytes, m_nTimeoutMs);
    }
    m_pLoader->Start(QUrl(m_strLocation));
}

void CExplorer1::OnPageArrived(const QByteArray& data, const QUrl& url) {
    m_pageUrl = url;
    RunOffThread<BannerPage>(
        this, &m_nLoad, [data, url, sanitize = m_sanitize] { return sanitize(data, url); },
        [this](const BannerPage& page) { OnPageSanitized(page); });
}

void CExplorer1::OnPageSanitized(const BannerPage& page) {
    if (page.strHtml.isEmpty()) {
        emit PageSettled(false);
        return;
    }
    m_page = page;
    m_pictureData.clear();
    m_nPendingPictures = 0;
    // Each address is in the list once; the loader settles every request from the event
    // loop, so none is settled before this loop has counted them all.
    for (const BannerPicture& picture : m_page.pictures) {
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
        this, &m_nLoad, [data = m_pictureData] { return BannerPictures::Decode(data); },
        [this](const QList<QImage>& images) { ShowPage(images); });
    m_pictureData.clear();
}

void CExplorer1::ShowPage(const QList<QImage>& images) {
    auto* document = static_cast<BannerDocument*>(m_pView->document());
    document->images.clear();
    for (qsizetype i = 0; i < images.size(); ++i) {
        if (!images[i].isNull())
            document->images.insert(BannerSanitizer::PictureName(int(i)), images[i]);
    }
    m_pView->setHtml(m_page.strHtml);
    m_strVisitedLinkColor = m_page.strVisitedLinkColor;
    m_page = BannerPage();
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
    const bool frame = !host || host->bFrame;
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
    if (watched == m_pView->viewport() && event->type() == QEvent::Paint &&
        !QRegion(m_pView->viewport()->rect())
             .subtracted(static_cast<QPaintEvent*>(event)->region())
             .isEmpty())
        m_pView->viewport()->update(); // a caret's blink, or a selection, where Qt thinks it is
    if (watched == m_pView->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // Qt selects the word only where its own layout has lines.
        QTextCursor cursor =
            m_pView->cursorForPosition(static_cast<QMouseEvent*>(event)->position().toPoint());
        cursor.select(QTextCursor::WordUnderCursor);
        m_pView->setTextCursor(cursor);
        return true;
    }
    if (watched == m_pView && event->type() == QEvent::KeyPress &&
        MoveCaretByLine(static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool CExplorer1::MoveCaretByLine(const QKeyEvent* event) {
    const int key = event->key();
    if ((event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) != Qt::NoModifier ||
        (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Home && key != Qt::Key_End &&
         key != Qt::Key_PageUp && key != Qt::Key_PageDown))
        return false;
    QTextCursor cursor = m_pView->textCursor();
    const int nLine = m_pLayout->LineIndex(cursor.position());
    if (nLine < 0)
        return false; // no places yet: Qt's own moves
    const QRectF caret = m_pLayout->CursorRect(cursor.position());
    int nTarget = nLine;
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        nTarget = std::clamp(nLine + (key == Qt::Key_Up ? -1 : 1), 0, m_pLayout->LineCount() - 1);
    } else if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
        // The line a page above or below, as near to it as lines go.
        const qreal page = m_pView->viewport()->height();
        const qreal y = caret.center().y() + (key == Qt::Key_PageUp ? -page : page);
        for (int i = 0; i < m_pLayout->LineCount(); ++i) {
            if (std::abs(m_pLayout->LineRect(i).center().y() - y) <
                std::abs(m_pLayout->LineRect(nTarget).center().y() - y))
                nTarget = i;
        }
    }
    int nPosition = m_pLayout->PositionInLine(nTarget, caret.x());
    int nStart = 0;
    int nEnd = 0;
    m_pLayout->LineAt(nPosition, &nStart, &nEnd);
    if (key == Qt::Key_Home)
        nPosition = nStart;
    else if (key == Qt::Key_End) // before the space a wrapped line ends with
        nPosition = m_pLayout->LineIndex(nEnd) == nLine ? nEnd : std::max(nStart, nEnd - 1);
    cursor.setPosition(nPosition, event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor
                                                                         : QTextCursor::MoveAnchor);
    m_pView->setTextCursor(cursor);
    return true;
}

void CExplorer1::KeepCaretInView() {
    const QTextCursor cursor = m_pView->textCursor();
    const QSize shown = m_pView->viewport()->size();
    // The caret, and the other end of a selection as long as both fit: a marked link whole, and
    // a drag's moving end never pushed out by where it began.
    QRectF rect = m_pLayout->CursorRect(cursor.position());
    if (rect.isEmpty())
        return;
    if (const QRectF both = rect | m_pLayout->CursorRect(cursor.anchor());
        both.height() <= shown.height() && both.width() <= shown.width())
        rect = both;
    for (const auto& [bar, from, to, length] :
         {std::tuple{m_pView->verticalScrollBar(), rect.top(), rect.bottom(), shown.height()},
          std::tuple{m_pView->horizontalScrollBar(), rect.left(), rect.right(), shown.width()}}) {
        if (to > bar->value() + length)
            bar->setValue(int(std::ceil(to)) - length);
        if (from < bar->value())
            bar->setValue(int(std::floor(from)));
    }
}

void CExplorer1::OnContextMenu(const QPoint& pos) {
    if (host && !host->bContextMenu)
        return;
    QMenu* menu = m_pView->createStandardContextMenu(pos);
    if (menu == nullptr)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_pView->viewport()->mapToGlobal(pos));
}

void CExplorer1::OnLinkClicked(const QUrl& link) {
    // Only what a web page may fairly ask the desktop to open.
    const QUrl url = BannerSanitizer::SafeLink(m_pageUrl, link.toString(QUrl::FullyEncoded));
    if (url.isEmpty())
        return;
    ShellExecute(nullptr, QStringLiteral("open"), url.toString(), QString(), QString(),
                 SW_SHOWNORMAL);
    MarkVisited(link);
}

void CExplorer1::MarkVisited(const QUrl& link) {
    if (m_strVisitedLinkColor.isEmpty())
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
    visited.setForeground(QColor(m_strVisitedLinkColor));
    for (const auto& [from, to] : ranges) {
        QTextCursor cursor(document);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(visited);
    }
}
