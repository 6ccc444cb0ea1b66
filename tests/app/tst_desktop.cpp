// The window at home on a Linux desktop: boxes that stay with it, its words for this system,
// and label tips for paths cut short by the list's column.
#include "app/CVantrelDlg.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/CStatusBarCtrl.h"
#include "platform/widgets/Resources.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QWindow>

namespace {

bool ShowActive(QWidget& w) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return false;
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// What a box looked like while it was up.
struct BoxSeen {
    bool bShown = false;
    QWindow* pTransientParent = nullptr;
    Qt::WindowModality modality = Qt::ApplicationModal;
    bool bModalWidget = true;
    bool bActive = false;
    bool bFocusInBox = false;
    QPoint centre;
    QRect geometry;
};

// Counts the mouse presses that reach a widget.
struct PressCounter : QObject {
    explicit PressCounter(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        nCount += e->type() == QEvent::MouseButtonPress;
        return false;
    }
    int nCount = 0;
};

CTopLevelWatch WatchNextBox(BoxSeen& seen, const std::function<void(QMessageBox*)>& more = {}) {
    return WhenBoxShown([&seen, more](QMessageBox* box) {
        seen.bShown = true;
        seen.pTransientParent =
            box->windowHandle() ? box->windowHandle()->transientParent() : nullptr;
        seen.modality = box->windowModality();
        seen.bModalWidget = QApplication::activeModalWidget() != nullptr;
        QTRY_VERIFY(QApplication::activeWindow() == box); // cannot fail the test from here
        seen.bActive = QApplication::activeWindow() == box;
        seen.bFocusInBox = box->isAncestorOf(QApplication::focusWidget());
        seen.centre = box->frameGeometry().center();
        seen.geometry = box->frameGeometry();
        if (more)
            more(box);
    });
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetUiThreadCallsForTesting(); }
    void cleanup() {
        AfxSetMainWnd(nullptr);
        ResetUiThreadCallsForTesting();
    }

    void ownerlessBoxStaysWithTheWindow_data() {
        QTest::addColumn<UINT>("command");
        QTest::addColumn<QString>("text");
        QTest::newRow("question") << UINT(ID_FILE_NEWLIST)
                                  << "Would you like to create a new list of files to join?";
        QTest::newRow("notice") << UINT(ID_ACTION_JOIN)
                                << "Please select or drag and drop files that you would like to "
                                   "join.";
        QTest::newRow("success message")
            << UINT(ID_JOIN_COMPLETED) << "Joining files was successfully completed!";
    }
    void ownerlessBoxStaysWithTheWindow() {
        QFETCH(UINT, command);
        QFETCH(QString, text);
        CVantrelDlg dlg;
        CFlatListCtrl* list = dlg.FileList();
        if (command == ID_FILE_NEWLIST) // New asks only when there are rows
            QVERIFY(list->AddFileRow(QCoreApplication::applicationFilePath()) == 0);
        QVERIFY(ShowActive(dlg));

        BoxSeen seen;
        QString shownText;
        bool windowStillUsable = false;
        const CTopLevelWatch watch = WatchNextBox(seen, [&](QMessageBox* box) {
            shownText = box->text();
            // The window under the box still takes a click (a modal box would have it
            // dropped on the way), and the box stays up.
            PressCounter presses(list->viewport());
            ClickThroughWindow(list->viewport());
            windowStillUsable = presses.nCount == 1 && box->isVisible();
        });
        if (command == ID_JOIN_COMPLETED)
            dlg.OnJoinCompleted(); // what a finished join calls
        else
            dlg.GetCommandAction(command)->trigger();

        QVERIFY(seen.bShown);
        QCOMPARE(shownText, text);
        QCOMPARE(seen.pTransientParent, dlg.windowHandle());
        QCOMPARE(seen.modality, Qt::NonModal);
        QVERIFY(!seen.bModalWidget);
        QVERIFY(seen.bActive);
        QVERIFY(seen.bFocusInBox);
        QVERIFY((seen.centre - dlg.frameGeometry().center()).manhattanLength() <= 2);
        QVERIFY(windowStillUsable);
    }

