// The window on high-density screens. Run by CTest at scale factors 1, 1.5 and 2
// (QT_SCALE_FACTOR), and at 2 on a 1600 x 1000 screen: toolbar pictures at full density, the
// list's frame line whole, and the windows inside the screen.
#include "app/CVantrelDlg.h"
#include "listview/CFlatListCtrl.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"
#include "toolbar/CTextToolBar.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <cmath>

namespace {

// Whether the opaque pixels of cell (magenta is transparent) appear at some place in image.
bool ContainsPicture(const QImage& image, const QImage& cell) {
    const QRgb magenta = qRgb(255, 0, 255) & 0xFFFFFF;
    for (int oy = 0; oy + cell.height() <= image.height(); ++oy)
        for (int ox = 0; ox + cell.width() <= image.width(); ++ox) {
            bool same = true;
            for (int y = 0; y < cell.height() && same; ++y)
                for (int x = 0; x < cell.width() && same; ++x) {
                    const QRgb want = cell.pixel(x, y) & 0xFFFFFF;
                    same = want == magenta || (image.pixel(ox + x, oy + y) & 0xFFFFFF) == want;
                }
            if (same)
                return true;
        }
    return false;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

private slots:
    void toolbarPicturesAtFullDensity_data() {
        QTest::addColumn<UINT>("command");
        QTest::addColumn<int>("picture");
        QTest::newRow("New List") << UINT(ID_FILE_NEWLIST) << 0;
        QTest::newRow("Add Files") << UINT(ID_FILE_ADDFILES) << 1;
        QTest::newRow("Remove") << UINT(ID_FILE_REMOVEFILES) << 2;
        QTest::newRow("Join Files") << UINT(ID_ACTION_JOIN) << 3;
        QTest::newRow("About") << UINT(ID_HELP_ABOUT) << 4;
    }
    void toolbarPicturesAtFullDensity() {
        QFETCH(UINT, command);
        QFETCH(int, picture);
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const qreal dpr = dlg.devicePixelRatioF();
        if (dpr != 1.0 && dpr != 2.0)
            QSKIP("the pictures are scaled at this ratio; drawn pixel for pixel only at 1 and 2");
        // The strip drawn for this density, read as committed.
        const QImage strip(dpr == 2.0 ? ":/vantrel/pictures/toolbar@2x.bmp"
                                      : ":/vantrel/pictures/toolbar.bmp");
        QCOMPARE(strip.size(), QSize(120, 24) * dpr);
        const int cell = 24 * int(dpr);
        const QImage expected = strip.copy(picture * cell, 0, cell, cell);

        QToolButton* button = dlg.ToolBar()->GetButton(dlg.ToolBar()->CommandToIndex(command));
        const QImage shown = button->grab().toImage();
        QCOMPARE(shown.devicePixelRatio(), dpr);
        QVERIFY2(ContainsPicture(shown, expected), "the button does not show its picture 1:1");
    }

    void frameLineOverTheHeader_data() {
        QTest::addColumn<int>("parity"); // of the list's top edge, in window coordinates
        QTest::newRow("even top") << 0;
        QTest::newRow("odd top") << 1;
    }
    void frameLineOverTheHeader() {
        QFETCH(int, parity);
        CVantrelDlg dlg;
        CFlatListCtrl* list = dlg.FileList();
        list->move(list->x(), (list->y() & ~1) + parity);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const qreal dpr = dlg.devicePixelRatioF();
        const QImage image = dlg.grab().toImage();
        QCOMPARE(image.devicePixelRatio(), dpr);

        // The first whole device row of the list carries its frame's top line from end to
        // end: over the column header and past its end alike.
        const int top = int(std::ceil(list->y() * dpr - 1e-6));
        const int left = int(std::ceil((list->x() + 3) * dpr));
        const int right = int((list->x() + list->width() - 3) * dpr);
        const QRgb line = image.pixel(left, top);
        for (int x = left; x <= right; ++x)
            QVERIFY2(image.pixel(x, top) == line, qPrintable(QString("gap at %1").arg(x)));
        // A line: neither the window's ground above it nor the header's face below it.
        const QRgb ground = image.pixel(left, top - 2);
        const QWidget* header = list->horizontalHeader();
        const QPoint face = header->mapTo(&dlg, QPoint(header->width() - 5, header->height() / 2));
        QVERIFY(line != ground);
        QVERIFY(line != image.pixel(int(face.x() * dpr), int(face.y() * dpr)));
    }

    void windowsKeptInsideTheScreen() {
        CVantrelDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QRect area = dlg.screen()->availableGeometry();
        if (area.width() < 640 || area.height() < 480)
            QSKIP("no window of the program fits a screen smaller than 640 x 480");
        // A window taller or wider than the area keeps its title bar's corner in it.
        const QRect frame = dlg.frameGeometry();
        QVERIFY2(area.contains(frame.topLeft()),
                 qPrintable(QString("%1,%2").arg(frame.x()).arg(frame.y())));
        QVERIFY(frame.width() > area.width() || frame.right() <= area.right());
        QVERIFY(frame.height() > area.height() || frame.bottom() <= area.bottom());
        dlg.GetCommandAction(ID_HELP_CONTENTS)->trigger();
        QWidget* help = FindTopLevel("HelpWindow");
        QVERIFY(help != nullptr && QTest::qWaitForWindowExposed(help));
        QVERIFY2(area.contains(help->frameGeometry()),
                 qPrintable(QString("%1 x %2")
                                .arg(help->frameGeometry().width())
                                .arg(help->frameGeometry().height())));
        help->close();
    }
};

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
