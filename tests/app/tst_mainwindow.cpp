// The main window as a user meets it: its menu, toolbar, status bar, list column, fixed size,
// and the keys and commands that end it or reach its handlers.
#include "app/CVantrelDlg.h"
#include "app/HelpWindow.h"
#include "banner/CAboutDlg.h"
#include "banner/CExplorer1.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/CStatusBarCtrl.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "toolbar/CTextToolBar.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

QToolButton* ToolButtonFor(CTextToolBar* bar, UINT nID) {
    return bar->GetButton(bar->CommandToIndex(nID));
}

// Opens the menu holding the action by clicking the menu bar, then clicks the entry.
void ClickMenuEntry(QMenuBar* bar, QAction* action) {
    for (QAction* top : bar->actions()) {
        QMenu* menu = top->menu();
        if (menu == nullptr || !menu->actions().contains(action))
            continue;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(top).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        return;
    }
    QFAIL("action is in no menu");
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuEntriesAndIds();
    void commandsReachTheirHandlers_data();
    void commandsReachTheirHandlers();
    void statusBarParts_data();
    void statusBarParts();
    void startsWithStatusTextColumnAndFocus();
    void cannotBeResizedOrMaximised();
    void controlsDoNotOverlap();
    void closeBoxEndsTheWindow();
    void keysThatEndTheWindow_data();
    void keysThatEndTheWindow();
};

void TestMainWindow::init() {
    ResetUiThreadCallsForTesting();
}

void TestMainWindow::cleanup() {
    CloseTopLevelsAfterTest();
}

void TestMainWindow::menuEntriesAndIds() {
    CVantrelDlg dlg;
    QStringList seen;
    for (QAction* top : dlg.GetMenuBar()->actions()) {
        QStringList entries;
        for (QAction* a : top->menu()->actions())
            entries << (a->isSeparator() ? QString("-")
                                         : QString("%1=%2").arg(a->text()).arg(a->data().toUInt()));
        seen << top->text() + ": " + entries.join(", ");
    }
    QCOMPARE(seen, QStringList({
                       "File: New=32771, Add Files=32772, Remove Files=32773, -, Exit=32774",
                       "Action: Join=32775",
                       "Help: Contents=32779, About...=32777",
                   }));
    // A toolbar button triggers the same action as its menu entry; all are always enabled.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    MessageBoxRecorder boxes(IDNO);
    for (UINT id :
         {ID_FILE_NEWLIST, ID_FILE_ADDFILES, ID_FILE_REMOVEFILES, ID_ACTION_JOIN, ID_HELP_ABOUT}) {
        QToolButton* button = ToolButtonFor(dlg.ToolBar(), id);
        QVERIFY2(button != nullptr, qPrintable(QString::number(id)));
        QVERIFY(button->isEnabled() && dlg.GetCommandAction(id)->isEnabled());
        QSignalSpy triggered(dlg.GetCommandAction(id), &QAction::triggered);
        const CTopLevelWatch closer =
            WhenTopLevelShown("QFileDialog", [](QWidget* fd) { fd->close(); });
        const CTopLevelWatch aboutCloser =
            WhenTopLevelShown("CAboutDlg", [](QWidget* about) { about->close(); });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(triggered.count(), 1);
    }
}

