#include "CHelpWindow.h"

#include "CHelpBrowser.h"
#include "resource.h"
#include "Resources.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QLabel>
#include <QPointer>
#include <QShortcut>
#include <QSplitter>
#include <QThread>
#include <QVBoxLayout>

namespace {

const QString kNamespace = QStringLiteral("com.tessalysoftware.vantrel");
const QUrl kStartPage(QStringLiteral("qthelp://com.tessalysoftware.vantrel/doc/index.html"));

QPointer<CHelpWindow> s_pHelpWindow;

// Names every place looked in: a copy of the program without its help folder beside it is
// not mended by installing again.
QString MissingFileText(const QString& path, const QString& exeFolder) {
    const QStringList folders = HelpFolderCandidates(exeFolder);
    return CHelpWindow::tr("The help file \"%1\" was not found.\n\nVantrel looks for its help "
                           "in \"%2\" and next to the program, in \"%3\".")
        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(folders.first()),
             QDir::toNativeSeparators(folders.last()));
}

} // namespace

QStringList HelpFolderCandidates(const QString& exeFolder) {
    const QDir exeDir(QDir(exeFolder).absolutePath());
    return {QDir::cleanPath(exeDir.filePath(QStringLiteral(VANTREL_HELP_FROM_BIN))), exeDir.path()};
}

QString FindHelpFolder(const QString& exeFolder) {
    const QStringList folders = HelpFolderCandidates(exeFolder);
    for (const QString& folder : folders) {
        if (QFileInfo(QDir(folder).filePath(QLatin1String(kHelpCollectionFile))).isFile())
            return folder;
    }
    return folders.first();
}

CHelpWindow* CHelpWindow::ShowHelpContents(const QString& exeFolder) {
    const QString folder = FindHelpFolder(exeFolder);
    // A window that could not load its help tries again, as the files may be back.
    if (s_pHelpWindow && (s_pHelpWindow->HelpFolder() != folder || !s_pHelpWindow->IsHelpLoaded()))
        delete s_pHelpWindow.data();
    if (s_pHelpWindow) {
        s_pHelpWindow->ShowStartPage();
    } else {
        s_pHelpWindow = new CHelpWindow(exeFolder);
        s_pHelpWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    s_pHelpWindow->show();
    s_pHelpWindow->raise();
    s_pHelpWindow->activateWindow();
    return s_pHelpWindow;
}

void ShowHelpContents(const QString& exeFolder) {
    CHelpWindow::ShowHelpContents(exeFolder);
}

CHelpWindow::CHelpWindow(const QString& exeFolder, QWidget* parent)
    : QWidget(parent), m_strExeFolder(QDir(exeFolder).absolutePath()),
      m_strFolder(FindHelpFolder(exeFolder)) {
    setWindowTitle(tr("Vantrel Help"));
    setAccessibleName(windowTitle());
    setWindowIcon(LoadIcon(IDR_MAINFRAME));
    resize(860, 580);

    // The engine comes first among the children, so it goes first: whether or not it deletes
    // its contents tree, the tree is never deleted twice.
    const bool bLoaded = LoadHelp();
    if (!bLoaded) {
        // Nothing may go on reading the files in the background once they were refused.
        delete m_pEngine;
        m_pEngine = nullptr;
    }

    auto* layout = new QVBoxLayout(this);
    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pBrowser = new CHelpBrowser(m_pSplitter);
    m_pBrowser->setObjectName(QStringLiteral("helpPage"));
    m_pBrowser->setAccessibleName(tr("Help page"));
    m_pError = new QLabel(this);
    m_pError->setObjectName(QStringLiteral("helpError"));
    m_pError->setWordWrap(true);
    m_pError->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pError->setMargin(12);
    layout->addWidget(m_pSplitter);
    layout->addWidget(m_pError);

    if (!bLoaded) {
        m_pSplitter->hide();
        m_pError->setText(m_strError);
        return;
    }
    m_pError->hide();

    QHelpContentWidget* tree = m_pEngine->contentWidget();
    tree->setObjectName(QStringLiteral("helpContents"));
    tree->setAccessibleName(tr("Contents"));
    m_pSplitter->insertWidget(0, tree);
    m_pSplitter->setStretchFactor(0, 0);
    m_pSplitter->setStretchFactor(1, 1);
    m_pSplitter->setSizes({220, 640});
    m_pBrowser->SetHelpEngine(m_pEngine);

    // A single click opens a topic, as Enter does.
    connect(tree, &QHelpContentWidget::linkActivated, m_pBrowser,
            [this](const QUrl& url) { m_pBrowser->setSource(url); });
    connect(tree, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (QHelpContentItem* item = m_pEngine->contentModel()->contentItemAt(index))
            m_pBrowser->setSource(item->url());
    });
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this, &CHelpWindow::SyncContents);
    // Tab walks every link of a page; F6 goes straight between the contents and the page.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &CHelpWindow::SwitchPane);
    }
    connect(m_pEngine->contentModel(), &QHelpContentModel::contentsCreated, this, [this] {
        ContentsTree()->expandAll();
        SyncContents(m_pBrowser->source());
    });
    ShowStartPage();
}

