// Under a dark palette every part of the main window takes its colours from the palette.
#include "app/CVantrelDlg.h"
#include "listview/CFlatHeaderCtrl.h"
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/CStatusBarCtrl.h"
#include "tests/support/GuiTestSupport.h"
#include "toolbar/CTextToolBar.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>

namespace {

QRgb At(const QImage& image, const QWidget* root, const QWidget* widget, QPoint local) {
    const QPoint p = widget->mapTo(root, local);
    return image.pixel(p) & 0xFFFFFF;
}

} // namespace

class TestDarkPalette : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    }

    void windowFollowsThePalette() {
        const QPalette pal = DarkPalette();
        CVantrelDlg dlg;
        CFlatListCtrl* list = dlg.FileList();
        QVERIFY(list->AddFileRow(QCoreApplication::applicationFilePath()) == 0);
        list->setColumnWidth(0, 200); // a grid line inside the list, left of its end
        list->clearSelection();
        list->setCurrentIndex(QModelIndex());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QImage image = dlg.grab().toImage();

        const QRgb base = pal.color(QPalette::Base).rgb() & 0xFFFFFF;
        const QRgb window = pal.color(QPalette::Window).rgb() & 0xFFFFFF;
        const QRgb button = pal.color(QPalette::Button).rgb() & 0xFFFFFF;
        QWidget* viewport = list->viewport();
        // The list's empty part, the header's face and the status bar's ground.
        QCOMPARE(At(image, &dlg, viewport, {viewport->width() / 2, viewport->height() - 5}), base);
        CFlatHeaderCtrl* header = list->GetHeaderCtrl();
        QCOMPARE(At(image, &dlg, header, {150, header->height() / 2}), button);
        QCOMPARE(At(image, &dlg, header, {header->width() - 20, header->height() / 2}), button);
        CStatusBarCtrl* status = dlg.StatusBar();
        const QRect lastPart = status->GetRect(1);
        QCOMPARE(At(image, &dlg, status, {lastPart.center().x(), 1 + status->height() / 2 - 3}),
                 window);
        QCOMPARE(At(image, &dlg, dlg.ToolBar(), {dlg.ToolBar()->width() - 3, 3}), window);
        QCOMPARE(At(image, &dlg, dlg.GetMenuBar(), {dlg.GetMenuBar()->width() - 10, 3}), window);

        // Texts are drawn in the palette's text colours: the brightest pixel of the header,
        // the status text and the row is the text colour.
        const auto brightest = [&](QWidget* w, QRect area) {
            QColor best(Qt::black);
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) {
                    const QColor c(At(image, &dlg, w, {x, y}));
                    if (c.lightness() > best.lightness())
                        best = c;
                }
            return best.rgb() & 0xFFFFFF;
        };
        const QRgb text = pal.color(QPalette::Text).rgb() & 0xFFFFFF;
        QCOMPARE(brightest(header, QRect(8, 2, 140, header->height() - 4)),
                 pal.color(QPalette::ButtonText).rgb() & 0xFFFFFF);
        QCOMPARE(brightest(status, status->GetRect(0).adjusted(4, 4, -4, -4)),
                 pal.color(QPalette::WindowText).rgb() & 0xFFFFFF);
        const QRect row = list->visualRect(list->model()->index(0, 0));
        QCOMPARE(brightest(viewport, row.adjusted(list->iconSize().width() + 8, 1, -1, -1)), text);

        // Nothing in the list, header, status bar or output field is lighter than the
        // palette's lightest colour; the row's file icon is a picture and is left out.
        const int lightest = pal.color(QPalette::Text).lightness();
        for (QWidget* w : {static_cast<QWidget*>(viewport), static_cast<QWidget*>(header),
                           static_cast<QWidget*>(status),
                           static_cast<QWidget*>(dlg.findChild<QLineEdit*>("IDC_OUTPUT_FILE"))}) {
            for (int y = 0; y < w->height(); ++y)
                for (int x = 0; x < w->width(); ++x) {
                    if (w == viewport && row.contains(x, y) && x < row.left() + 24)
                        continue;
                    const QColor c(At(image, &dlg, w, {x, y}));
                    if (c.lightness() > lightest)
                        QFAIL(qPrintable(QString("%1 has a light pixel %2 at %3,%4")
                                             .arg(w->metaObject()->className(), c.name())
                                             .arg(x)
                                             .arg(y)));
                }
        }
    }
};

QTEST_MAIN(TestDarkPalette)
#include "tst_darkpalette.moc"
