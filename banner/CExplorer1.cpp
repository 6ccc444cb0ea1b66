#include "CExplorer1.h"

#include "CBannerLoader.h"
#include "ShellOpen.h"

#include <QMenu>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QVBoxLayout>

namespace {

// A page document that loads nothing by itself: pictures come only from what the loader
// fetched, so a page cannot make the program read local files or devices.
class CBannerDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

    QHash<QUrl, QImage> images;

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (name.scheme() == QLatin1String("data"))
            return QTextDocument::loadResource(type, name); // decoded in place, reads nothing
        if (type != QTextDocument::ImageResource)
            return {};
        const QImage image = images.value(name);
        if (!image.isNull())
            return image;
        // A picture that could not be had leaves a gap, not a broken-file symbol.
        QImage blank(1, 1, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        return blank;
    }
};

QList<QUrl> ImageNames(const QTextDocument& document) {
    QList<QUrl> names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                names << document.baseUrl().resolved(QUrl(format.toImageFormat().name()));
        }
    }
    return names;
}

} // namespace

CExplorer1::CExplorer1(QWidget* pParent)
    : QWidget(pParent), m_pControl(new CWebBrowserControl(this)),
      m_pLoader(new CBannerLoader(this)), m_pView(new QTextBrowser(this)) {
    m_pView->setDocument(new CBannerDocument(m_pView));
    m_pView->document()->setDocumentMargin(0);
    m_pView->setOpenLinks(false);
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pView->hide();
    m_pView->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    connect(m_pView, &QTextBrowser::anchorClicked, this, &CExplorer1::OnLinkClicked);
    connect(m_pView, &QWidget::customContextMenuRequested, this, &CExplorer1::OnContextMenu);
    connect(m_pLoader, &CBannerLoader::PageArrived, this, &CExplorer1::OnPageArrived);
    connect(m_pLoader, &CBannerLoader::ImageDone, this, &CExplorer1::OnImageDone);
    ApplyHostInfo();
}

CExplorer1::~CExplorer1() {
    m_pLoader->Stop();
    // The control lets go of its site even if someone still holds the control.
    m_pControl->Close();
    m_pControl->Release();
}

IUnknown* CExplorer1::GetControlUnknown() const {
    return static_cast<IWebBrowser2*>(m_pControl);
}

void CExplorer1::Navigate(const QString& URL, VARIANT* Flags, VARIANT* TargetFrameName,
                          VARIANT* PostData, VARIANT* Headers) {
    m_pControl->Navigate(reinterpret_cast<BSTR>(URL.utf16()), Flags, TargetFrameName, PostData,
                         Headers);
}

void CExplorer1::SetLoadLimits(qint64 nMaxBytes, int nTimeoutMs) {
    m_pLoader->SetLimits(nMaxBytes, nTimeoutMs);
}

void CExplorer1::OnNavigate(const QString& url) {
    m_strLocation = url;
    m_pView->hide();
    m_pView->clear();
    m_strPendingHtml.clear();
    m_pendingImages.clear();
    m_images.clear();
    m_pLoader->Start(QUrl(url));
}

void CExplorer1::OnClientSiteChanged() {
    ApplyHostInfo();
}

void CExplorer1::OnPageArrived(const QByteArray& data, const QUrl& url) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
    m_strPendingHtml = decoder.isValid() ? decoder.decode(data) : QString::fromUtf8(data);
    m_pageUrl = url;
    // Parsed once here to learn the pictures; shown once they have all settled.
    CBannerDocument scratch;
    scratch.setBaseUrl(url);
    scratch.setHtml(m_strPendingHtml);
    const QList<QUrl> names = ImageNames(scratch);
    m_pendingImages = QSet<QUrl>(names.begin(), names.end());
    const QSet<QUrl> wanted = m_pendingImages; // each one asked for once
    for (const QUrl& name : wanted)
        m_pLoader->FetchImage(name);
    ShowPageIfComplete();
}

void CExplorer1::OnImageDone(const QUrl& url, const QImage& image) {
    if (!m_pendingImages.remove(url))
        return;
    if (!image.isNull())
        m_images.insert(url, image);
    ShowPageIfComplete();
}

void CExplorer1::ShowPageIfComplete() {
    if (m_strPendingHtml.isEmpty() || !m_pendingImages.isEmpty())
        return;
    auto* document = static_cast<CBannerDocument*>(m_pView->document());
    document->images = m_images;
    document->setBaseUrl(m_pageUrl);
    m_pView->setHtml(m_strPendingHtml);
    document->setBaseUrl(m_pageUrl); // setHtml may reset it
    m_strPendingHtml.clear();
    ApplyHostInfo(); // the control asks again for every document
    m_pView->show();
}

void CExplorer1::ApplyHostInfo() {
    DOCHOSTUIINFO info{sizeof(DOCHOSTUIINFO), 0, 0, nullptr, nullptr};
    if (IDocHostUIHandler* pHandler = m_pControl->QueryUIHandler()) {
        if (FAILED(pHandler->GetHostInfo(&info)))
            info.dwFlags = 0;
        pHandler->Release();
    }
    m_pView->setFrameStyle((info.dwFlags & DOCHOSTUIFLAG_NO3DBORDER)
                               ? int(QFrame::NoFrame)
                               : int(QFrame::StyledPanel | QFrame::Sunken));
    m_bNoScroll = (info.dwFlags & DOCHOSTUIFLAG_SCROLL_NO) != 0;
    const Qt::ScrollBarPolicy policy = m_bNoScroll ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    m_pView->setHorizontalScrollBarPolicy(policy);
    m_pView->setVerticalScrollBarPolicy(policy);
}

bool CExplorer1::eventFilter(QObject* watched, QEvent* event) {
    // Without scroll bars the page stays put under the wheel too.
    if (watched == m_pView->viewport() && event->type() == QEvent::Wheel && m_bNoScroll)
        return true;
    return QWidget::eventFilter(watched, event);
}

void CExplorer1::OnContextMenu(const QPoint& pos) {
    const QPoint global = m_pView->viewport()->mapToGlobal(pos);
    if (IDocHostUIHandler* pHandler = m_pControl->QueryUIHandler()) {
        POINT pt{global.x(), global.y()};
        const HRESULT hr = pHandler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr);
        pHandler->Release();
        if (hr == S_OK)
            return; // the host has dealt with it
    }
    QMenu* menu = m_pView->createStandardContextMenu(pos);
    if (menu == nullptr)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(global);
}

void CExplorer1::OnLinkClicked(const QUrl& link) {
    const QUrl url = m_pageUrl.resolved(link);
    // Only what a web page may fairly ask the desktop to open.
    static const QStringList kSchemes = {QStringLiteral("http"), QStringLiteral("https"),
                                         QStringLiteral("mailto")};
    if (!kSchemes.contains(url.scheme()))
        return;
    ShellExecute(nullptr, QStringLiteral("open"), url.toString(), QString(), QString(),
                 SW_SHOWNORMAL);
}
