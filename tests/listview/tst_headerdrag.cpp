// Dragging a column of the flat header with real mouse events: the threshold, the floating
// window and its painting, the drop marker, the new order, the parent's say, and a drag that
// loses the mouse or its header.
#define QTEST_QPA_MOUSE_HANDLING
#include "listview/CFHDragWnd.h"
#include "listview/CFlatHeaderCtrl.h"
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/Contrast.h"
#include "tests/support/GuiTestSupport.h"

#include <QMenu>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

namespace {

const QRgb kFace = qRgb(200, 200, 200);
const QRgb kLight = qRgb(255, 255, 255);
const QRgb kShadow = qRgb(100, 100, 100);
const QRgb kRed = qRgb(255, 0, 0);
constexpr int kW = 60; // every column's width
constexpr int kH = 24;
constexpr int kY = kH / 2;
constexpr int kDrag = 10; // the drag threshold used throughout
constexpr int kNoMarker = -100;

CFHDragWnd* DragWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<CFHDragWnd*>(w))
            return d;
    return nullptr;
}

// A parent that records the header's notifications and answers as told.
class HeaderParent : public QWidget, public IHeaderNotifyTarget {
public:
    struct Call {
        UINT nCode;
        int nItem;
        QString strText;
        QObject* pFrom;
    };
    QList<Call> calls;
    bool bBeginAnswer = false;
    bool bEndAnswer = false;

    bool OnHeaderNotify(const NMHEADER& nmh) override {
        calls.append({nmh.hdr.code, nmh.iItem, nmh.pitem ? nmh.pitem->pszText : QString(),
                      nmh.hdr.hwndFrom});
        return nmh.hdr.code == HDN_BEGINDRAG ? bBeginAnswer : bEndAnswer;
    }
};

struct DragFixture {
    QStandardItemModel model;
    HeaderParent parent;
    CFlatHeaderCtrl* pHeader;

    explicit DragFixture(const QString& names = "EFGH", bool dragDrop = true)
        : pHeader(new CFlatHeaderCtrl(&parent)) {
        model.setColumnCount(int(names.size()));
        for (int i = 0; i < names.size(); ++i)
            model.setHorizontalHeaderItem(i, new QStandardItem(QString(names[i])));
        pHeader->setModel(&model);
        QPalette pal;
        pal.setColor(QPalette::Button, kFace);
        pal.setColor(QPalette::Light, kLight);
        pal.setColor(QPalette::Dark, kShadow);
        pal.setColor(QPalette::ButtonText, Qt::black);
        pHeader->setPalette(pal);
        pHeader->setFont(QFont("DejaVu Sans", 9));
        for (int i = 0; i < names.size(); ++i)
            pHeader->resizeSection(i, kW);
        pHeader->setGeometry(0, 0, 300, kH);
        if (dragDrop)
            pHeader->ModifyStyle(0, HDS_DRAGDROP);
        parent.resize(300, 80);
        parent.show();
        parent.activateWindow();
    }
    ~DragFixture() {
        // A failed check can leave the button held; the next test starts with it up.
        if (QWidget::mouseGrabber() || DragWindow())
            QTest::mouseRelease(&parent, Qt::LeftButton, {}, QPoint(290, 70));
    }
    QWidget* Vp() const { return pHeader->viewport(); }
    void Press(int x, int y = kY) { QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(x, y)); }
    void Move(int x, int y = kY) { QTest::mouseMove(Vp(), QPoint(x, y)); }
    void Release(int x, int y = kY) { QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(x, y)); }
    // Presses at x and moves just out of the threshold square, to the right.
    void StartDrag(int x) {
        Press(x);
        Move(x + kDrag);
    }
    // A whole drag of E into the gap between G and H; answers the order after it.
    QString DragEBeforeH() {
        StartDrag(30);
        Move(170);
        Release(170);
        return Order();
    }
    QString Order() const {
        QString s;
        for (int p = 0; p < pHeader->count(); ++p)
            s += model.headerData(pHeader->logicalIndex(p), Qt::Horizontal).toString();
        return s;
    }
    QImage Grab() const { return Vp()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Where the drop marker is drawn: the middle of the red run on row 1, or kNoMarker.
    int MarkerX() const {
        const QImage img = Grab();
        int first = -1, last = -1, count = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (Px(img, x, y) == (kRed & 0xFFFFFF)) {
                    ++count;
                    if (y == 1) {
                        first = first < 0 ? x : first;
                        last = x;
                    }
                }
        if (count == 0)
            return kNoMarker;
        // A marker at the left edge is cut off by it.
        if (first == 0 && last < 6)
            return last - 3;
        return last - first == 6 ? (first + last) / 2 : -2;
    }
    bool Captured() const { return QWidget::mouseGrabber() == Vp(); }
};

