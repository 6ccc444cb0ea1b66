#include "app/HelpWindow.h"

#include "app/HelpBrowser.h"
#include "platform/widgets/AccessibleDocument.h"
#include "platform/widgets/FocusFrame.h"
#include "platform/widgets/Resources.h"
#include "platform/widgets/ScreenFit.h"
#include "res/resource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QResource>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <QXmlStreamReader>

namespace {

const QString kStartPage = QStringLiteral("index.html");
const QString kContentsFile = QStringLiteral("contents.xml");

QPointer<HelpWindow> s_pHelpWindow;
// Each window registers the help under a resource root of its own, so two windows showing
// different copies never read each other's pages.
int s_nRegistrations = 0;

// Names every place looked in: a copy of the program without its help folder beside it is
// not mended by installing again.
QString MissingFileText(const QString& path, const QString& exeFolder) {
    const QStringList folders = HelpFolderCandidates(exeFolder);
    return HelpWindow::tr("The help file \"%1\" was not found.\n\nVantrel looks for its help "
                          "in \"%2\" and next to the program, in \"%3\".")
        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(folders.first()),
             QDir::toNativeSeparators(folders.last()));
}

// The contents tree. Its current item follows the page shown; while the page has the focus,
// that is not announced as a focus change (Qt's tree would, and a screen reader would then
// speak the tree while the keys go to the page).
class HelpContentsTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        if (hasFocus())
            QTreeWidget::currentChanged(current, previous);
        else
            QAbstractItemView::currentChanged(current, previous);
    }
};

} // namespace

QStringList HelpFolderCandidates(const QString& exeFolder) {
    const QDir exeDir(QDir(exeFolder).absolutePath());
    return {QDir::cleanPath(exeDir.filePath(QStringLiteral(VANTREL_HELP_FROM_BIN))), exeDir.path()};
}

QString FindHelpFolder(const QString& exeFolder) {
    const QStringList folders = HelpFolderCandidates(exeFolder);
    for (const QString& folder : folders) {
        if (QFileInfo(QDir(folder).filePath(QLatin1String(kHelpFile))).isFile())
            return folder;
    }
    return folders.first();
}

HelpWindow* HelpWindow::ShowHelpContents(const QString& exeFolder) {
    const QString folder = FindHelpFolder(exeFolder);
    // A window that could not load its help tries again, as the files may be back.
    if (s_pHelpWindow && (s_pHelpWindow->HelpFolder() != folder || !s_pHelpWindow->IsHelpLoaded()))
        delete s_pHelpWindow.data();
    if (s_pHelpWindow) {
        s_pHelpWindow->ShowStartPage();
    } else {
        s_pHelpWindow = new HelpWindow(exeFolder);
        s_pHelpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    s_pHelpWindow->show();
    KeepFrameOnScreen(s_pHelpWindow);
    s_pHelpWindow->raise();
    s_pHelpWindow->activateWindow();
    return s_pHelpWindow;
}

void ShowHelpContents(const QString& exeFolder) {
    HelpWindow::ShowHelpContents(exeFolder);
}

HelpWindow::HelpWindow(const QString& exeFolder, QWidget* parent)
    : QWidget(parent), m_strExeFolder(QDir(exeFolder).absolutePath()),
      m_strFolder(FindHelpFolder(exeFolder)) {
    setWindowTitle(tr("Vantrel Help"));
    setAccessibleName(windowTitle());
    setWindowIcon(LoadWindowIcon(IDR_MAINFRAME));

    auto* layout = new QVBoxLayout(this);
    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pContents = new HelpContentsTree(m_pSplitter);
    m_pContents->setObjectName(QStringLiteral("helpContents"));
    m_pContents->setAccessibleName(tr("Contents"));
    m_pContents->setHeaderHidden(true);
    m_pBrowser = new HelpBrowser(m_pSplitter);
    m_pBrowser->setObjectName(QStringLiteral("helpPage"));
    m_pBrowser->setAccessibleName(tr("Help page"));
    MakeAccessibleDocument(m_pBrowser);
    // The two panes look alike: the one with the keys shows it.
    InstallFocusFrame(m_pContents);
    InstallFocusFrame(m_pBrowser);
    m_pError = new QLabel(this);
    m_pError->setObjectName(QStringLiteral("helpError"));
    m_pError->setWordWrap(true);
    m_pError->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pError->setMargin(12);
    layout->addWidget(m_pSplitter);
    layout->addWidget(m_pError);
    resize(FitToScreen(this, QSize(860, 580)));

    if (!LoadHelp()) {
        m_pSplitter->hide();
        m_pError->setText(m_strError);
        return;
    }
    m_pError->hide();
    m_pContents->expandAll();
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setSizes({220, 640});

    // A single click opens a topic, as Enter does.
    const auto open = [this](QTreeWidgetItem* item) {
        m_pBrowser->setSource(item->data(0, Qt::UserRole).toUrl());
    };
    connect(m_pContents, &QTreeWidget::itemClicked, this, open);
    connect(m_pContents, &QTreeWidget::itemActivated, this, open);
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this, &HelpWindow::SyncContents);
    // Tab walks every link of a page; F6 goes straight between the contents and the page.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &HelpWindow::SwitchPane);
    }
    ShowStartPage();
}

