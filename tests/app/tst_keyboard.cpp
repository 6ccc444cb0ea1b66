// The main window used from the keyboard alone: the focus chain, the list's own keys and the
// menu bar reached with F10 or a tap of Alt. Keys go through the window system, as a user's do.
#include "app/CVantrelDlg.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

struct ShownWindow {
    CVantrelDlg dlg;
    bool Show() {
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg))
            return false;
        dlg.activateWindow();
        return QTest::qWaitForWindowActive(&dlg);
    }
    // A key as the window system delivers it: to whichever widget has the focus.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(dlg.windowHandle(), key, modifiers);
    }
    QWidget* Named(const char* name) const { return dlg.findChild<QWidget*>(name); }
};

QString FocusName() {
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QStringLiteral("<none>");
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetUiThreadCallsForTesting(); }
    void cleanup() { ResetUiThreadCallsForTesting(); }

    void tabWalksTheWindow_data() {
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<QStringList>("walk");
        QTest::newRow("Tab") << false
                             << QStringList{"IDC_OUTPUT_FILE", "IDC_BROWSE_OUTPUT", "IDC_FILE_LIST",
                                            "IDC_OUTPUT_FILE"};
        QTest::newRow("Shift+Tab") << true
                                   << QStringList{"IDC_BROWSE_OUTPUT", "IDC_OUTPUT_FILE",
                                                  "IDC_FILE_LIST", "IDC_BROWSE_OUTPUT"};
    }
    void tabWalksTheWindow() {
        QFETCH(bool, backwards);
        QFETCH(QStringList, walk);
        ShownWindow w;
        QVERIFY(w.dlg.FileList()->AddFileRow(QCoreApplication::applicationFilePath()) == 0);
        QVERIFY(w.Show());
        QTRY_COMPARE(FocusName(), QString("IDC_FILE_LIST")); // where the window starts
        QStringList seen;
        for (int i = 0; i < walk.size(); ++i) {
            if (backwards)
                w.Key(Qt::Key_Backtab, Qt::ShiftModifier);
            else
                w.Key(Qt::Key_Tab);
            seen << FocusName();
        }
        QCOMPARE(seen, walk);
        QCOMPARE(w.dlg.FileList()->GetItemCount(), 1); // Tab did nothing in the list itself
    }

    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }
    void enterPressesTheFocusedButton() {
        QFETCH(int, key);
        ShownWindow w;
        QVERIFY(w.Show());
        QTRY_COMPARE(FocusName(), QString("IDC_FILE_LIST"));
        w.Key(Qt::Key_Tab);
        w.Key(Qt::Key_Tab);
        QCOMPARE(FocusName(), QString("IDC_BROWSE_OUTPUT"));
        QSignalSpy finished(&w.dlg, &QDialog::finished);
        bool chooserShown = false;
        const CTopLevelWatch watch = WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
            chooserShown = true;
            fd->close();
        });
        w.Key(Qt::Key(key));
        QTRY_VERIFY(chooserShown);
        QCOMPARE(finished.count(), 0);
        QVERIFY(w.dlg.isVisible());
    }

    void listKeepsItsKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("rowsAfter");
        const QStringList rows{"a", "b", "c"};
        QTest::newRow("Delete removes the first selected row")
            << int(Qt::Key_Delete) << QStringList{"a", "c"};
        QTest::newRow("Enter does not end the window") << int(Qt::Key_Return) << rows;
        QTest::newRow("keypad Enter does not end the window") << int(Qt::Key_Enter) << rows;
        QTest::newRow("Escape does not end the window") << int(Qt::Key_Escape) << rows;
        QTest::newRow("a character stays in the list") << int(Qt::Key_X) << rows;
    }
    void listKeepsItsKeys() {
        QFETCH(int, key);
        QFETCH(QStringList, rowsAfter);
        QTemporaryDir dir;
        ShownWindow w;
        CFlatListCtrl* list = w.dlg.FileList();
        for (const QString name : {"a", "b", "c"}) {
            WriteFile(dir.filePath(name), name.toUtf8());
            QVERIFY(list->AddFileRow(dir.filePath(name)) >= 0);
        }
        QVERIFY(w.Show());
        QTRY_COMPARE(FocusName(), QString("IDC_FILE_LIST"));
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect |
                                           QItemSelectionModel::Rows);
        QSignalSpy finished(&w.dlg, &QDialog::finished);
        w.Key(Qt::Key(key));
        QStringList rows;
        for (int r = 0; r < list->GetItemCount(); ++r)
            rows << QFileInfo(list->GetItemText(r, 0)).fileName();
        QCOMPARE(rows, rowsAfter);
        QCOMPARE(finished.count(), 0);
        QVERIFY(w.dlg.isVisible());
        QCOMPARE(FocusName(), QString("IDC_FILE_LIST"));
    }

    void menuBarFromTheKeyboard_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("F10") << int(Qt::Key_F10);
        QTest::newRow("Alt") << int(Qt::Key_Alt);
    }
    void menuBarFromTheKeyboard() {
        QFETCH(int, key);
        ShownWindow w;
        QVERIFY(w.Show());
        QMenuBar* bar = w.dlg.GetMenuBar();
        QTRY_COMPARE(FocusName(), QString("IDC_FILE_LIST"));
        const QImage plain = bar->grab().toImage();

        const auto press = [&] {
            if (key == Qt::Key_Alt) { // a tap: pressed and released alone
                QTest::keyPress(w.dlg.windowHandle(), Qt::Key_Alt, Qt::AltModifier);
                QTest::keyRelease(w.dlg.windowHandle(), Qt::Key_Alt, Qt::NoModifier);
            } else {
                w.Key(Qt::Key_F10);
            }
        };
        press();
        QAction* file = bar->actions().constFirst();
        QTRY_VERIFY(bar->hasFocus());
        QCOMPARE(bar->activeAction(), file);
        QVERIFY(QApplication::activePopupWidget() == nullptr); // highlighted, not yet open
        // The highlight shows on the "File" title, and nowhere else.
        const QImage lit = bar->grab().toImage();
        const QRect title = bar->actionGeometry(file);
        QVERIFY(lit.copy(title) != plain.copy(title));
        const QRect rest(title.right() + 1, 0, bar->width() - title.right() - 1, bar->height());
        QCOMPARE(lit.copy(rest), plain.copy(rest));

        // Again: the keyboard goes back to the list.
        press();
        QTRY_COMPARE(FocusName(), QString("IDC_FILE_LIST"));
        QVERIFY(!bar->hasFocus());

        // Down opens File; two more Downs reach "Remove Files"; Enter runs it.
        press();
        QTRY_VERIFY(bar->hasFocus());
        w.Key(Qt::Key_Down);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(file->menu()));
        MessageBoxRecorder boxes;
        auto* menu = static_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(menu->activeAction()->text(), QString("New"));
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction()->text(), QString("Remove Files"));
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_COMPARE(boxes.calls.size(), 1);
        QCOMPARE(boxes.calls[0].strText, QString("There are no files to remove!"));
        QTRY_COMPARE(FocusName(), QString("IDC_FILE_LIST"));
    }

    void escapeLeavesTheMenuBar() {
        ShownWindow w;
        QVERIFY(w.Show());
        w.dlg.findChild<QLineEdit*>("IDC_OUTPUT_FILE")->setFocus();
        QTRY_COMPARE(FocusName(), QString("IDC_OUTPUT_FILE"));
        QSignalSpy finished(&w.dlg, &QDialog::finished);
        w.Key(Qt::Key_F10);
        QTRY_VERIFY(w.dlg.GetMenuBar()->hasFocus());
        w.Key(Qt::Key_Right); // along the titles
        QCOMPARE(w.dlg.GetMenuBar()->activeAction()->text(), QString("Action"));
        w.Key(Qt::Key_Escape);
        QTRY_COMPARE(FocusName(), QString("IDC_OUTPUT_FILE"));
        QCOMPARE(finished.count(), 0); // Esc left the menu bar, not the window
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
