// Renders the compiled-in toolbar strips (scaled up), the icon and a live toolbar with and
// without the mouse over a button into one PNG, to look at after redrawing the pictures.
//   QT_QPA_PLATFORM=offscreen preview_pictures <out.png>
#include "platform/widgets/Resources.h"
#include "res/resource.h"
#include "toolbar/CTextToolBar.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: preview_pictures <out.png>\n");
        return 2;
    }
    const QPixmap normal = LoadBitmap(IDB_TOOLBAR);
    const QPixmap hot = LoadBitmap(IDB_TOOLBAR_HOT);

    QWidget window;
    auto* toolbar = new CTextToolBar(&window);
    toolbar->LoadToolBarWithLabels(IDR_TOOLBAR);
    toolbar->SetImageList(normal);
    toolbar->SetHotImageList(hot);
    toolbar->adjustSize();
    window.resize(toolbar->sizeHint());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::mouseMove(window.windowHandle(), QPoint(window.width() - 1, window.height() - 1));
    const QImage plain = window.grab().toImage();
    QToolButton* button = toolbar->GetButton(2);
    QTest::mouseMove(window.windowHandle(), button->mapTo(&window, button->rect().center()));
    QTest::qWait(50);
    const QImage hover = window.grab().toImage();

    const int scale = 6;
    const int width = std::max(normal.width() * scale, plain.width() * 2);
    QImage out(width, normal.height() * scale * 2 + plain.height() * 4 + 160,
               QImage::Format_ARGB32);
    out.fill(QColor(220, 220, 220));
    QPainter p(&out);
    p.drawPixmap(QRect(0, 0, normal.width() * scale, normal.height() * scale), normal);
    p.drawPixmap(QRect(0, normal.height() * scale, hot.width() * scale, hot.height() * scale), hot);
    int y = normal.height() * scale * 2 + 8;
    p.drawImage(QRect(0, y, plain.width() * 2, plain.height() * 2), plain);
    y += plain.height() * 2 + 4;
    p.drawImage(QRect(0, y, hover.width() * 2, hover.height() * 2), hover);
    y += hover.height() * 2 + 4;
    int x = 0;
    for (int size : {16, 24, 32, 48, 128}) {
        p.drawPixmap(x, y, LoadIcon(IDR_MAINFRAME).pixmap(size, size));
        x += size + 8;
    }
    p.end();
    return out.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