void TestMainWindow::commandsReachTheirHandlers_data() {
    QTest::addColumn<UINT>("id");
    QTest::addColumn<bool>("fromToolbar");
    QTest::addColumn<QString>("effect"); // what the handler shows

    const QList<QPair<UINT, QString>> routes = {
        {ID_FILE_ADDFILES, "file dialog: Add Files to Join"},
        {ID_FILE_REMOVEFILES, "box: There are no files to remove!"},
        {ID_ACTION_JOIN, "box: Please select or drag and drop files that you would like to join."},
        {ID_HELP_ABOUT, "about box: About Corvane"},
    };
    for (const auto& route : routes) {
        QTest::addRow("%u from toolbar", route.first) << route.first << true << route.second;
        QTest::addRow("%u from menu", route.first) << route.first << false << route.second;
    }
    QTest::newRow("Contents from menu") << UINT(ID_HELP_CONTENTS) << false << "help window";
    QTest::newRow("Exit from menu") << UINT(ID_FILE_EXIT) << false << "closed";
    QTest::newRow("New from toolbar")
        << UINT(ID_FILE_NEWLIST) << true
        << "box: Would you like to create a new list of files to join?";
    QTest::newRow("New from menu") << UINT(ID_FILE_NEWLIST) << false
                                   << "box: Would you like to create a new list of files to join?";
    QTest::newRow("browse button") << UINT(IDC_BROWSE_OUTPUT) << true << "file dialog: ";
}

void TestMainWindow::commandsReachTheirHandlers() {
    QFETCH(UINT, id);
    QFETCH(bool, fromToolbar);
    QFETCH(QString, effect);

    CVantrelDlg dlg;
    AfxSetMainWnd(&dlg);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    if (id == ID_FILE_NEWLIST) // New asks only when there is something to lose
        QVERIFY(dlg.FileList()->AddFileRow(QCoreApplication::applicationFilePath()) >= 0);

    QString seen;
    const CTopLevelWatch watch =
        WhenBoxShown([&](QMessageBox* box) { seen = "box: " + box->text(); });
    auto* poll = new QTimer(&dlg);
    connect(poll, &QTimer::timeout, [&] {
        if (auto* fd = qobject_cast<QFileDialog*>(FindTopLevel("QFileDialog"))) {
            seen = "file dialog: " + fd->windowTitle();
            fd->reject();
        } else if (QWidget* about = FindTopLevel("CAboutDlg")) {
            seen = "about box: " + about->windowTitle();
            about->close();
        } else if (FindTopLevel("HelpWindow")) {
            seen = "help window";
        }
    });
    poll->start(10);

    if (id == IDC_BROWSE_OUTPUT)
        QTest::mouseClick(dlg.findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    else if (fromToolbar)
        QTest::mouseClick(ToolButtonFor(dlg.ToolBar(), id), Qt::LeftButton);
    else
        ClickMenuEntry(dlg.GetMenuBar(), dlg.GetCommandAction(id));

    if (effect == "closed")
        QTRY_VERIFY(!dlg.isVisible());
    else if (effect == "file dialog: ")
        QTRY_VERIFY(seen.startsWith(effect)); // the chooser keeps the platform's own title
    else
        QTRY_COMPARE(seen, effect);
    poll->stop();
    AfxSetMainWnd(nullptr);
}

void TestMainWindow::statusBarParts_data() {
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<int>("firstPartEnd");
    QTest::newRow("600 wide") << 600 << 450;
    QTest::newRow("601 wide") << 601 << 450;
    QTest::newRow("603 wide") << 603 << 450;
    QTest::newRow("604 wide") << 604 << 453;
}

void TestMainWindow::statusBarParts() {
    QFETCH(int, windowWidth);
    QFETCH(int, firstPartEnd);
    CVantrelDlg dlg;
    dlg.setFixedWidth(windowWidth);
    dlg.CreateStatusBar();
    CStatusBarCtrl* bar = dlg.StatusBar();
    QCOMPARE(bar->GetParts(), 2);
    QCOMPARE(bar->GetRect(0).left(), 0);
    QCOMPARE(bar->GetRect(0).right() + 1, firstPartEnd);
    QCOMPARE(bar->GetRect(1).left(), firstPartEnd);
    QCOMPARE(bar->GetRect(1).right() + 1, windowWidth);
    QCOMPARE(bar->geometry().bottom(), dlg.height() - 1);
}

void TestMainWindow::startsWithStatusTextColumnAndFocus() {
    CVantrelDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.windowTitle(), QString("Vantrel"));
    QVERIFY(!dlg.windowIcon().isNull());
#ifdef Q_OS_WIN
    QCOMPARE(dlg.StatusBar()->GetText(0),
             QString("Drag and drop files from Windows Explorer or click Add Files button"));
#else
    QCOMPARE(dlg.StatusBar()->GetText(0),
             QString("Drag and drop files from your file manager or click Add Files button"));
#endif
    QCOMPARE(dlg.StatusBar()->GetText(1), QString());
    CFlatListCtrl* list = dlg.FileList();
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->horizontalHeaderItem(0)->text(), QString("Files to join"));
    QCOMPARE(list->columnWidth(0), 470);
    QVERIFY(list->showGrid());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
    auto* output = dlg.findChild<QLineEdit*>("IDC_OUTPUT_FILE");
    QVERIFY(output->isReadOnly());
    QCOMPARE(output->text(), QString());
}

