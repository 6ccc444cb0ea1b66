// The file list ordered from the keyboard alone, as a blind user does it: rows moved with Alt
// and the arrows, Home and End, the sort key and what the header tells a screen reader, and
// a join whose output follows the new order. Keys go through the window system.
#include "app/CVantrelDlg.h"
#include "join/CJoinThread.h"
#include "listview/CFlatHeaderCtrl.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct WindowWithFiles {
    CVantrelDlg dlg;
    QTemporaryDir dir;
    CFlatListCtrl* pList = dlg.FileList();

    bool Fill(const QString& names) {
        for (const QChar c : names) {
            const QString path = dir.filePath(QString(c));
            WriteFile(path, QString(c).repeated(3).toUtf8());
            if (pList->AddFileRow(path) < 0)
                return false;
        }
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg))
            return false;
        dlg.activateWindow();
        return QTest::qWaitForWindowActive(&dlg) &&
               QTest::qWaitFor([&] { return pList->hasFocus(); });
    }
    void Select(const QList<int>& rows, int current) {
        pList->clearSelection();
        for (int r : rows)
            pList->selectionModel()->select(pList->model()->index(r, 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
        pList->selectionModel()->setCurrentIndex(pList->model()->index(current, 0),
                                                 QItemSelectionModel::NoUpdate);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods) {
        QTest::keyClick(dlg.windowHandle(), key, mods);
    }
    QString Order() const {
        QString s;
        for (int r = 0; r < pList->GetItemCount(); ++r)
            s += QFileInfo(pList->GetItemText(r, 0)).fileName();
        return s;
    }
    QList<int> Selected() const {
        QList<int> rows;
        for (int r = pList->GetNextSelectedItem(-1); r >= 0; r = pList->GetNextSelectedItem(r))
            rows << r;
        return rows;
    }
};

} // namespace

