// The file list for real: rows from real files, sorting by header clicks, the Delete key,
// the keys it keeps from the dialog, click selection and focus taken by its scroll bar.
#include "listview/CFlatHeaderCtrl.h"
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/Gdi.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <random>

namespace {

// A dialog holding the list and a default button, as the main window does.
struct HostDialog {
    QDialog dialog;
    CFlatListCtrl* pList;
    QLineEdit* pEdit;
    QPushButton* pOk;
    HostDialog() {
        auto* layout = new QVBoxLayout(&dialog);
        pList = new CFlatListCtrl(&dialog);
        pEdit = new QLineEdit(&dialog);
        pOk = new QPushButton("OK", &dialog);
        pOk->setDefault(true);
        QObject::connect(pOk, &QPushButton::clicked, &dialog, &QDialog::accept);
        layout->addWidget(pList);
        layout->addWidget(pEdit);
        layout->addWidget(pOk);
        pList->InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        dialog.resize(520, 300);
    }
    bool Show() {
        dialog.show();
        dialog.activateWindow();
        return QTest::qWaitForWindowActive(&dialog);
    }
};

QStringList RowTexts(const CFlatListCtrl& list) {
    QStringList texts;
    for (int i = 0; i < list.GetItemCount(); ++i)
        texts << list.GetItemText(i, 0);
    return texts;
}

QPoint HeaderItemCentre(CFlatListCtrl& list, int nItem) {
    QRect rc;
    list.GetHeaderCtrl()->GetItemRect(nItem, &rc);
    return rc.center();
}

} // namespace

class TestFlatListCtrl : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_files;

    // n real files named by the given texts (made on demand).
    QString File(const QString& name) {
        const QString path = m_dir.filePath(name);
        if (!QFile::exists(path))
            WriteFile(path, PatternBytes(16, 1));
        return path;
    }