CHelpWindow::~CHelpWindow() {
    // Qt Help reads the contents and the index on threads of its own, and deleting the engine
    // while one runs can free what it read twice and crash. Reading takes milliseconds, so a
    // window closed at once waits for it; the bound keeps a stuck read from hanging the exit.
    if (m_pEngine == nullptr)
        return;
    const QHelpContentModel* contents = m_pEngine->contentModel();
    const QHelpIndexModel* index = m_pEngine->indexModel();
    QElapsedTimer waited;
    waited.start();
    while ((contents->isCreatingContents() || index->isCreatingIndex()) && waited.elapsed() < 5000)
        QThread::msleep(2);
}

bool CHelpWindow::LoadHelp() {
    const QDir dir(m_strFolder);
    const QString collection = dir.filePath(QLatin1String(kHelpCollectionFile));
    const QString documentation = dir.filePath(QLatin1String(kHelpDocumentationFile));
    // Checked first, as opening a collection that is not there would create an empty one.
    if (!QFileInfo(collection).isFile()) {
        m_strError = MissingFileText(collection, m_strExeFolder);
        return false;
    }
    if (!QFileInfo(documentation).isFile()) {
        m_strError = MissingFileText(documentation, m_strExeFolder);
        return false;
    }
    m_pEngine = new QHelpEngine(collection, this);
    m_pEngine->setReadOnly(true); // the program's folder may not be writable
    if (!m_pEngine->setupData()) {
        m_strError = tr("The help file \"%1\" cannot be read: %2")
                         .arg(QDir::toNativeSeparators(collection), m_pEngine->error());
        return false;
    }
    if (!m_pEngine->registeredDocumentations().contains(kNamespace)) {
        m_strError = tr("The help file \"%1\" cannot be read, or it is not Vantrel's help.")
                         .arg(QDir::toNativeSeparators(collection));
        return false;
    }
    if (m_pEngine->fileData(kStartPage).isEmpty()) {
        m_strError = tr("The help file \"%1\" cannot be read, or it is not Vantrel's help.")
                         .arg(QDir::toNativeSeparators(documentation));
        return false;
    }
    m_bLoaded = true;
    return true;
}

void CHelpWindow::SwitchPane() {
    QWidget* tree = ContentsTree();
    if (tree == nullptr)
        return;
    if (tree->hasFocus())
        m_pBrowser->setFocus(Qt::ShortcutFocusReason);
    else
        tree->setFocus(Qt::ShortcutFocusReason);
}

void CHelpWindow::ShowStartPage() {
    if (!m_bLoaded)
        return;
    m_pBrowser->setSource(kStartPage);
}

QUrl CHelpWindow::CurrentPage() const {
    return m_bLoaded ? m_pBrowser->source() : QUrl();
}

QHelpContentWidget* CHelpWindow::ContentsTree() const {
    return m_bLoaded ? m_pEngine->contentWidget() : nullptr;
}

void CHelpWindow::SyncContents(const QUrl& url) {
    QHelpContentWidget* tree = ContentsTree();
    if (!tree)
        return;
    const QModelIndex index = tree->indexOf(url);
    if (index.isValid())
        tree->setCurrentIndex(index);
}
