// The flat header on grabbed images: the sort mark pixel for pixel, dividers, frame, pressed
// look, drop marker, item layout, partial repaints and colours from the palette.
#include "listview/CFlatHeaderCtrl.h"
#include "listview/CMemDC.h"
#include "platform/widgets/CImageList.h"
#include "platform/widgets/Contrast.h"
#include "tests/support/GuiTestSupport.h"

#include <QStandardItemModel>
#include <QTest>

namespace {

const QRgb kFace = qRgb(200, 200, 200);
const QRgb kLight = qRgb(255, 255, 255);
const QRgb kShadow = qRgb(100, 100, 100);
const QRgb kText = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
constexpr int kHeight = 24;
constexpr int kTop = (kHeight - 8 - 1) >> 1; // where an 8 x 8 mark starts

QPalette TestPalette(QRgb face = kFace, QRgb light = kLight, QRgb shadow = kShadow) {
    QPalette pal;
    pal.setColor(QPalette::Button, face);
    pal.setColor(QPalette::Light, light);
    pal.setColor(QPalette::Dark, shadow);
    pal.setColor(QPalette::ButtonText, kText);
    return pal;
}

// The marks as drawn with 1-pixel lines that leave out their end point (S shadow, L light).
const char* const kAscending[8] = {"...SL...", "...SL...", "..S..L..", "..S..L..",
                                   ".S....L.", ".S....L.", "S......L", ".LLLLLLL"};
const char* const kDescending[8] = {"SSSSSSSS", "S......L", ".S....L.", ".S....L.",
                                    "..S..L..", "..S..L..", "...SL...", "...SL..."};

struct HeaderFixture {
    QStandardItemModel model;
    CFlatHeaderCtrl header;
    explicit HeaderFixture(const QList<int>& widths, int width = 300) {
        model.setColumnCount(widths.size());
        for (int i = 0; i < widths.size(); ++i)
            model.setHorizontalHeaderItem(i, new QStandardItem(QString()));
        header.setModel(&model);
        header.setMinimumSectionSize(0);
        header.setPalette(TestPalette());
        header.setFont(QFont("DejaVu Sans", 9));
        for (int i = 0; i < widths.size(); ++i)
            header.resizeSection(i, widths[i]);
        header.resize(width, kHeight);
        header.show();
    }
    void SetText(int i, const QString& text, Qt::Alignment align = Qt::AlignLeft) {
        model.setHeaderData(i, Qt::Horizontal, text, Qt::DisplayRole);
        model.setHeaderData(i, Qt::Horizontal, int(align | Qt::AlignVCenter),
                            Qt::TextAlignmentRole);
    }
    QImage Grab() {
        return header.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

// Compares the 10 x 10 square around an 8 x 8 mark at (L, T) with the expected art.
QString MarkMismatch(const QImage& img, int L, int T, const char* const* art) {
    for (int y = -1; y <= 8; ++y)
        for (int x = -1; x <= 8; ++x) {
            char c = '.';
            if (art && x >= 0 && x < 8 && y >= 0 && y < 8)
                c = art[y][x];
            // The mark's edges are the palette's, pushed to stand out from the face.
            const QRgb want = c == 'S'   ? ReadableOn(QColor(kShadow), QColor(kFace), 3.0).rgb()
                              : c == 'L' ? ReadableOn(QColor(kLight), QColor(kFace), 3.0).rgb()
                                         : kFace;
            if (Px(img, L + x, T + y) != (want & 0xFFFFFF))
                return QString("pixel (%1, %2) of the mark").arg(x).arg(y);
        }
    return {};
}

bool IsInk(QRgb c) {
    return qGray(c) < 150;
}

} // namespace

class TestFlatHeaderCtrl : public QObject {
    Q_OBJECT

private slots:
    void sortIndicatorRecord() {
        CFlatHeaderCtrl header;
        bool bAscending = true;
        QCOMPARE(header.GetSortIndicator(&bAscending), -1);
        QCOMPARE(bAscending, false);
        header.SetSortIndicator(2, true);
        QCOMPARE(header.GetSortIndicator(&bAscending), 2);
        QCOMPARE(bAscending, true);
        QCOMPARE(header.GetSortIndicator(nullptr), 2);
        QVERIFY(!header.isSortIndicatorShown());
        QVERIFY(!header.sectionsMovable());
    }

