// Dragging rows of the file list with the mouse, through the window system as a user would:
// where the rows land, what they keep, the target marking, auto-scroll, releases outside the
// list or before any target, and the drag image window.
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/DragImage.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kScrollTick = 100; // ms between auto-scroll steps

// The object's own timers that fire every interval ms.
QList<int> TimersOf(QObject* object, int interval) {
    QList<int> ids;
    for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(object)) {
        if (timer.interval == interval)
            ids << timer.timerId;
    }
    return ids;
}

// A window with the list and another control beside it, driven through its window handle so
// that the mouse goes where the window system would send it (capture included).
struct DragHost {
    QWidget window;
    CFlatListCtrl* pList;
    QLineEdit* pEdit;

    DragHost(const QStringList& paths, int listHeight = 220) {
        auto* layout = new QHBoxLayout(&window);
        pList = new CFlatListCtrl(&window);
        pEdit = new QLineEdit(&window);
        layout->addWidget(pList);
        layout->addWidget(pEdit);
        pList->InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        pList->setFixedSize(500, listHeight);
        window.resize(680, listHeight + 60);
        for (const QString& path : paths)
            pList->AddFileRow(path);
    }
    bool Show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    QWidget* Viewport() const { return pList->viewport(); }
    QPoint RowPoint(int nRow, int x = 40) const { return ::RowPoint(pList, &window, nRow, x); }
    QPoint HeaderPoint() const {
        QHeaderView* header = pList->horizontalHeader();
        return header->mapTo(&window, header->rect().center());
    }
    QPoint BelowListPoint() const {
        return Viewport()->mapTo(&window, QPoint(40, Viewport()->height() + 6));
    }
    void Press(const QPoint& pt, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, mods, pt);
    }
    void Move(const QPoint& pt) { QTest::mouseMove(window.windowHandle(), pt); }
    void Release(const QPoint& pt) {
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, pt);
    }
    void Click(const QPoint& pt, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, mods, pt);
    }
    // Selects the rows with a click and Ctrl+clicks, as a user does.
    void SelectRows(const QList<int>& rows) {
        Click(RowPoint(rows.first()));
        for (int i = 1; i < rows.size(); ++i)
            Click(RowPoint(rows[i]), Qt::ControlModifier);
    }
    // Presses on row nRow and moves just past the drag distance: the drag has begun.
    void BeginDrag(int nRow) {
        const QPoint pt = RowPoint(nRow);
        Press(pt);
        Move(pt + QPoint(QApplication::startDragDistance() + 1, 0));
    }
    QList<int> SelectedRows() const {
        QList<int> rows;
        for (int r = pList->GetNextSelectedItem(-1); r >= 0; r = pList->GetNextSelectedItem(r))
            rows << r;
        return rows;
    }
};

QWidget* DragImageWindow() {
    return FindTopLevel("DragImageWnd");
}

} // namespace

class TestRowDrag : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Real files named 0, 1, 2, ...
    QStringList Files(int n) {
        QStringList paths;
        for (int i = 0; i < n; ++i) {
            const QString path = m_dir.filePath(QString::number(i));
            if (!QFile::exists(path))
                WriteFile(path, PatternBytes(8, i));
            paths << path;
        }
        return paths;
    }
    // The rows as the numbers of the files they name.
    QList<int> Order(const CFlatListCtrl& list) {
        QList<int> order;
        for (int r = 0; r < list.GetItemCount(); ++r)
            order << QFileInfo(list.GetItemText(r, 0)).fileName().toInt();
        return order;
    }
    QList<int> SelectedFiles(const DragHost& host) {
        QList<int> files;
        const QList<int> order = Order(*host.pList);
        for (int r : host.SelectedRows())
            files << order[r];
        return files;
    }