private slots:
    void init() { SetDeviceBitsPixelForTesting(std::nullopt); }
    void cleanup() { SetDeviceBitsPixelForTesting(std::nullopt); }

    void addFileRow() {
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        const QString path = File("one.txt");
        QCOMPARE(list.AddFileRow(m_dir.filePath("missing.txt")), -1);
        QCOMPARE(list.GetItemCount(), 0);
        QCOMPARE(list.AddFileRow(path), 0);
        QCOMPARE(list.AddFileRow(path), 1);
        QCOMPARE(list.AddFileRow(m_dir.path()), 2); // a folder is a row like a file
        QCOMPARE(list.GetItemCount(), 3);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(list.GetItemText(i, 0), QDir::toNativeSeparators(path));
            QCOMPARE(list.GetItemData(i), DWORD_PTR(kIncludeInJoin));
            QCOMPARE(list.GetItemImage(i), i); // each row its own icon
            QVERIFY(!list.item(i, 0)->icon().isNull());
        }
        QCOMPARE(list.GetImageList().GetImageCount(), 3);
        QCOMPARE(list.GetImageList().GetImageSize(), QSize(16, 16));
    }

    void resetImageListStartsIconsAgain() {
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        for (int i = 0; i < 3; ++i)
            list.AddFileRow(File("r.txt"));
        list.DeleteItem(0);
        // A deleted row's icon stays until the image list is reset.
        QCOMPARE(list.GetImageList().GetImageCount(), 3);
        list.DeleteAllItems();
        list.ResetImageList();
        QCOMPARE(list.AddFileRow(File("r.txt")), 0);
        QCOMPARE(list.GetItemImage(0), 0);
        QCOMPARE(list.GetImageList().GetImageCount(), 1);
    }

    void noScreenSaysSoOnceAndGoesOn() {
        MessageBoxRecorder boxes;
        SetDeviceBitsPixelForTesting(0);
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        QCOMPARE(list.AddFileRow(File("n.txt")), 0);
        list.DeleteAllItems();
        list.ResetImageList();
        QCOMPARE(list.AddFileRow(File("n.txt")), 0);
        QCOMPARE(list.AddFileRow(File("n.txt")), 1);
        QCOMPARE(boxes.calls.size(), 1);
        QCOMPARE(boxes.calls[0].strText, QStringLiteral("can't get DC"));
    }

    void deleteKeyRemovesFirstSelectedRow() {
        HostDialog host;
        for (const char* name : {"0", "1", "2", "3", "4", "5", "6"})
            host.pList->AddFileRow(File(name));
        const QStringList before = RowTexts(*host.pList);
        QVERIFY(host.Show());
        host.pList->setFocus();
        auto* sm = host.pList->selectionModel();
        for (int r : {2, 5})
            sm->select(host.pList->model()->index(r, 0),
                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(host.pList, Qt::Key_Delete);
        QStringList expected = before;
        expected.removeAt(2);
        QCOMPARE(RowTexts(*host.pList), expected);
        QCOMPARE(host.pList->GetNextSelectedItem(-1), 4);
        QCOMPARE(host.pList->GetNextSelectedItem(4), -1);
        QTest::keyClick(host.pList, Qt::Key_Delete);
        QTest::keyClick(host.pList, Qt::Key_Delete); // nothing selected: nothing goes
        expected.removeAt(4);
        QCOMPARE(RowTexts(*host.pList), expected);
        QVERIFY(host.dialog.isVisible());
    }

    void keysStayInTheList_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void keysStayInTheList() {
        QFETCH(int, key);
        HostDialog host;
        host.pList->AddFileRow(File("k.txt"));
        QVERIFY(host.Show());
        host.pList->setFocus();
        QTRY_VERIFY(host.pList->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(host.dialog.isVisible());
        QVERIFY(host.pList->hasFocus());
        // The same key from another control does reach the dialog.
        host.pEdit->setFocus();
        QTRY_VERIFY(host.pEdit->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(!host.dialog.isVisible() || !host.pEdit->hasFocus());
    }

    void scrollBarTakesFocus_data() {
        QTest::addColumn<bool>("wheel");
        QTest::newRow("click in the trough") << false;
        QTest::newRow("wheel on the bar") << true;
    }
    void scrollBarTakesFocus() {
        QFETCH(bool, wheel);
        HostDialog host;
        for (int i = 0; i < 60; ++i)
            host.pList->AddFileRow(File("s.txt"));
        QVERIFY(host.Show());
        host.pEdit->setFocus();
        QTRY_VERIFY(host.pEdit->hasFocus());
        QScrollBar* bar = host.pList->verticalScrollBar();
        QTRY_VERIFY(bar->isVisible());
        const QPoint below(bar->width() / 2, bar->height() - 25);
        if (wheel) {
            QWheelEvent e(below, bar->mapToGlobal(below), {}, QPoint(0, -120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &e);
        } else {
            // A click in the trough below the handle pages down.
            QTest::mouseClick(bar, Qt::LeftButton, {}, below);
        }
        QTRY_VERIFY(host.pList->hasFocus());
        QVERIFY(bar->value() > 0);
    }

    void headerClicksSortAndMoveTheMark() {
        HostDialog host;
        for (const char* name : {"b", "C", "a", "B"})
            host.pList->AddFileRow(File(name));
        QVERIFY(host.Show());
        const QString base = QDir::toNativeSeparators(m_dir.path() + "/");
        auto* sm = host.pList->selectionModel();
        sm->select(host.pList->model()->index(0, 0),
                   QItemSelectionModel::Select | QItemSelectionModel::Rows); // "b"
        CFlatHeaderCtrl* header = host.pList->GetHeaderCtrl();
        const QPoint centre = HeaderItemCentre(*host.pList, 0);
        const QStringList orders[] = {
            {"B", "C", "a", "b"}, {"b", "a", "C", "B"}, {"B", "C", "a", "b"}};
        const bool directions[] = {true, false, true};
        for (int click = 0; click < 3; ++click) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
            QStringList expected;
            for (const QString& n : orders[click])
                expected << base + n;
            QCOMPARE(RowTexts(*host.pList), expected);
            bool bAscending = !directions[click];
            QCOMPARE(header->GetSortIndicator(&bAscending), 0);
            QCOMPARE(bAscending, directions[click]);
            // The selection went with its row; the click selected nothing itself.
            const int selected = host.pList->GetNextSelectedItem(-1);
            QCOMPARE(host.pList->GetItemText(selected, 0), base + "b");
            QCOMPARE(host.pList->GetNextSelectedItem(selected), -1);
        }
        QTest::mouseClick(header->viewport(), Qt::RightButton, {}, centre);
        QTest::mouseClick(header->viewport(), Qt::MiddleButton, {}, centre);
        QCOMPARE(RowTexts(*host.pList).first(), base + "B");
        bool bAscending = false;
        QCOMPARE(header->GetSortIndicator(&bAscending), 0);
        QCOMPARE(bAscending, true);
        // Only the left button sorts, whoever reports the click.
        host.pList->OnHeaderItemClick(0, 1);
        QCOMPARE(RowTexts(*host.pList).first(), base + "B");
    }

    void sortCarriesWholeRows() {
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 300);
        list.InsertColumn(1, "Id", LVCFMT_LEFT, 50);
        std::mt19937 rng(3);
        const char* names[] = {"x", "X", "xy", "\xC3\xA9t\xC3\xA9", "Y", "a"};
        const int n = 80;
        for (int i = 0; i < n; ++i) {
            QCOMPARE(list.AddFileRow(File(QString::fromUtf8(names[rng() % 6]))), i);
            list.setItem(i, 1, new QTableWidgetItem(QString::number(i)));
            list.item(i, 0)->setData(kItemDataRole, QVariant::fromValue<qulonglong>(100 + i));
            list.SetItemStateBits(i, LVIS_CUT * (i % 2));
            if (i % 3 == 0)
                list.selectionModel()->select(list.model()->index(i, 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
        }
        list.selectionModel()->setCurrentIndex(list.model()->index(7, 0),
                                               QItemSelectionModel::NoUpdate);
        QVERIFY(list.SortRows(0, false, 0, -1));
        for (int r = 0; r < n; ++r) {
            const int id = list.GetItemText(r, 1).toInt();
            if (r > 0)
                QVERIFY(list.GetItemText(r - 1, 0).toUtf8() >= list.GetItemText(r, 0).toUtf8());
            QCOMPARE(list.GetItemImage(r), id);
            QCOMPARE(list.GetItemData(r), DWORD_PTR(100 + id));
            QCOMPARE(list.GetItemStateBits(r), LVIS_CUT * (id % 2));
            QCOMPARE(list.selectionModel()->isSelected(list.model()->index(r, 0)), id % 3 == 0);
            QCOMPARE(list.currentRow() == r, id == 7);
        }
    }

    void sortWithNothingToDo_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("column");
        QTest::newRow("no rows") << 0 << 0;
        QTest::newRow("one row") << 1 << 0;
        QTest::newRow("missing column") << 3 << 1;
    }
    void sortWithNothingToDo() {
        QFETCH(int, rows);
        QFETCH(int, column);
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        for (const char* name : {"z", "y", "x"}) {
            if (list.GetItemCount() < rows)
                list.AddFileRow(File(name));
        }
        const QStringList before = RowTexts(list);
        QCOMPARE(list.SortRows(column, true, 0, -1), false);
        QCOMPARE(RowTexts(list), before);
    }

    void hitTestCell_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        // Columns of 100 and 50 pixels; a column's span includes its right edge.
        QTest::newRow("first cell") << QPoint(10, 2) << 0 << 0;
        QTest::newRow("edge belongs to the left column") << QPoint(100, 2) << 0 << 0;
        QTest::newRow("second column") << QPoint(101, 2) << 0 << 1;
        QTest::newRow("last pixel of the row") << QPoint(149, 2) << 0 << 1;
        QTest::newRow("right of the columns") << QPoint(150, 2) << -1 << 0;
        QTest::newRow("third row") << QPoint(40, -1) << 2 << 0; // y filled in below
        QTest::newRow("below the rows") << QPoint(40, -2) << -1 << 0;
    }
    void hitTestCell() {
        QFETCH(QPoint, point);
        QFETCH(int, row);
        QFETCH(int, column);
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 100);
        list.InsertColumn(1, "More", LVCFMT_LEFT, 50);
        for (int i = 0; i < 4; ++i)
            list.AddFileRow(File("h.txt"));
        list.resize(300, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        if (point.y() == -1)
            point.setY(list.rowViewportPosition(2) + 1);
        if (point.y() == -2)
            point.setY(list.rowViewportPosition(3) + list.rowHeight(3) + 3);
        int nColumn = -5;
        QCOMPARE(list.HitTestCell(point, nColumn), row);
        QCOMPARE(nColumn, column);
    }

    void clickSelectsAndFocusesTheRow() {
        HostDialog host;
        for (int i = 0; i < 5; ++i)
            host.pList->AddFileRow(File("c.txt"));
        QVERIFY(host.Show());
        QWidget* vp = host.pList->viewport();
        const auto rowPoint = [&](int r) {
            return QPoint(20, host.pList->rowViewportPosition(r) + 2);
        };
        QTest::mouseClick(vp, Qt::LeftButton, {}, rowPoint(3));
        QCOMPARE(host.pList->currentRow(), 3);
        QCOMPARE(host.pList->GetNextSelectedItem(-1), 3);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, rowPoint(1));
        QCOMPARE(host.pList->currentRow(), 1);
        QCOMPARE(host.pList->GetNextSelectedItem(-1), 1);
        QCOMPARE(host.pList->GetNextSelectedItem(1), 3);
        QVERIFY(host.pList->hasFocus());
        // Ctrl+click on a selected row deselects it, the first time as any other.
        QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, rowPoint(3));
        QCOMPARE(host.pList->GetNextSelectedItem(-1), 1);
        QCOMPARE(host.pList->GetNextSelectedItem(1), -1);
        // A plain click on the focused row keeps it selected and drops the others.
        QTest::mouseClick(vp, Qt::LeftButton, {}, rowPoint(3));
        QTest::mouseClick(vp, Qt::LeftButton, {}, rowPoint(3));
        QCOMPARE(host.pList->GetNextSelectedItem(-1), 3);
        QCOMPARE(host.pList->GetNextSelectedItem(3), -1);
    }
};

QTEST_MAIN(TestFlatListCtrl)
#include "tst_flatlistctrl.moc"