// The marker's x for gap d of four 60-pixel columns; d -1 is no marker.
int GapX(int d) {
    return d < 0 ? kNoMarker : d < 4 ? d * kW - 1 : 4 * kW;
}

} // namespace

class TestHeaderDrag : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStartDragDistance(kDrag); }

    void dragToGap_data() {
        QTest::addColumn<int>("pressX");
        QTest::addColumn<int>("dropX");
        QTest::addColumn<int>("dropY");
        QTest::addColumn<int>("gap"); // -1: no marker
        QTest::addColumn<QString>("order");
        // E 0-59, F 60-119, G 120-179, H 180-239; the middles (left + right edge, halved, the
        // right edge being outside) are 30, 90, 150, 210.
        QTest::newRow("E into the gap between G and H") << 30 << 170 << kY << 3 << "FGEH";
        QTest::newRow("H into the gap between E and F") << 210 << 40 << kY << 1 << "EHFG";
        QTest::newRow("E after the last") << 30 << 230 << kY << 4 << "FGHE";
        QTest::newRow("G before the first") << 150 << 10 << kY << 0 << "GEFH";
        QTest::newRow("E: left half of G") << 30 << 130 << kY << 2 << "FEGH";
        QTest::newRow("E: G's middle is its left half") << 30 << 150 << kY << 2 << "FEGH";
        QTest::newRow("E: one past G's middle") << 30 << 151 << kY << 3 << "FGEH";
        QTest::newRow("E: on itself") << 30 << 10 << kY << -1 << "EFGH";
        QTest::newRow("E: right half of itself") << 30 << 50 << kY << -1 << "EFGH";
        QTest::newRow("E: left half of F") << 30 << 70 << kY << -1 << "EFGH";
        QTest::newRow("G: right half of F") << 150 << 100 << kY << -1 << "EFGH";
        QTest::newRow("G: left half of H") << 150 << 190 << kY << -1 << "EFGH";
        QTest::newRow("E: past the last column") << 30 << 270 << kY << -1 << "EFGH";
        QTest::newRow("E: below the header") << 30 << 170 << kH + 20 << -1 << "EFGH";
    }
    void dragToGap() {
        QFETCH(int, pressX);
        QFETCH(int, dropX);
        QFETCH(int, dropY);
        QFETCH(int, gap);
        QFETCH(QString, order);
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.StartDrag(pressX);
        QVERIFY(f.Captured());
        QVERIFY(DragWindow());
        f.Move(dropX, dropY);
        QTRY_COMPARE(f.MarkerX(), GapX(gap));
        f.Release(dropX, dropY);
        QCOMPARE(f.Order(), order);
        QVERIFY(!DragWindow());
        QVERIFY(!QWidget::mouseGrabber());
        QTRY_COMPARE(f.MarkerX(), kNoMarker);
        QCOMPARE(f.parent.calls.size(), 2);
        QCOMPARE(f.parent.calls[0].nCode, HDN_BEGINDRAG);
        QCOMPARE(f.parent.calls[1].nCode, HDN_ENDDRAG);
        const int item = pressX / kW;
        for (const auto& call : f.parent.calls) {
            QCOMPARE(call.nItem, item);
            QCOMPARE(call.strText, QString("EFGH"[item]));
            QCOMPARE(call.pFrom, f.pHeader);
        }
    }

    void markerFollowsTheCursor() {
        // From one gap to the next and back; moves within one half repaint nothing.
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        int paints = 0;
        struct PaintCounter : QObject {
            int* pPaints;
            explicit PaintCounter(int* p) : pPaints(p) {}
            bool eventFilter(QObject*, QEvent* e) override {
                *pPaints += e->type() == QEvent::Paint;
                return false;
            }
        } filter(&paints);
        f.Vp()->installEventFilter(&filter);
        f.StartDrag(30);
        for (const auto& [x, gap] : {std::pair{100, 2}, {170, 3}, {230, 4}, {130, 2}, {40, -1}}) {
            paints = 0;
            f.Move(x);
            QTRY_VERIFY(paints > 0);
            QCOMPARE(f.MarkerX(), GapX(gap));
            paints = 0;
            for (int dx = 1; dx <= 5; ++dx)
                f.Move(x + (x % kW < kW / 2 ? dx : -dx));
            QApplication::processEvents();
            QCOMPARE(paints, 0);
        }
        f.Release(40);
        QCOMPARE(f.Order(), QString("EFGH"));
    }

    void markerShowsThroughTheWindow() {
        // The window centred on the cursor lies over the marker next to it.
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.StartDrag(30);
        f.Move(170);
        CFHDragWnd* pWnd = DragWindow();
        QVERIFY(pWnd);
        const QPoint origin = f.Vp()->mapToGlobal(QPoint(0, 0)) - pWnd->pos();
        const int x = GapX(3);
        QVERIFY(pWnd->rect().contains(origin + QPoint(x, 0)));
        const QRegion mask = pWnd->mask();
        for (int dx = -4; dx <= 4; ++dx)
            for (int y : {0, 4, kH - 5, kH - 1})
                QVERIFY(!mask.contains(origin + QPoint(x + dx, y)));
        for (const QPoint p : {QPoint(x - 5, 0), QPoint(x + 5, kH - 1), QPoint(x, 5),
                               QPoint(x, kH - 6), QPoint(x - 30, kY)})
            QVERIFY(mask.contains(origin + p));
        f.Move(40);
        QVERIFY(pWnd->mask().isEmpty());
        f.Release(40);
    }

    void singleColumnNeverMarksOrMoves() {
        DragFixture f("E");
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.StartDrag(20);
        for (int x : {5, 25, 35, 55, 59}) {
            f.Move(x);
            QVERIFY(DragWindow() && DragWindow()->isVisible());
            QCOMPARE(f.MarkerX(), kNoMarker);
        }
        f.Release(55);
        QCOMPARE(f.Order(), QString("E"));
        QVERIFY(!DragWindow());
    }

    void threshold_data() {
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("drags");
        QTest::newRow("right edge is outside") << kDrag << 0 << true;
        QTest::newRow("just left of the right edge") << kDrag - 1 << 0 << false;
        QTest::newRow("left edge is inside") << -kDrag << 0 << false;
        QTest::newRow("past the left edge") << -kDrag - 1 << 0 << true;
        QTest::newRow("bottom edge is outside") << 0 << kDrag << true;
        QTest::newRow("just above the bottom edge") << 0 << kDrag - 1 << false;
        QTest::newRow("top edge is inside") << 0 << -kDrag << false;
        QTest::newRow("above the top edge") << 0 << -kDrag - 1 << true;
    }
    void threshold() {
        QFETCH(int, dx);
        QFETCH(int, dy);
        QFETCH(bool, drags);
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QSignalSpy clicks(f.pHeader, &CFlatHeaderCtrl::ItemClick);
        f.Press(90, kY);
        f.Move(90 + dx, kY + dy);
        QCOMPARE(f.Captured(), drags);
        QCOMPARE(DragWindow() != nullptr, drags);
        QCOMPARE(f.parent.calls.size(), drags ? 1 : 0);
        f.Release(90 + dx, kY + dy);
        // Only a press that stayed inside is a click; a drag dropped on its column is not.
        QCOMPARE(clicks.size(), drags ? 0 : 1);
        QVERIFY(!DragWindow());
        QVERIFY(!QWidget::mouseGrabber());
    }

    void pressOnDividerResizes() {
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        // Plain moves stay with this header, which shows the resize cursor itself.
        f.Move(kW - 1);
        QVERIFY(f.pHeader->testAttribute(Qt::WA_SetCursor));
        QCOMPARE(f.pHeader->cursor().shape(), Qt::SplitHCursor);
        f.Move(30);
        QVERIFY(!f.pHeader->testAttribute(Qt::WA_SetCursor));
        f.Move(kW - 1);
        f.Press(kW - 1);
        f.Move(kW + 40);
        QVERIFY(!DragWindow());
        QVERIFY(!f.Captured());
        QCOMPARE(f.MarkerX(), kNoMarker);
        f.Release(kW + 40);
        QCOMPARE(f.pHeader->sectionSize(0), kW + 41);
        QCOMPARE(f.Order(), QString("EFGH"));
        QVERIFY(f.parent.calls.isEmpty());
    }

    void withoutDragDropMovesAreSwallowed() {
        DragFixture f("EFGH", false);
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QSignalSpy entered(f.pHeader, &QHeaderView::sectionEntered);
        QSignalSpy clicks(f.pHeader, &CFlatHeaderCtrl::ItemClick);
        f.Press(30);
        for (int x : {50, 100, 170, 230})
            f.Move(x);
        QVERIFY(!DragWindow());
        QVERIFY(!f.Captured());
        QCOMPARE(f.MarkerX(), kNoMarker);
        // Qt's header would report each column it passed over.
        QCOMPARE(entered.size(), 0);
        f.Release(230);
        QCOMPARE(f.Order(), QString("EFGH"));
        QCOMPARE(clicks.size(), 0);
        QVERIFY(f.parent.calls.isEmpty());
    }

    void refusedStart() {
        DragFixture f;
        f.parent.bBeginAnswer = true;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QSignalSpy entered(f.pHeader, &QHeaderView::sectionEntered);
        f.StartDrag(30);
        QCOMPARE(f.parent.calls.size(), 1);
        QVERIFY(!DragWindow());
        QVERIFY(f.Captured());
        for (int x : {100, 170, 230}) {
            f.Move(x);
            QCOMPARE(f.MarkerX(), kNoMarker);
        }
        QCOMPARE(entered.size(), 0);
        f.Release(170);
        QCOMPARE(f.parent.calls.size(), 2);
        QCOMPARE(f.parent.calls[1].nCode, HDN_ENDDRAG);
        QCOMPARE(f.Order(), QString("EFGH"));
        QVERIFY(!QWidget::mouseGrabber());
    }

    void refusedEnd() {
        DragFixture f;
        f.parent.bEndAnswer = true;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.StartDrag(30);
        f.Move(170);
        QTRY_COMPARE(f.MarkerX(), GapX(3));
        f.Release(170);
        QCOMPARE(f.parent.calls.size(), 2);
        QCOMPARE(f.Order(), QString("EFGH"));
        QVERIFY(!DragWindow());
        QVERIFY(!QWidget::mouseGrabber());
        QTRY_COMPARE(f.MarkerX(), kNoMarker);
        // The next drag works as ever.
        f.parent.bEndAnswer = false;
        QCOMPARE(f.DragEBeforeH(), QString("FGEH"));
    }

    void floatingWindowPainting_data() {
        QTest::addColumn<int>("markColumn");
        QTest::addColumn<bool>("ascending");
        QTest::newRow("sort column, ascending") << 1 << true;
        QTest::newRow("sort column, descending") << 1 << false;
        QTest::newRow("another sort column") << 2 << true;
    }
    void floatingWindowPainting() {
        QFETCH(int, markColumn);
        QFETCH(bool, ascending);
        DragFixture f;
        f.model.setHorizontalHeaderItem(1, new QStandardItem("Fig"));
        f.pHeader->SetSortIndicator(markColumn, ascending);
        QVERIFY(QTest::qWaitForWindowActive(&f.parent));
        f.StartDrag(90);
        CFHDragWnd* pWnd = DragWindow();
        QVERIFY(pWnd);
        QVERIFY(!pWnd->isVisible());
        f.Move(140, 15);
        QVERIFY(pWnd->isVisible());
        const QPoint cursor = f.Vp()->mapToGlobal(QPoint(140, 15));
        QCOMPARE(pWnd->geometry(), QRect(cursor - QPoint(kW / 2, kH / 2), QSize(kW, kH)));
        QVERIFY(f.parent.isActiveWindow());

        const QImage img = pWnd->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(img.size(), QSize(kW, kH));
        for (int x = 0; x < kW; ++x) {
            QCOMPARE(Px(img, x, 0), x < kW - 1 ? kLight & 0xFFFFFF : kShadow & 0xFFFFFF);
            QCOMPARE(Px(img, x, kH - 1), kShadow & 0xFFFFFF);
        }
        for (int y = 0; y < kH; ++y) {
            QCOMPARE(Px(img, 0, y), y < kH - 1 ? kLight & 0xFFFFFF : kShadow & 0xFFFFFF);
            QCOMPARE(Px(img, kW - 1, y), kShadow & 0xFFFFFF);
        }
        // The text starts one gap in; the mark follows it after another gap.
        const int textWidth = QFontMetrics(f.pHeader->font()).horizontalAdvance("Fig");
        int inkLeft = kW, inkRight = -1;
        for (int y = 1; y < kH - 1; ++y)
            for (int x = 1; x < kW - 1; ++x)
                if (qGray(img.pixel(x, y)) < 100) {
                    inkLeft = std::min(inkLeft, x);
                    inkRight = std::max(inkRight, x);
                }
        QVERIFY(inkLeft >= 6 && inkLeft <= 8);
        QVERIFY(inkRight < 6 + textWidth + 1);
        const int L = 6 + textWidth + 6;
        const int T = (kH - 8 - 1) >> 1;
        // The mark's edges stand out from the face (see DrawSortMark).
        const QRgb S = ReadableOn(QColor(kShadow), QColor(kFace), 3.0).rgb() & 0xFFFFFF;
        const QRgb Lt = ReadableOn(QColor(kLight), QColor(kFace), 3.0).rgb() & 0xFFFFFF;
        const QRgb F = kFace & 0xFFFFFF;
        if (markColumn != 1) {
            for (int y = T; y < T + 8; ++y)
                for (int x = L; x <= L + 8; ++x)
                    QCOMPARE(Px(img, x, y), F);
        } else if (ascending) {
            QCOMPARE(Px(img, L + 3, T), S);
            QCOMPARE(Px(img, L + 4, T), Lt);
            for (int x = L + 1; x < L + 8; ++x)
                QCOMPARE(Px(img, x, T + 7), Lt);
        } else {
            for (int x = L; x < L + 8; ++x)
                QCOMPARE(Px(img, x, T), S);
            QCOMPARE(Px(img, L + 3, T + 7), S);
            QCOMPARE(Px(img, L + 4, T + 7), Lt);
        }
        QCOMPARE(Px(img, kW - 4, 4), F);
        f.Release(140);
        QVERIFY(!DragWindow());
    }

    void headerDestroyedMidDrag() {
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.StartDrag(30);
        f.Move(170);
        QPointer<CFHDragWnd> pWnd = DragWindow();
        QVERIFY(pWnd && pWnd->isVisible());
        delete f.pHeader;
        QVERIFY(pWnd.isNull());
        QVERIFY(!DragWindow());
        QVERIFY(!QWidget::mouseGrabber());
        // The rest of the gesture goes nowhere.
        QTest::mouseMove(&f.parent, QPoint(100, 50));
        QTest::mouseRelease(&f.parent, Qt::LeftButton, {}, QPoint(100, 50));
        QVERIFY(!DragWindow());
    }

    void floatingWindowClosedMidDrag() {
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        f.StartDrag(30);
        f.Move(170);
        QPointer<CFHDragWnd> pWnd = DragWindow();
        QVERIFY(pWnd);
        pWnd->close();
        QTRY_VERIFY(pWnd.isNull());
        // Without its window the drag tracks nothing more; it lands where the marker was.
        f.Move(230);
        QCOMPARE(f.MarkerX(), GapX(3));
        f.Release(230);
        QVERIFY(!QWidget::mouseGrabber());
        QCOMPARE(f.Order(), QString("FGEH"));
    }

    void anotherWindowTakesTheMouse_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("a widget grabs the mouse") << "grab";
        QTest::newRow("another window becomes active") << "activate";
        QTest::newRow("a menu pops up") << "popup";
    }
    void anotherWindowTakesTheMouse() {
        QFETCH(QString, how);
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.parent));
        QSignalSpy clicks(f.pHeader, &CFlatHeaderCtrl::ItemClick);
        f.StartDrag(30);
        f.Move(170);
        QTRY_COMPARE(f.MarkerX(), GapX(3));
        QWidget other;
        other.setGeometry(400, 0, 100, 100);
        QMenu menu;
        menu.addAction("Item");
        if (how == "grab") {
            // Shown without taking the activation, so only the grab tells.
            other.setWindowFlag(Qt::ToolTip);
            other.show();
            QVERIFY(QTest::qWaitForWindowExposed(&other));
            other.grabMouse();
        } else if (how == "activate") {
            other.show();
            other.activateWindow();
        } else {
            menu.popup(QPoint(400, 0));
        }
        // The user goes on moving the mouse, which now reaches the other window.
        QTest::mouseMove(how == "popup" ? static_cast<QWidget*>(&menu) : &other, QPoint(5, 5));
        QTRY_VERIFY(!DragWindow());
        QTRY_COMPARE(f.MarkerX(), kNoMarker);
        QCOMPARE(f.Order(), QString("EFGH"));
        QCOMPARE(f.parent.calls.size(), 2);
        QCOMPARE(f.parent.calls[1].nCode, HDN_ENDDRAG);
        other.releaseMouse();
        menu.close();
        other.close();
        // The header is ready for the next click: it sorts, and drags again.
        QTest::mouseRelease(&f.parent, Qt::LeftButton, {}, QPoint(290, 70));
        f.parent.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.parent));
        QTest::mouseClick(f.Vp(), Qt::LeftButton, {}, QPoint(90, kY));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(f.DragEBeforeH(), QString("FGEH"));
    }

    void pressWhoseReleaseWentElsewhere() {
        // Later plain moves must not start a drag as if the button were still held.
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        QWidget other;
        other.setWindowFlag(Qt::ToolTip);
        other.setGeometry(400, 0, 100, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        f.Press(30);
        other.grabMouse();
        QTest::mouseRelease(&other, Qt::LeftButton, {}, QPoint(50, 50));
        other.releaseMouse();
        QTRY_VERIFY(f.Vp()->hasMouseTracking());
        for (int x : {60, 100, 170}) {
            f.Move(x);
            QVERIFY(!DragWindow());
            QVERIFY(!QWidget::mouseGrabber());
        }
        QVERIFY(f.parent.calls.isEmpty());
        QCOMPARE(f.DragEBeforeH(), QString("FGEH"));
    }

    void hotDividerRequest_data() {
        QTest::addColumn<bool>("moveHFirst");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("gap");
        QTest::newRow("left half of F") << false << 70 << kY << 1;
        QTest::newRow("right half of F") << false << 100 << kY << 2;
        QTest::newRow("right half of the last") << false << 230 << kY << 4;
        QTest::newRow("past the columns") << false << 270 << kY << -1;
        QTest::newRow("below the header") << false << 70 << kH + 5 << -1;
        // H shown first: its display gaps count, not its item index.
        QTest::newRow("H moved first, its left half") << true << 20 << kY << 0;
        QTest::newRow("H moved first, right half of G") << true << 230 << kY << 4;
    }
    void hotDividerRequest() {
        QFETCH(bool, moveHFirst);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, gap);
        DragFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
        if (moveHFirst)
            QVERIFY(f.pHeader->SetOrderArray({3, 0, 1, 2}));
        QCOMPARE(f.pHeader->SetHotDivider(f.Vp()->mapToGlobal(QPoint(x, y))), gap);
        QTRY_COMPARE(f.MarkerX(), GapX(gap));
        QCOMPARE(f.pHeader->SetHotDivider(2), 2);
        QTRY_COMPARE(f.MarkerX(), GapX(2));
        QCOMPARE(f.pHeader->SetHotDivider(-1), -1);
        QTRY_COMPARE(f.MarkerX(), kNoMarker);
    }

    void orderArrayMustBeAPermutation_data() {
        QTest::addColumn<QList<int>>("order");
        QTest::addColumn<QString>("result");
        QTest::newRow("a permutation") << QList<int>{2, 0, 3, 1} << "GEHF";
        QTest::newRow("too short") << QList<int>{1, 0, 2} << "EFGH";
        QTest::newRow("an item twice") << QList<int>{0, 1, 1, 2} << "EFGH";
        QTest::newRow("no such item") << QList<int>{0, 1, 2, 4} << "EFGH";
    }
    void orderArrayMustBeAPermutation() {
        QFETCH(QList<int>, order);
        QFETCH(QString, result);
        DragFixture f;
        const std::vector<int> v(order.begin(), order.end());
        QCOMPARE(f.pHeader->SetOrderArray(v) != false, result != "EFGH");
        QCOMPARE(f.Order(), result);
        const std::vector<int> back = f.pHeader->GetOrderArray();
        const QList<int> want = result == "EFGH" ? QList<int>{0, 1, 2, 3} : order;
        QCOMPARE(QList<int>(back.begin(), back.end()), want);
    }

    void fileListColumnsFollowAndClicksSort() {
        CFlatListCtrl list;
        for (const char* name : {"E", "F", "G", "H"})
            list.InsertColumn(list.columnCount(), name, LVCFMT_LEFT, kW);
        for (const char* text : {"b", "c", "a"}) {
            const int r = list.rowCount();
            list.insertRow(r);
            list.setItem(r, 0, new QTableWidgetItem(text));
        }
        CFlatHeaderCtrl* header = list.GetHeaderCtrl();
        header->ModifyStyle(0, HDS_DRAGDROP);
        list.resize(300, 150);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QWidget* vp = header->viewport();
        const int y = header->height() / 2;
        // A press that stays inside the threshold is a click: the list sorts.
        QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(30, y));
        QTest::mouseMove(vp, QPoint(30 + kDrag - 1, y));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(30 + kDrag - 1, y));
        QCOMPARE(header->GetSortIndicator(), 0);
        QCOMPARE(list.GetItemText(0, 0), QString("a"));
        // A drag moves the list's column with the header.
        QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(30, y));
        QTest::mouseMove(vp, QPoint(30 + kDrag, y));
        QTest::mouseMove(vp, QPoint(170, y));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(170, y));
        QCOMPARE(header->visualIndex(0), 2);
        QCOMPARE(list.columnViewportPosition(0), 2 * kW);
        QCOMPARE(list.columnViewportPosition(1), 0);
        QCOMPARE(list.GetItemText(0, 0), QString("a"));
    }
};

QTEST_MAIN(TestHeaderDrag)
#include "tst_headerdrag.moc"