    void sortMarkPixels_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("ascending");
        QTest::newRow("ascending") << 0 << true;
        QTest::newRow("descending") << 0 << false;
        QTest::newRow("no mark column") << -1 << true;
        QTest::newRow("mark on another column") << 1 << true;
    }
    void sortMarkPixels() {
        QFETCH(int, column);
        QFETCH(bool, ascending);
        HeaderFixture f({100, 100});
        f.header.SetSortIndicator(column, ascending);
        const QImage img = f.Grab();
        const char* const* art = column != 0 ? nullptr : ascending ? kAscending : kDescending;
        // No text: the mark sits at the item's left, one gap in.
        QCOMPARE(MarkMismatch(img, 6, kTop, art), QString());
    }

    void dividersAndFrame() {
        HeaderFixture f({50, 70, 40});
        const QImage img = f.Grab();
        for (int right : {50, 120}) {
            for (int y = 2; y < kHeight - 2; ++y) {
                QCOMPARE(Px(img, right - 1, y), kShadow & 0xFFFFFF);
                QCOMPARE(Px(img, right, y), kLight & 0xFFFFFF);
            }
            QCOMPARE(Px(img, right - 1, 1), kFace & 0xFFFFFF);
            QCOMPARE(Px(img, right - 1, kHeight - 2), kFace & 0xFFFFFF);
        }
        // No divider after the last column; the frame ends at the sum of the widths.
        const int total = 160;
        for (int y = 1; y < kHeight - 1; ++y) {
            QCOMPARE(Px(img, total - 1, y), kFace & 0xFFFFFF);
            QCOMPARE(Px(img, total, y), kShadow & 0xFFFFFF);
            QCOMPARE(Px(img, total + 1, y), kFace & 0xFFFFFF);
            QCOMPARE(Px(img, 0, y), y < kHeight - 1 ? kLight & 0xFFFFFF : kShadow & 0xFFFFFF);
        }
        for (int x = 0; x < total; ++x) {
            QCOMPARE(Px(img, x, 0), kLight & 0xFFFFFF);
            QCOMPARE(Px(img, x, kHeight - 1), kShadow & 0xFFFFFF);
        }
        QCOMPARE(Px(img, total, 0), kShadow & 0xFFFFFF);
        QCOMPARE(Px(img, total + 1, 0), kFace & 0xFFFFFF);
    }

    void emptyHeaderPaintsOnlyTheFace() {
        HeaderFixture f({});
        f.header.SetHotDivider(0);
        f.header.SetSortIndicator(0, true);
        const QImage img = f.Grab();
        QVERIFY(img.width() >= 300);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QCOMPARE(Px(img, x, y), kFace & 0xFFFFFF);
    }

