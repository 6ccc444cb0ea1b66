// The help window: found from the executable's folder whatever the current directory, in the
// installed layout or beside the executable, with the contents tree beside the first page;
// missing or damaged help files reported in it.
#include "app/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <memory>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QString kBinDir = QStringLiteral(VANTREL_BIN_DIR);
const QString kBuiltHelpDir = QStringLiteral(VANTREL_HELP_DIR);

// A folder standing for an installed program: the help file copied to where the installed
// tree or the executable's folder would hold it.
bool CopyHelpTo(const QString& folder) {
    return QDir().mkpath(folder) &&
           QFile::copy(QDir(kBuiltHelpDir).filePath(kHelpFile), QDir(folder).filePath(kHelpFile));
}

void CloseHelp(HelpWindow* window) {
    if (window)
        window->close(); // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensAtContentsFromAnyDirectory_data();
    void opensAtContentsFromAnyDirectory();
    void contentsTreeNavigates();
    void secondOpenReusesWindow();
    void reportsMissingOrDamagedHelp_data();
    void reportsMissingOrDamagedHelp();

private:
    QString m_strStartDir;
    QTemporaryDir m_elsewhere;
    // Removed only after the help windows have gone, as they read from it in the background.
    std::unique_ptr<QTemporaryDir> m_pInstall;
};

void TestHelpWindow::init() {
    m_strStartDir = QDir::currentPath();
    QVERIFY(m_elsewhere.isValid());
    QVERIFY(QDir::setCurrent(m_elsewhere.path()));
    m_pInstall = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pInstall->isValid());
}

void TestHelpWindow::cleanup() {
    for (QWidget* w : QApplication::topLevelWidgets())
        CloseHelp(qobject_cast<HelpWindow*>(w));
    m_pInstall.reset();
    QDir::setCurrent(m_strStartDir);
}

void TestHelpWindow::opensAtContentsFromAnyDirectory_data() {
    // Folders relative to a copied tree; an empty exe folder means the build tree.
    QTest::addColumn<QString>("exeFolder");
    QTest::addColumn<QStringList>("helpCopies");
    QTest::addColumn<QString>("expectedHelp");
    QTest::newRow("build tree") << QString() << QStringList() << QString();
    QTest::newRow("installed layout") << "bin" << QStringList{"share/vantrel"} << "share/vantrel";
    QTest::newRow("beside the executable") << "bin" << QStringList{"bin"} << "bin";
    QTest::newRow("installed layout first")
        << "bin" << QStringList{"bin", "share/vantrel"} << "share/vantrel";
}

void TestHelpWindow::opensAtContentsFromAnyDirectory() {
    QFETCH(QString, exeFolder);
    QFETCH(QStringList, helpCopies);
    QFETCH(QString, expectedHelp);
    const QDir root(m_pInstall->path());
    const bool copied = !exeFolder.isEmpty();
    QString folder = kBinDir;
    QString expected = kBuiltHelpDir;
    if (copied) {
        folder = root.filePath(exeFolder);
        QVERIFY(root.mkpath(exeFolder));
        for (const QString& copy : helpCopies)
            QVERIFY(CopyHelpTo(root.filePath(copy)));
        expected = root.filePath(expectedHelp);
    }
    QVERIFY(QDir::currentPath() != QDir(folder).absolutePath());

    HelpWindow* window = HelpWindow::ShowHelpContents(folder);
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY2(window->IsHelpLoaded(), qPrintable(window->ErrorText()));
    QCOMPARE(QFileInfo(window->HelpFolder()).canonicalFilePath(),
             QFileInfo(expected).canonicalFilePath());
    QCOMPARE(window->CurrentPage().scheme(), QStringLiteral("qrc"));
    QCOMPARE(window->CurrentPage().fileName(), QStringLiteral("index.html"));
    auto* page = window->findChild<QTextBrowser*>(QStringLiteral("helpPage"));
    QVERIFY(page && page->isVisible());
    QVERIFY(page->toPlainText().contains(QStringLiteral("Vantrel joins files")));
    // The page's style sheet comes out of the compressed help too.
    const QTextCursor heading = page->document()->find(QStringLiteral("Vantrel Help"));
    // (h1 is x-large there, one step below Qt's own size for it; the pages set no colours.)
    QCOMPARE(heading.charFormat().intProperty(QTextFormat::FontSizeAdjustment), 2);
    QVERIFY(!window->findChild<QLabel*>(QStringLiteral("helpError"))->isVisible());

    // The contents tree stands left of the page, filled and opened up.
    QTreeWidget* tree = window->ContentsTree();
    QVERIFY(tree && tree->isVisible());
    QVERIFY(tree->geometry().right() < page->geometry().left());
    QAbstractItemModel* model = tree->model();
    QTRY_COMPARE(model->rowCount(), 1);
    const QModelIndex top = model->index(0, 0);
    QCOMPARE(top.data().toString(), QStringLiteral("Vantrel Help"));
    QCOMPARE(model->rowCount(top), 6);
    QTRY_VERIFY(tree->isExpanded(top));
    QTRY_COMPARE(tree->currentIndex(), top);

    // Reading the help writes nothing, neither here nor beside the help files.
    QVERIFY(QDir(m_elsewhere.path()).isEmpty());
    if (copied)
        QCOMPARE(QDir(expected).entryList(QDir::Files), QStringList{kHelpFile});
}