HelpWindow::~HelpWindow() {
    if (!m_strRegistered.isEmpty())
        QResource::unregisterResource(m_strRegistered, m_strRoot);
}

bool HelpWindow::LoadHelp() {
    const QString file = QDir(m_strFolder).filePath(QLatin1String(kHelpFile));
    if (!QFileInfo(file).isFile()) {
        m_strError = MissingFileText(file, m_strExeFolder);
        return false;
    }
    m_strRoot = QStringLiteral("/vantrel-help-%1").arg(++s_nRegistrations);
    if (QResource::registerResource(file, m_strRoot))
        m_strRegistered = file;
    if (m_strRegistered.isEmpty() || !QFileInfo::exists(':' + m_strRoot + '/' + kStartPage) ||
        !FillContents()) {
        m_strError = tr("The help file \"%1\" cannot be read, or it is not Vantrel's help.")
                         .arg(QDir::toNativeSeparators(file));
        return false;
    }
    m_bLoaded = true;
    return true;
}

// The contents' sections, nested as the tree shows them, each naming the page it opens.
bool HelpWindow::FillContents() {
    QFile file(':' + m_strRoot + '/' + kContentsFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    QList<QTreeWidgetItem*> open; // the sections being read, outermost first
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (xml.name() != QLatin1String("section"))
            continue;
        if (xml.isStartElement()) {
            auto* item = open.isEmpty() ? new QTreeWidgetItem(m_pContents)
                                        : new QTreeWidgetItem(open.last());
            item->setText(0, xml.attributes().value(QLatin1String("title")).toString());
            const QString page = xml.attributes().value(QLatin1String("ref")).toString();
            item->setData(0, Qt::UserRole, QUrl(QStringLiteral("qrc:%1/%2").arg(m_strRoot, page)));
            open.append(item);
        } else if (xml.isEndElement() && !open.isEmpty()) {
            open.removeLast();
        }
    }
    return !xml.hasError() && m_pContents->topLevelItemCount() > 0;
}

void HelpWindow::SwitchPane() {
    if (!m_bLoaded)
        return;
    if (m_pContents->hasFocus())
        m_pBrowser->setFocus(Qt::ShortcutFocusReason);
    else
        m_pContents->setFocus(Qt::ShortcutFocusReason);
}

void HelpWindow::ShowStartPage() {
    if (!m_bLoaded)
        return;
    m_pBrowser->setSource(QUrl(QStringLiteral("qrc:%1/%2").arg(m_strRoot, kStartPage)));
}

QUrl HelpWindow::CurrentPage() const {
    return m_bLoaded ? m_pBrowser->source() : QUrl();
}

QTreeWidget* HelpWindow::ContentsTree() const {
    return m_bLoaded ? m_pContents : nullptr;
}

void HelpWindow::SyncContents(const QUrl& url) {
    if (!m_bLoaded)
        return;
    const QUrl page = url.adjusted(QUrl::RemoveFragment);
    for (QTreeWidgetItemIterator it(m_pContents); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toUrl() == page) {
            m_pContents->setCurrentItem(*it);
            return;
        }
    }
}