class TestOrderKeys : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetUiThreadCallsForTesting(); }
    void cleanup() {
        CloseTopLevelsAfterTest();
        QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    }

    void keysMoveTheSelectedRows_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::newRow("one row up")
            << QList<int>{2} << int(Qt::Key_Up) << "acbdef" << QList<int>{1};
        QTest::newRow("one row down")
            << QList<int>{2} << int(Qt::Key_Down) << "abdcef" << QList<int>{3};
        QTest::newRow("scattered rows up")
            << QList<int>{1, 3, 4} << int(Qt::Key_Up) << "badecf" << QList<int>{0, 2, 3};
        QTest::newRow("scattered rows down")
            << QList<int>{0, 2} << int(Qt::Key_Down) << "badcef" << QList<int>{1, 3};
        QTest::newRow("up with a row at the top")
            << QList<int>{0, 3} << int(Qt::Key_Up) << "abcdef" << QList<int>{0, 3};
        QTest::newRow("down with a row at the bottom")
            << QList<int>{2, 5} << int(Qt::Key_Down) << "abcdef" << QList<int>{2, 5};
        QTest::newRow("to the top")
            << QList<int>{2, 4} << int(Qt::Key_Home) << "ceabdf" << QList<int>{0, 1};
        QTest::newRow("to the bottom")
            << QList<int>{1, 3} << int(Qt::Key_End) << "acefbd" << QList<int>{4, 5};
        QTest::newRow("to the top, already there")
            << QList<int>{0, 1} << int(Qt::Key_Home) << "abcdef" << QList<int>{0, 1};
        QTest::newRow("to the bottom, already there")
            << QList<int>{4, 5} << int(Qt::Key_End) << "abcdef" << QList<int>{4, 5};
    }
    void keysMoveTheSelectedRows() {
        QFETCH(QList<int>, selected);
        QFETCH(int, key);
        QFETCH(QString, order);
        QFETCH(QList<int>, selectedAfter);
        WindowWithFiles w;
        QVERIFY(w.Fill("abcdef"));
        const int current = selected.last();
        const QString currentFile = w.Order().mid(current, 1);
        w.Select(selected, current);
        w.Key(Qt::Key(key), Qt::AltModifier);
        QCOMPARE(w.Order(), order);
        QCOMPARE(w.Selected(), selectedAfter);
        // The current row went with its file, and the keys stayed in the list.
        QCOMPARE(w.Order().mid(w.pList->currentRow(), 1), currentFile);
        QVERIFY(w.pList->hasFocus());
        QVERIFY(QApplication::activePopupWidget() == nullptr);
    }

    void homeAndEndGoToTheFirstAndLastFile_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("current");
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("Home") << int(Qt::Key_Home) << 0 << 0 << QList<int>{0};
        QTest::newRow("End") << int(Qt::Key_End) << 0 << 5 << QList<int>{5};
        QTest::newRow("Shift+Home")
            << int(Qt::Key_Home) << int(Qt::ShiftModifier) << 0 << QList<int>{0, 1, 2};
        QTest::newRow("Shift+End")
            << int(Qt::Key_End) << int(Qt::ShiftModifier) << 5 << QList<int>{2, 3, 4, 5};
    }
    void homeAndEndGoToTheFirstAndLastFile() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, current);
        QFETCH(QList<int>, selected);
        WindowWithFiles w;
        QVERIFY(w.Fill("abcdef"));
        // Row 2 reached by the keys, so Shift extends from it.
        w.Key(Qt::Key_Home, Qt::NoModifier);
        w.Key(Qt::Key_Down, Qt::NoModifier);
        w.Key(Qt::Key_Down, Qt::NoModifier);
        QCOMPARE(w.Selected(), QList<int>{2});
        w.Key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.pList->currentRow(), current);
        QCOMPARE(w.Selected(), selected);
        QCOMPARE(w.Order(), QString("abcdef"));
    }

    void joinFollowsTheOrderMadeByKeys() {
        WindowWithFiles w;
        QVERIFY(w.Fill("abc"));
        w.Select({2}, 2);
        w.Key(Qt::Key_Home, Qt::AltModifier); // c a b
        w.Select({1}, 1);
        w.Key(Qt::Key_End, Qt::AltModifier); // c b a
        w.Key(Qt::Key_Up, Qt::AltModifier);  // c a b
        QCOMPARE(w.Order(), QString("cab"));
        // The output chosen from the keyboard too: Tab to "..." and Space.
        const QString output = w.dir.filePath("out.bin");
        FileDialogAnswers answers;
        answers.Next({output});
        w.Key(Qt::Key_Tab, Qt::NoModifier);
        w.Key(Qt::Key_Tab, Qt::NoModifier);
        w.Key(Qt::Key_Space, Qt::NoModifier);
        QTRY_COMPARE(w.dlg.OutputFile(), QDir::toNativeSeparators(output));
        QString seen;
        const CTopLevelWatch watch = WhenBoxShown(
            [&](QMessageBox* box) {
                seen = box->text();
                box->button(QMessageBox::Ok)->click();
            },
            20000);
        w.dlg.GetCommandAction(ID_ACTION_JOIN)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(seen, QString("Joining files was successfully completed!"),
                                  20000);
        QCOMPARE(ReadFile(output), QByteArray("cccaaabbb"));
    }

    // The key, the header click and the header item's accessible press give the same rows and
    // the same mark; the header item says the direction to a screen reader.
    void sortKeyActsAsAHeaderClick_data() {
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("description");
        QTest::newRow("once") << 1 << "ABab"
                              << "Sorted ascending, A to Z";
        QTest::newRow("twice") << 2 << "baBA"
                               << "Sorted descending, Z to A";
        QTest::newRow("three times") << 3 << "ABab"
                                     << "Sorted ascending, A to Z";
    }
    void sortKeyActsAsAHeaderClick() {
        QFETCH(int, presses);
        QFETCH(QString, order);
        QFETCH(QString, description);
        WindowWithFiles byKey, byClick, byAction;
        QAccessibleInterface* cell = HeaderCell(byKey.pList);
        QVERIFY(cell != nullptr);
        QCOMPARE(cell->text(QAccessible::Description), QString("Not sorted"));
        for (WindowWithFiles* w : {&byKey, &byClick, &byAction})
            QVERIFY(w->Fill("bBaA"));
        for (int i = 0; i < presses; ++i) {
            byKey.Key(Qt::Key_S, Qt::AltModifier);
            QHeaderView* header = byClick.pList->horizontalHeader();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionSize(0) / 2, header->height() / 2));
            QAccessibleActionInterface* action = HeaderCell(byAction.pList)->actionInterface();
            QVERIFY(action != nullptr);
            QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
            const QString before = byAction.Order();
            action->doAction(QAccessibleActionInterface::pressAction());
            QCOMPARE(byAction.Order(), before); // returned before sorting
            QTRY_VERIFY(byAction.Order() != before);
        }
        QTRY_COMPARE(byAction.Order(), order);
        for (WindowWithFiles* w : {&byKey, &byClick, &byAction}) {
            QCOMPARE(w->Order(), order);
            bool bAscending = false;
            QCOMPARE(w->pList->GetHeaderCtrl()->GetSortIndicator(&bAscending), 0);
            QCOMPARE(bool(bAscending), presses % 2 == 1);
            QCOMPARE(HeaderCell(w->pList)->text(QAccessible::Description), description);
        }
    }

private:
    static QAccessibleInterface* HeaderCell(CFlatListCtrl* list) {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list);
        for (int i = 0; table && i < table->childCount(); ++i) {
            QAccessibleInterface* child = table->child(i);
            if (child && child->role() == QAccessible::ColumnHeader)
                return child;
        }
        return nullptr;
    }
};

QTEST_MAIN(TestOrderKeys)
#include "tst_orderkeys.moc"