    void boxStaysOnScreenOverTheMainWindow_data() {
        QTest::addColumn<QString>("where"); // where the main window sits
        QTest::newRow("middle") << "middle";
        QTest::newRow("half off the right edge") << "right";
        QTest::newRow("half off the bottom edge") << "bottom";
    }
    void boxStaysOnScreenOverTheMainWindow() {
        QFETCH(QString, where);
        CVantrelDlg dlg;
        AfxSetMainWnd(&dlg);
        QVERIFY(ShowActive(dlg));
        const QRect avail = dlg.screen()->availableGeometry();
        QPoint topLeft = avail.center() - QPoint(dlg.width() / 2, dlg.height() / 2);
        if (where == "right")
            topLeft.setX(avail.right() - dlg.width() / 3);
        else if (where == "bottom")
            topLeft.setY(avail.bottom() - dlg.height() / 4);
        dlg.move(topLeft);
        // Another window is active: the box still belongs with the main window.
        QWidget other;
        other.setWindowTitle("other");
        other.resize(200, 100);
        QVERIFY(ShowActive(other));

        BoxSeen seen;
        const CTopLevelWatch watch = WatchNextBox(seen);
        MessageBox(nullptr, "Where am I?", "Vantrel", MB_OK);
        QVERIFY(seen.bShown);
        QCOMPARE(seen.pTransientParent, dlg.windowHandle());
        QVERIFY(seen.bActive);
        QVERIFY2(avail.contains(seen.geometry), qPrintable(QString("%1: %2,%3 %4x%5 in %6x%7")
                                                               .arg(where)
                                                               .arg(seen.geometry.x())
                                                               .arg(seen.geometry.y())
                                                               .arg(seen.geometry.width())
                                                               .arg(seen.geometry.height())
                                                               .arg(avail.width())
                                                               .arg(avail.height())));
        if (where == "middle")
            QVERIFY((seen.centre - dlg.frameGeometry().center()).manhattanLength() <= 2);
        else
            QVERIFY(dlg.frameGeometry().intersects(seen.geometry));
    }

    void boxOwnedByTheWindowStaysModalToIt() {
        CVantrelDlg dlg;
        AfxSetMainWnd(&dlg);
        QVERIFY(ShowActive(dlg));
        BoxSeen seen;
        QString caption;
        const CTopLevelWatch watch =
            WatchNextBox(seen, [&](QMessageBox* box) { caption = box->windowTitle(); });
        AfxMessageBox("Owned", MB_OK | MB_ICONEXCLAMATION);
        QVERIFY(seen.bShown);
        QCOMPARE(seen.modality, Qt::WindowModal);
        QCOMPARE(seen.pTransientParent, dlg.windowHandle());
        QVERIFY(seen.bFocusInBox);
        // The application's title is the program's display name, not the executable's name.
        QVERIFY(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() != "Vantrel");
        QCOMPARE(caption, QString("Vantrel"));
    }

    void wordsForEachSystem_data() {
        QTest::addColumn<UINT>("id");
        QTest::addColumn<ResPlatform>("platform");
        QTest::addColumn<QString>("text");
        QTest::newRow("status text on Windows")
            << UINT(IDS_STATUS_DRAG_HINT) << ResPlatform::Windows
            << "Drag and drop files from Windows Explorer or click Add Files button";
        QTest::newRow("status text elsewhere")
            << UINT(IDS_STATUS_DRAG_HINT) << ResPlatform::Other
            << "Drag and drop files from your file manager or click Add Files button";
        QTest::newRow("title on Windows")
            << UINT(AFX_IDS_APP_TITLE) << ResPlatform::Windows << "Vantrel";
        QTest::newRow("title elsewhere")
            << UINT(AFX_IDS_APP_TITLE) << ResPlatform::Other << "Vantrel";
    }
    void wordsForEachSystem() {
        QFETCH(UINT, id);
        QFETCH(ResPlatform, platform);
        QFETCH(QString, text);
        QCOMPARE(LoadStringFor(id, platform), text);
#ifdef Q_OS_WIN
        const ResPlatform here = ResPlatform::Windows;
#else
        const ResPlatform here = ResPlatform::Other;
#endif
        if (platform == here)
            QCOMPARE(LoadString(id), text);
    }