private slots:
    void dropOnTarget_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("target");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("on row 0") << QList<int>{3, 4} << 0 << QList<int>{0, 3, 4, 1, 2, 5};
        QTest::newRow("on the row just above")
            << QList<int>{3, 4} << 2 << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("on the last row") << QList<int>{1} << 5 << QList<int>{0, 2, 3, 4, 5, 1};
        QTest::newRow("on rows between them")
            << QList<int>{1, 4} << 2 << QList<int>{0, 2, 1, 4, 3, 5};
        QTest::newRow("on a dragged row")
            << QList<int>{1, 2, 4} << 2 << QList<int>{0, 1, 2, 4, 3, 5};
    }
    void dropOnTarget() {
        QFETCH(QList<int>, selected);
        QFETCH(int, target);
        QFETCH(QList<int>, order);
        DragHost host(Files(6));
        QVERIFY(host.Show());
        host.SelectRows(selected);
        QCOMPARE(host.SelectedRows(), selected);
        host.BeginDrag(selected.last());
        // The press on a selected row kept the others selected.
        QCOMPARE(host.SelectedRows(), selected);
        host.Move(host.RowPoint(target));
        host.Release(host.RowPoint(target));
        QCOMPARE(Order(*host.pList), order);
        // The dragged rows are selected at their new place; the target got its selection back.
        QCOMPARE(SelectedFiles(host), selected);
        QVERIFY(!DragImageWindow());
    }

    void pressOnAnUnselectedRowDragsItAlone() {
        DragHost host(Files(6));
        QVERIFY(host.Show());
        host.SelectRows({1, 3});
        host.BeginDrag(4);
        host.Move(host.RowPoint(0));
        host.Release(host.RowPoint(0));
        QCOMPARE(Order(*host.pList), (QList<int>{0, 4, 1, 2, 3, 5}));
        QCOMPARE(SelectedFiles(host), QList<int>{4});
    }

    void targetMarkingIsGivenBack() {
        DragHost host(Files(6));
        QVERIFY(host.Show());
        host.SelectRows({2, 4});
        host.BeginDrag(4);
        host.Move(host.RowPoint(3));
        QCOMPARE(host.SelectedRows(), (QList<int>{2, 3, 4}));
        // Probed at x = 8, wherever the pointer is across the row.
        host.Move(host.RowPoint(1, 300));
        QCOMPARE(host.SelectedRows(), (QList<int>{1, 2, 4}));
        host.Move(host.RowPoint(2)); // a dragged row keeps its selection when left
        host.Move(host.RowPoint(0));
        QCOMPARE(host.SelectedRows(), (QList<int>{0, 2, 4}));
        host.Release(host.RowPoint(0));
        QCOMPARE(Order(*host.pList), (QList<int>{0, 2, 4, 1, 3, 5}));
        QCOMPARE(host.SelectedRows(), (QList<int>{1, 2}));
    }

    void rowsKeepWhatTheyHold() {
        // A path of 259 characters, the longest a drop delivers on the original platform.
        const QString base = m_dir.path() + "/";
        const QString folder = base + QString(120, 'f');
        QVERIFY(QDir().mkpath(folder));
        const QString longPath = folder + "/" + QString(259 - folder.size() - 1, 'n');
        QCOMPARE(longPath.size(), 259);
        WriteFile(longPath, "long");
        QStringList paths = Files(3);
        paths.insert(1, longPath);
        DragHost host(paths);
        QVERIFY(host.Show());
        host.pList->item(1, 0)->setData(kItemDataRole, QVariant::fromValue<qulonglong>(77));
        host.pList->SetItemStateBits(1, LVIS_CUT);
        const QImage icon = host.pList->item(1, 0)->icon().pixmap(16).toImage();
        host.SelectRows({1});
        host.BeginDrag(1);
        host.Move(host.RowPoint(3));
        host.Release(host.RowPoint(3));
        QCOMPARE(host.pList->GetItemText(3, 0), QDir::toNativeSeparators(longPath));
        QCOMPARE(host.pList->GetItemImage(3), 1);
        QCOMPARE(host.pList->GetItemData(3), DWORD_PTR(77));
        QCOMPARE(host.pList->GetItemStateBits(3), LVIS_CUT);
        QCOMPARE(host.pList->item(3, 0)->icon().pixmap(16).toImage(), icon);
        QCOMPARE(host.pList->currentRow(), 3); // the focus went with it
        QCOMPARE(host.SelectedRows(), QList<int>{3});
        QCOMPARE(host.pList->GetItemStateBits(0), 0u);
    }

    void autoScroll_data() {
        QTest::addColumn<bool>("up");
        QTest::newRow("pointer over the header") << true;
        QTest::newRow("pointer below the list") << false;
    }
    void autoScroll() {
        QFETCH(bool, up);
        const int n = 30;
        DragHost host(Files(n), 150);
        QVERIFY(host.Show());
        QScrollBar* bar = host.pList->verticalScrollBar();
        const int dragged = up ? n - 3 : 2;
        const int first = up ? n - 5 : 4; // the first target, marked by the pointer
        if (up)
            host.pList->scrollToBottom();
        QVERIFY(bar->maximum() > 10);
        host.SelectRows({dragged});
        host.BeginDrag(dragged);
        host.Move(host.RowPoint(first));

        // Every target the list marks, and every scroll position, in order.
        QList<int> targets{first};
        QList<int> values{bar->value()};
        QElapsedTimer clock;
        const auto conn = connect(host.pList->selectionModel(),
                                  &QItemSelectionModel::selectionChanged, this, [&] {
                                      for (int r : host.SelectedRows()) {
                                          if (r != dragged && r != targets.last())
                                              targets << r;
                                      }
                                  });
        const auto connBar =
            connect(bar, &QScrollBar::valueChanged, this, [&](int v) { values << v; });
        clock.start();
        host.Move(up ? host.HeaderPoint() : host.BelowListPoint());
        const int last = up ? 0 : n - 1;
        QTRY_COMPARE_WITH_TIMEOUT(targets.last(), last, 60000);
        const qint64 elapsed = clock.elapsed();
        // One row and one line per tick, never more.
        const int steps = std::abs(last - first);
        QCOMPARE(targets.size(), steps + 1);
        for (int i = 1; i < targets.size(); ++i)
            QCOMPARE(targets[i], targets[i - 1] + (up ? -1 : 1));
        for (int i = 1; i < values.size(); ++i)
            QCOMPARE(values[i], values[i - 1] + (up ? -1 : 1));
        QCOMPARE(bar->value(), up ? 0 : bar->maximum());
        // Ticks come every 100 ms: a timer may be late under load, never much early.
        QVERIFY2(elapsed >= (steps - 1) * (kScrollTick - 5), qPrintable(QString::number(elapsed)));
        // At the first or last row the ticks go on and the target stays. The ticks are delivered
        // here rather than waited for, so none can be missed.
        const QList<int> scrollTimers = TimersOf(host.pList, kScrollTick);
        QCOMPARE(scrollTimers.size(), 1);
        const qsizetype scrolled = values.size();
        for (int i = 0; i < 3; ++i) {
            QTimerEvent tick(scrollTimers[0]);
            QCoreApplication::sendEvent(host.pList, &tick);
        }
        QCOMPARE(targets.last(), last);
        QCOMPARE(targets.size(), steps + 1);
        QCOMPARE(values.size(), scrolled);
        disconnect(conn);
        disconnect(connBar);
        host.Release(up ? host.HeaderPoint() : host.BelowListPoint());
        const QList<int> order = Order(*host.pList);
        QCOMPARE(order.indexOf(dragged), up ? 1 : n - 1);
        QCOMPARE(host.SelectedRows(), QList<int>{int(order.indexOf(dragged))});
        // The timer is gone with the drag: nothing scrolls any more.
        QVERIFY(!TimersOf(host.pList, kScrollTick).contains(scrollTimers[0]));
    }

    void releaseOutsideTheList_data() {
        QTest::addColumn<bool>("outsideWindow");
        QTest::newRow("over another control") << false;
        QTest::newRow("outside the window") << true;
    }
    void releaseOutsideTheList() {
        QFETCH(bool, outsideWindow);
        DragHost host(Files(6));
        QVERIFY(host.Show());
        host.SelectRows({1});
        host.BeginDrag(1);
        host.Move(host.RowPoint(4));
        // Beside the list at the height of its rows: neither scroll zone, and the row that
        // the probe finds there is the one already marked.
        const QPoint outside =
            outsideWindow
                ? QPoint(-30, host.RowPoint(4).y())
                : QPoint(host.pEdit->mapTo(&host.window, QPoint()).x() + 5, host.RowPoint(4).y());
        host.Move(outside);
        host.Release(outside);
        QCOMPARE(Order(*host.pList), (QList<int>{0, 2, 3, 4, 1, 5}));
        QCOMPARE(host.SelectedRows(), QList<int>{4});
        QVERIFY(!DragImageWindow());
        QVERIFY(QWidget::mouseGrabber() == nullptr);
    }

    void releaseBeforeAnyTarget_data() {
        QTest::addColumn<bool>("belowRows");
        QTest::newRow("released at once") << false;
        QTest::newRow("pointer below the last row") << true;
    }
    void releaseBeforeAnyTarget() {
        QFETCH(bool, belowRows);
        DragHost host(Files(6));
        QVERIFY(host.Show());
        // An earlier drag leaves its last target behind.
        host.SelectRows({0});
        host.BeginDrag(0);
        host.Move(host.RowPoint(4));
        host.Release(host.RowPoint(4));
        QCOMPARE(Order(*host.pList), (QList<int>{1, 2, 3, 4, 0, 5}));

        host.SelectRows({2, 3});
        const QList<int> before = Order(*host.pList);
        host.BeginDrag(3);
        QTRY_VERIFY(DragImageWindow());
        QPoint pt = host.RowPoint(3) + QPoint(QApplication::startDragDistance() + 1, 0);
        if (belowRows) {
            // Inside the list, where no row is: no target, and no scroll zone either.
            pt = host.Viewport()->mapTo(&host.window, QPoint(40, host.Viewport()->height() - 3));
            QVERIFY(host.pList->rowAt(host.Viewport()->height() - 3) < 0);
            host.Move(pt);
        }
        host.Release(pt);
        QCOMPARE(Order(*host.pList), before);
        QCOMPARE(host.SelectedRows(), (QList<int>{2, 3}));
    }

    void plainClickOnASelectedRowSelectsItAlone() {
        DragHost host(Files(6));
        QVERIFY(host.Show());
        host.SelectRows({1, 3, 4});
        // Pressed: the others stay selected, since a drag may follow.
        host.Press(host.RowPoint(3));
        QCOMPARE(host.SelectedRows(), (QList<int>{1, 3, 4}));
        // A small move is no drag, and stretches no selection either.
        host.Move(host.RowPoint(3) + QPoint(2, 7));
        host.Move(host.RowPoint(3, 43));
        QCOMPARE(host.SelectedRows(), (QList<int>{1, 3, 4}));
        host.Release(host.RowPoint(3, 43));
        QCOMPARE(host.SelectedRows(), QList<int>{3});
        QCOMPARE(host.pList->currentRow(), 3);
        QCOMPARE(Order(*host.pList), (QList<int>{0, 1, 2, 3, 4, 5}));
    }

    void dragEndsWhenItsReleaseIsLostOrTheListGoes() {
        auto host = std::make_unique<DragHost>(Files(6));
        QVERIFY(host->Show());
        host->SelectRows({0});
        host->BeginDrag(0);
        host->Move(host->RowPoint(2));
        // The window system took the release elsewhere: the next move comes without a button.
        const QPoint pt = host->RowPoint(2) - host->Viewport()->mapTo(&host->window, QPoint());
        QMouseEvent e(QEvent::MouseMove, pt, host->Viewport()->mapToGlobal(pt), Qt::NoButton,
                      Qt::NoButton, {});
        QApplication::sendEvent(host->Viewport(), &e);
        QVERIFY(!host->Viewport()->hasMouseTracking());
        QCOMPARE(Order(*host->pList), (QList<int>{1, 2, 0, 3, 4, 5}));
        QVERIFY(!DragImageWindow());
        QVERIFY(QWidget::mouseGrabber() == nullptr);
        QTest::mouseRelease(host->window.windowHandle(), Qt::LeftButton, {}, host->RowPoint(2));

        host->SelectRows({4});
        host->BeginDrag(4);
        QTRY_VERIFY(DragImageWindow());
        host.reset(); // the window closes mid-drag
        QVERIFY(!DragImageWindow());
    }

    void dragImageWindow() {
        DragHost host(Files(6));
        QVERIFY(host.Show());
        host.SelectRows({1, 3});
        QWidget* vp = host.Viewport();
        const QRect row1 =
            QRect(0, host.pList->rowViewportPosition(1), 470, host.pList->rowHeight(1));
        const QRect row3 = row1.translated(0, host.pList->rowViewportPosition(3) - row1.y());
        // The press gives row 1 the focus; the rows look like this when the drag begins.
        host.Press(host.RowPoint(1));
        const QImage look1 = vp->grab(row1).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage look3 = vp->grab(row3).toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(!DragImageWindow());

        host.Move(host.RowPoint(1) + QPoint(QApplication::startDragDistance() + 1, 0));
        QTRY_VERIFY(DragImageWindow() && DragImageWindow()->isVisible());
        QPointer<QWidget> wnd = DragImageWindow();
        const Qt::WindowFlags flags = wnd->windowFlags();
        QVERIFY(flags & Qt::FramelessWindowHint);
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(flags & Qt::WindowTransparentForInput);
        QVERIFY(flags & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(wnd->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(QApplication::activeWindow(), &host.window);
        QCOMPARE(QWidget::mouseGrabber(), vp);
        // It spans rows 1 to 3 and starts where they are on screen: the rows do not jump.
        const QRect span = row1.united(row3);
        QCOMPARE(wnd->size(), span.size());
        QCOMPARE(wnd->pos(), vp->mapToGlobal(span.topLeft()));

        // It shows the dragged rows as the list drew them; the row between is see-through.
        const QImage shown = wnd->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.copy(QRect(QPoint(0, 0), row1.size())), look1);
        QCOMPARE(shown.copy(QRect(QPoint(0, row3.y() - row1.y()), row3.size())), look3);
        const int gapY = host.pList->rowViewportPosition(2) - row1.y() + row1.height() / 2;
        // Half its pixels let the list show through, so the target stays in sight.
        const QRegion shape = wnd->mask();
        QVERIFY(!shape.contains(QPoint(40, gapY)) && !shape.contains(QPoint(41, gapY)));
        const int y1 = row1.height() / 2 & ~1;
        QVERIFY(shape.contains(QPoint(40, y1)) && shape.contains(QPoint(41, y1)));
        QVERIFY(!shape.contains(QPoint(40, y1 + 1)));
        const auto* image = qobject_cast<DragImageWnd*>(wnd.data());
        QVERIFY(image);
        QCOMPARE(image->GetImage().toImage().pixelColor(40, gapY).alpha(), 0);

        // It follows the pointer, which keeps its place on the image.
        const QPoint start = wnd->pos();
        host.Move(host.RowPoint(4) + QPoint(25, 0));
        QTRY_VERIFY(wnd->isVisible());
        QCOMPARE(wnd->pos() - start, host.RowPoint(4) + QPoint(25, 0) - host.RowPoint(1) -
                                         QPoint(QApplication::startDragDistance() + 1, 0));
        host.Release(host.RowPoint(4));
        QVERIFY(wnd.isNull());
        QVERIFY(!DragImageWindow());
    }
};

QTEST_MAIN(TestRowDrag)
#include "tst_rowdrag.moc"