void TestMainWindow::cannotBeResizedOrMaximised() {
    CVantrelDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    const QSize before = dlg.size();
    dlg.resize(before + QSize(100, 100));
    QCOMPARE(dlg.size(), before);
    QVERIFY(!(dlg.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
    dlg.showMaximized();
    QTRY_VERIFY(!(dlg.windowState() & Qt::WindowMaximized));
    QTRY_COMPARE(dlg.size(), before);
}

void TestMainWindow::controlsDoNotOverlap() {
    // The menu bar takes its room from the client area; everything else must still fit.
    CVantrelDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QRect menu = dlg.GetMenuBar()->geometry();
    const QRect toolbar = dlg.ToolBar()->geometry();
    const QRect list = dlg.FileList()->geometry();
    const QRect group = dlg.findChild<QGroupBox*>()->geometry();
    const QRect status = dlg.StatusBar()->geometry();
    const QRect banner = dlg.Banner()->geometry();
    QVERIFY(menu.bottom() < toolbar.top());
    QVERIFY2(toolbar.bottom() < list.top(), "toolbar runs into the list");
    QVERIFY(!toolbar.intersects(banner));
    QVERIFY(list.bottom() < group.top());
    QVERIFY2(group.bottom() < status.top(), "status bar covers the output group");
    QVERIFY(dlg.rect().contains(status));
    for (QToolButton* button : dlg.ToolBar()->findChildren<QToolButton*>()) {
        if (button->defaultAction() == nullptr)
            continue;
        // The label must fit its button.
        const QString label = button->text();
        QVERIFY2(button->fontMetrics().horizontalAdvance(label) <= button->width(),
                 qPrintable(label));
        QVERIFY(dlg.ToolBar()->rect().contains(button->geometry()));
    }
}

void TestMainWindow::closeBoxEndsTheWindow() {
    CVantrelDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QSignalSpy finished(&dlg, &QDialog::finished);
    QVERIFY(dlg.close()); // what the close box and the system menu's Close ask for
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
}

void TestMainWindow::keysThatEndTheWindow_data() {
    QTest::addColumn<bool>("focusInList");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result"); // -1: the window stays

    QTest::newRow("Esc in the output field")
        << false << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Enter in the output field")
        << false << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("keypad Enter in the output field")
        << false << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Esc in the list") << true << int(Qt::Key_Escape) << -1;
    QTest::newRow("Enter in the list") << true << int(Qt::Key_Return) << -1;
}

void TestMainWindow::keysThatEndTheWindow() {
    QFETCH(bool, focusInList);
    QFETCH(int, key);
    QFETCH(int, result);

    CVantrelDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QWidget* target = focusInList ? static_cast<QWidget*>(dlg.FileList())
                                  : dlg.findChild<QLineEdit*>("IDC_OUTPUT_FILE");
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    QSignalSpy finished(&dlg, &QDialog::finished);
    QTest::keyClick(target, Qt::Key(key));
    if (result < 0) {
        QCOMPARE(finished.count(), 0);
        QVERIFY(dlg.isVisible());
    } else {
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), result);
        QVERIFY(!dlg.isVisible());
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