void TestHelpWindow::contentsTreeNavigates() {
    HelpWindow* window = HelpWindow::ShowHelpContents(kBinDir);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTreeWidget* tree = window->ContentsTree();
    auto* page = window->findChild<QTextBrowser*>(QStringLiteral("helpPage"));
    QVERIFY(tree && page);
    QTRY_VERIFY(tree->isExpanded(tree->model()->index(0, 0)));

    // A link in the page opens its topic and moves the tree's selection along.
    const QTextCursor link = page->document()->find(QStringLiteral("Using the keyboard"));
    QVERIFY(!link.isNull());
    QTextCursor inside(page->document());
    inside.setPosition(link.selectionStart() + 3);
    QTest::mouseClick(page->viewport(), Qt::LeftButton, {}, page->cursorRect(inside).center());
    QTRY_COMPARE(window->CurrentPage().fileName(), QStringLiteral("keyboard.html"));
    QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("Using the keyboard"));

    // One click on a topic in the tree shows it.
    const QModelIndex messages = tree->model()->index(4, 0, tree->model()->index(0, 0));
    QCOMPARE(messages.data().toString(), QStringLiteral("Messages"));
    const QRect rect = tree->visualRect(messages);
    QVERIFY(rect.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QTRY_COMPARE(window->CurrentPage().fileName(), QStringLiteral("messages.html"));
    QVERIFY(page->toPlainText().contains(QStringLiteral("Joining files was successfully "
                                                        "completed!")));
}

void TestHelpWindow::secondOpenReusesWindow() {
    HelpWindow* first = HelpWindow::ShowHelpContents(kBinDir);
    QVERIFY(QTest::qWaitForWindowExposed(first));
    first->findChild<QTextBrowser*>(QStringLiteral("helpPage"))
        ->setSource(QUrl(QStringLiteral("joining.html")));
    QCOMPARE(first->CurrentPage().fileName(), QStringLiteral("joining.html"));
    HelpWindow* second = HelpWindow::ShowHelpContents(kBinDir);
    QCOMPARE(second, first);
    QCOMPARE(second->CurrentPage().fileName(), QStringLiteral("index.html"));
}

void TestHelpWindow::reportsMissingOrDamagedHelp_data() {
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("damaged");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("says");
    QTest::newRow("no help at all") << "both"
                                    << "" << kHelpFile << "was not found";
    QTest::newRow("help file damaged") << "" << kHelpFile << kHelpFile << "cannot be read";
}

void TestHelpWindow::reportsMissingOrDamagedHelp() {
    QFETCH(QString, removed);
    QFETCH(QString, damaged);
    QFETCH(QString, named);
    QFETCH(QString, says);
    // An installed tree: the executable in bin/, its help in share/vantrel/.
    const QDir tree(m_pInstall->path());
    QVERIFY(tree.mkpath(QStringLiteral("bin")));
    const QString exeFolder = tree.filePath(QStringLiteral("bin"));
    const QDir dir(tree.filePath(QStringLiteral("share/vantrel")));
    if (removed != QLatin1String("both")) {
        QVERIFY(CopyHelpTo(dir.path()));
        if (!removed.isEmpty())
            QVERIFY(QFile::remove(dir.filePath(removed)));
    }
    if (!damaged.isEmpty()) {
        QFile file(dir.filePath(damaged));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(4096, 'x'));
    }
    const QStringList before = dir.entryList(QDir::Files);

    HelpWindow* window = HelpWindow::ShowHelpContents(exeFolder);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(!window->IsHelpLoaded());
    auto* error = window->findChild<QLabel*>(QStringLiteral("helpError"));
    QVERIFY(error && error->isVisible());
    QVERIFY2(error->text().contains(QDir::toNativeSeparators(dir.filePath(named))),
             qPrintable(error->text()));
    QVERIFY2(error->text().contains(says), qPrintable(error->text()));
    if (says == QLatin1String("was not found")) {
        // Both places looked in are named, and nothing promises that reinstalling helps.
        QVERIFY2(error->text().contains(
                     QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(exeFolder))),
                 qPrintable(error->text()));
        QVERIFY2(error->text().contains(
                     QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(dir.path()))),
                 qPrintable(error->text()));
        QVERIFY(!error->text().contains(QStringLiteral("nstall")));
    }
    QVERIFY(!window->findChild<QTextBrowser*>(QStringLiteral("helpPage"))->isVisible());
    QVERIFY(!window->ContentsTree());
    // Nothing is made up in place of the missing file.
    QCOMPARE(dir.entryList(QDir::Files), before);

    // Once the files are back, asking again shows the help.
    QFile::remove(dir.filePath(kHelpFile));
    QVERIFY(CopyHelpTo(dir.path()));
    HelpWindow* again = HelpWindow::ShowHelpContents(exeFolder);
    QVERIFY(QTest::qWaitForWindowExposed(again));
    QVERIFY2(again->IsHelpLoaded(), qPrintable(again->ErrorText()));
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