    void windowShowsThisSystemsStatusText() {
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.StatusBar()->GetText(0), LoadString(IDS_STATUS_DRAG_HINT));
#ifndef Q_OS_WIN
        QVERIFY(!dlg.StatusBar()->GetText(0).contains("Windows"));
#endif
    }

    void labelTipForCutRows_data() {
        QTest::addColumn<bool>("longPath");
        QTest::addColumn<int>("columnWidth"); // 0 keeps the window's 470
        QTest::addColumn<int>("dividerDrag"); // pixels the column's divider is dragged right
        QTest::addColumn<bool>("tip");
        QTest::newRow("long path") << true << 0 << 0 << true;
        QTest::newRow("short path") << false << 0 << 0 << false;
        QTest::newRow("long path, column wide enough") << true << 3000 << 0 << false;
        QTest::newRow("short path, narrow column") << false << 90 << 0 << true;
        QTest::newRow("long path, divider dragged") << true << 0 << 300 << true;
    }
    void labelTipForCutRows() {
        QFETCH(bool, longPath);
        QFETCH(int, columnWidth);
        QFETCH(int, dividerDrag);
        QFETCH(bool, tip);
        QTemporaryDir dir;
        QString folder = dir.path();
        if (longPath) {
#ifdef Q_OS_WIN
            const int depth = 4; // the shell has no icon for a path past 260 characters
#else
            const int depth = 9; // over 400 characters
#endif
            for (int i = 0; i < depth; ++i)
                folder += QStringLiteral("/a folder with a rather long name, number %1").arg(i);
            QVERIFY(QDir().mkpath(folder));
        }
        const QString path = folder + "/movie.mkv.012";
        WriteFile(path, "x");

        CVantrelDlg dlg;
        CFlatListCtrl* list = dlg.FileList();
        QVERIFY(list->AddFileRow(QDir::toNativeSeparators(path)) == 0);
        QVERIFY(list->AddFileRow(QCoreApplication::applicationFilePath()) == 1);
        if (columnWidth > 0)
            list->setColumnWidth(0, columnWidth);
        QVERIFY(ShowActive(dlg));
        if (dividerDrag > 0) {
            // Widened by the mouse past the list's edge: a scroll bar brings the rest in.
            QWidget* header = list->horizontalHeader()->viewport();
            const int width = list->columnWidth(0);
            const QPoint divider(width - 1, header->height() / 2);
            QTest::mousePress(header, Qt::LeftButton, {}, divider);
            QTest::mouseMove(header, divider + QPoint(dividerDrag / 2, 0));
            QTest::mouseMove(header, divider + QPoint(dividerDrag, 0));
            QTest::mouseRelease(header, Qt::LeftButton, {}, divider + QPoint(dividerDrag, 0));
            QCOMPARE(list->columnWidth(0), width + dividerDrag);
            QTRY_VERIFY(list->horizontalScrollBar()->isVisible());
        }
        // The name's end stays in sight however the path is cut.
        QVERIFY2(list->ShownText(0, 0).endsWith(".012"), qPrintable(list->ShownText(0, 0)));
        QCOMPARE(list->ShownText(0, 0) != QDir::toNativeSeparators(path), tip);
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());

        QWidget* viewport = list->viewport();
        const QPoint pos = list->visualRect(list->model()->index(0, 0)).center();
        QHelpEvent hover(QEvent::ToolTip, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &hover);
        if (tip) {
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), QDir::toNativeSeparators(path));
        } else {
            QVERIFY(!QToolTip::isVisible());
        }
        // Off the rows there is nothing to tell.
        const QPoint below(pos.x(), list->visualRect(list->model()->index(1, 0)).bottom() + 20);
        QHelpEvent empty(QEvent::ToolTip, below, viewport->mapToGlobal(below));
        QApplication::sendEvent(viewport, &empty);
        QTRY_VERIFY(!QToolTip::isVisible());
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