    void pressedColumnIsInverted() {
        HeaderFixture f({50, 70, 40});
        f.SetText(1, "Ab");
        QVERIFY(QTest::qWaitForWindowExposed(&f.header));
        const QImage normal = f.Grab();
        QWidget* vp = f.header.viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(85, kHeight / 2));
        const QImage pressed = f.Grab();
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < 200; ++x) {
                // Column 1 less the frame; its divider is drawn after the inversion.
                const bool divider = x == 119 && y >= 2 && y < kHeight - 2;
                const bool inverted = x >= 50 && x <= 119 && y >= 1 && y <= kHeight - 2 && !divider;
                const QRgb want = inverted ? ~normal.pixel(x, y) & 0xFFFFFF : Px(normal, x, y);
                if (Px(pressed, x, y) != want)
                    QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
            }
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(85, kHeight / 2));
        QCOMPARE(f.Grab(), normal);
    }

    void pressedLookStaysWhileTheButtonIsHeld() {
        // The mouse is captured: moving onto another column changes nothing.
        HeaderFixture f({50, 70, 40});
        QVERIFY(QTest::qWaitForWindowExposed(&f.header));
        QWidget* vp = f.header.viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(85, kHeight / 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(140, kHeight / 2),
                         vp->mapToGlobal(QPointF(140, kHeight / 2)), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(vp, &move);
        const QImage img = f.Grab();
        QCOMPARE(Px(img, 60, 5), ~kFace & 0xFFFFFF);
        QCOMPARE(Px(img, 140, 5), kFace & 0xFFFFFF);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(140, kHeight / 2));
        QCOMPARE(Px(f.Grab(), 60, 5), kFace & 0xFFFFFF);
    }

    void pressOnDividerResizesWithoutInversion() {
        HeaderFixture f({50, 70, 40});
        QVERIFY(QTest::qWaitForWindowExposed(&f.header));
        const QImage normal = f.Grab();
        QWidget* vp = f.header.viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(49, kHeight / 2));
        QCOMPARE(f.Grab(), normal);
        QMouseEvent move(QEvent::MouseMove, QPointF(79, kHeight / 2),
                         vp->mapToGlobal(QPointF(79, kHeight / 2)), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(vp, &move);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(79, kHeight / 2));
        QCOMPARE(f.header.sectionSize(0), 80);
    }

    void dropMarker_data() {
        QTest::addColumn<int>("divider");
        QTest::addColumn<int>("x");
        QTest::newRow("before the second column") << 1 << 49;
        QTest::newRow("after the last column") << 3 << 160;
        QTest::newRow("none") << -1 << -1;
    }
    void dropMarker() {
        QFETCH(int, divider);
        QFETCH(int, x);
        HeaderFixture f({50, 70, 40});
        f.header.SetHotDivider(divider);
        const QImage img = f.Grab();
        int reds = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int i = 0; i < img.width(); ++i)
                reds += Px(img, i, y) == (kRed & 0xFFFFFF);
        if (x < 0) {
            QCOMPARE(reds, 0);
            return;
        }
        const int b = kHeight;
        for (QPoint p :
             {QPoint(x, b - 2), QPoint(x, b - 4), QPoint(x - 3, b - 1), QPoint(x + 3, b - 1),
              QPoint(x, 1), QPoint(x, 3), QPoint(x - 3, 0), QPoint(x + 3, 0)})
            QCOMPARE(Px(img, p.x(), p.y()), kRed & 0xFFFFFF);
        for (QPoint p : {QPoint(x, b - 7), QPoint(x - 6, b - 1), QPoint(x + 6, b - 1), QPoint(x, 6),
                         QPoint(x - 6, 0), QPoint(x + 6, 0), QPoint(x, 12)})
            QVERIFY(Px(img, p.x(), p.y()) != (kRed & 0xFFFFFF));
        // Two triangles of 4 rows and at most 9 pixels each row.
        QVERIFY(reds >= 2 * (1 + 3 + 5 + 7) && reds <= 2 * 5 * 9);
    }

    void markPlacement_data() {
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("extraFormat");
        QTest::addColumn<bool>("image");
        QTest::addColumn<bool>("bitmap");
        QTest::addColumn<int>("markLeft"); // -1: a gap after the text
        QTest::addColumn<int>("bitmapLeft");
        const int L = Qt::AlignLeft, R = Qt::AlignRight, C = Qt::AlignHCenter;
        QTest::newRow("left: after the text") << L << 0 << false << false << -1 << -1;
        QTest::newRow("left: image, text, mark") << L << 0 << true << false << -1 << -1;
        QTest::newRow("left: bitmap at the right") << L << 0 << false << true << -1 << 184;
        QTest::newRow("right: at the right") << R << 0 << false << false << 186 << -1;
        QTest::newRow("right: bitmap at the left") << R << 0 << false << true << 186 << 6;
        QTest::newRow("right: bitmap on the right")
            << R << HDF_BITMAP_ON_RIGHT << false << true << 170 << 184;
        QTest::newRow("centre: at the right") << C << 0 << false << false << 186 << -1;
        QTest::newRow("centre: gap before the bitmap") << C << 0 << false << true << 170 << 184;
    }
    void markPlacement() {
        QFETCH(int, align);
        QFETCH(int, extraFormat);
        QFETCH(bool, image);
        QFETCH(bool, bitmap);
        QFETCH(int, markLeft);
        QFETCH(int, bitmapLeft);
        HeaderFixture f({200});
        f.SetText(0, "Ab", Qt::Alignment(align));
        CImageList images;
        if (image) {
            images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 2);
            QPixmap blue(16, 16);
            blue.fill(QColor(kBlue));
            images.Add(blue);
            f.header.SetImageList(&images);
            f.model.setHeaderData(0, Qt::Horizontal, 0, kHeaderImageRole);
        }
        if (bitmap) {
            QPixmap blue(10, 10);
            blue.fill(QColor(kBlue));
            f.model.setHeaderData(0, Qt::Horizontal, blue, kHeaderBitmapRole);
        }
        f.model.setHeaderData(0, Qt::Horizontal, extraFormat, kHeaderFormatRole);
        f.header.SetSortIndicator(0, true);
        const QImage img = f.Grab();
        const int textWidth = QFontMetrics(f.header.font()).horizontalAdvance("Ab");
        if (markLeft < 0)
            markLeft = 6 + (image ? 16 + 6 : 0) + textWidth + 6;
        QCOMPARE(MarkMismatch(img, markLeft, kTop, kAscending), QString());
        if (image) {
            QCOMPARE(Px(img, 6, 4), kBlue & 0xFFFFFF);
            QCOMPARE(Px(img, 21, 19), kBlue & 0xFFFFFF);
            QVERIFY(Px(img, 22, 12) != (kBlue & 0xFFFFFF));
        }
        if (bitmapLeft >= 0) {
            QCOMPARE(Px(img, bitmapLeft, 7), kBlue & 0xFFFFFF);
            QCOMPARE(Px(img, bitmapLeft + 9, 16), kBlue & 0xFFFFFF);
            QVERIFY(Px(img, bitmapLeft - 1, 12) != (kBlue & 0xFFFFFF));
            QVERIFY(Px(img, bitmapLeft + 10, 12) != (kBlue & 0xFFFFFF));
        }
    }

    void markNeedsItsWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("7 pixels of room") << 19 << false;
        QTest::newRow("8 pixels of room") << 20 << true;
    }
    void markNeedsItsWidth() {
        QFETCH(int, width);
        QFETCH(bool, drawn);
        HeaderFixture f({width, 100});
        f.header.SetSortIndicator(0, false);
        QCOMPARE(MarkMismatch(f.Grab(), 6, kTop, drawn ? kDescending : nullptr), QString());
    }

    void longTextEndsWithEllipsis() {
        HeaderFixture f({100});
        f.SetText(0, QString(40, 'W'));
        const QImage img = f.Grab();
        // Nothing beyond the room (item less one gap on each side).
        int lastInk = -1;
        for (int x = 0; x < 99; ++x)
            for (int y = 1; y < kHeight - 1; ++y)
                if (IsInk(Px(img, x, y)))
                    lastInk = x;
        QVERIFY(lastInk > 50 && lastInk < 94);
        const auto inkRows = [&](int x0, int x1) {
            int top = kHeight, bottom = -1;
            for (int x = x0; x <= x1; ++x)
                for (int y = 1; y < kHeight - 1; ++y)
                    if (IsInk(Px(img, x, y))) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
            return bottom - top + 1;
        };
        // The letters are tall; the ellipsis at the end is a row of dots.
        QVERIFY(inkRows(6, 12) >= 6);
        QVERIFY(inkRows(lastInk - 3, lastInk) <= 3);
    }

    void ownerDrawnItemDrawsNothing() {
        HeaderFixture f({80, 80});
        f.SetText(0, "Ab");
        f.SetText(1, "Ab");
        f.model.setHeaderData(0, Qt::Horizontal, HDF_OWNERDRAW, kHeaderFormatRole);
        f.header.SetSortIndicator(0, true);
        const QImage img = f.Grab();
        for (int y = 1; y < kHeight - 1; ++y)
            for (int x = 1; x < 78; ++x)
                QCOMPARE(Px(img, x, y), kFace & 0xFFFFFF);
        bool ink = false;
        for (int x = 82; x < 158; ++x)
            ink = ink || IsInk(Px(img, x, kHeight / 2));
        QVERIFY(ink);
    }

    void partialRepaintChangesOnlyThatPart() {
        HeaderFixture f({50, 70, 40});
        f.SetText(1, "Abc");
        f.header.SetSortIndicator(1, true);
        f.header.SetHotDivider(2);
        const QImage full = f.Grab();
        QImage part(full.size(), QImage::Format_RGB32);
        part.fill(Qt::green);
        const QRect area(40, 0, 85, kHeight);
        // The region's corner lands on the target offset.
        f.header.viewport()->render(&part, area.topLeft(), QRegion(area));
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x) {
                const QRgb want = area.contains(x, y) ? Px(full, x, y) : qRgb(0, 255, 0) & 0xFFFFFF;
                if (Px(part, x, y) != want)
                    QFAIL(qPrintable(QString("pixel (%1, %2)").arg(x).arg(y)));
            }
    }

    void memDCDeliversOnlyItsRectangleAtTheEnd() {
        QImage target(100, 50, QImage::Format_RGB32);
        target.fill(Qt::green);
        const QImage before = target;
        const QRect clip(10, 5, 20, 10);
        {
            QPainter painter(&target);
            {
                CMemDC dc(painter, clip);
                QVERIFY(dc.IsOffscreen());
                dc.GetDC().fillRect(0, 0, 100, 50, Qt::red);
                dc.GetDC().fillRect(clip.x(), clip.y(), 1, 1, Qt::blue);
                QCOMPARE(target, before); // nothing on the target until the end
            }
        }
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x) {
                const QRgb want = QPoint(x, y) == clip.topLeft() ? kBlue
                                  : clip.contains(x, y)          ? kRed
                                                                 : qRgb(0, 255, 0);
                QCOMPARE(Px(target, x, y), want & 0xFFFFFF);
            }
    }

    void newColoursAfterPaletteChange() {
        HeaderFixture f({50, 70});
        f.header.SetSortIndicator(0, true);
        const QRgb face = qRgb(10, 60, 90), light = qRgb(240, 230, 10), shadow = qRgb(90, 0, 90);
        f.header.setPalette(TestPalette(face, light, shadow));
        const QImage img = f.Grab();
        QCOMPARE(Px(img, 200, 10), face & 0xFFFFFF);
        QCOMPARE(Px(img, 10, 0), light & 0xFFFFFF);
        QCOMPARE(Px(img, 120, 10), shadow & 0xFFFFFF);
        QCOMPARE(Px(img, 49, 10), shadow & 0xFFFFFF);
        // The mark's edges from the new colours, pushed to stand out from the new face.
        QCOMPARE(Px(img, 6 + 4, kTop),
                 ReadableOn(QColor(light), QColor(face), 3.0).rgb() & 0xFFFFFF);
        QCOMPARE(Px(img, 6 + 3, kTop),
                 ReadableOn(QColor(shadow), QColor(face), 3.0).rgb() & 0xFFFFFF);
    }
};

QTEST_MAIN(TestFlatHeaderCtrl)
#include "tst_flatheaderctrl.moc"
