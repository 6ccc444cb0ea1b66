// The compiled-in resources as the rest of the program reads them by id: the exact texts of
// the string table, and pictures that meet their format. The menu and the toolbar are checked
// as the window shows them (tst_mainwindow, tst_texttoolbar).
#include "platform/widgets/Resources.h"
#include "res/resource.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QTest>

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void strings_data();
    void strings();
    void bitmapFormat_data();
    void bitmapFormat();
    void bitmapPictures();
    void icon();
};

void TestResources::strings_data() {
    QTest::addColumn<UINT>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("status") << UINT(IDS_TOOLBAR_MESSAGE) << "Toolbar message";
    QTest::newRow("new") << UINT(ID_FILE_NEWLIST) << "New list of files to join\nNew List";
    QTest::newRow("add") << UINT(ID_FILE_ADDFILES) << "Add files to join\nAdd Files";
    QTest::newRow("remove") << UINT(ID_FILE_REMOVEFILES) << "Remove files from the list\nRemove";
    QTest::newRow("join") << UINT(ID_ACTION_JOIN) << "Join files\nJoin Files";
    QTest::newRow("about") << UINT(ID_HELP_ABOUT) << "About this software\n   About   ";
    QTest::newRow("exit has none") << UINT(ID_FILE_EXIT) << QString();
    QTest::newRow("unknown") << 4242u << QString();
}

void TestResources::strings() {
    QFETCH(UINT, id);
    QFETCH(QString, text);
    QCOMPARE(LoadString(id), text);
}

void TestResources::bitmapFormat_data() {
    QTest::addColumn<UINT>("id");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("ratio"); // the device pixel ratio the strip is drawn for
    QTest::newRow("normal") << UINT(IDB_TOOLBAR) << ":/vantrel/pictures/toolbar.bmp" << 1;
    QTest::newRow("hot") << UINT(IDB_TOOLBAR_HOT) << ":/vantrel/pictures/toolbar_hot.bmp" << 1;
    QTest::newRow("normal 2x") << UINT(IDB_TOOLBAR) << ":/vantrel/pictures/toolbar@2x.bmp" << 2;
    QTest::newRow("hot 2x") << UINT(IDB_TOOLBAR_HOT) << ":/vantrel/pictures/toolbar_hot@2x.bmp"
                            << 2;
}

void TestResources::bitmapFormat() {
    QFETCH(UINT, id);
    QFETCH(QString, file);
    QFETCH(int, ratio);

    // A 24-bit Windows bitmap, 120 x 24 (twice that for 2x), as the Windows build's resource
    // script takes it.
    QFile bmp(file);
    QVERIFY(bmp.open(QIODevice::ReadOnly));
    const QByteArray header = bmp.read(54);
    QCOMPARE(header.left(2), QByteArray("BM"));
    auto le = [&header](int at, int n) {
        int v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | quint8(header[at + i]);
        return v;
    };
    QCOMPARE(le(18, 4), 120 * ratio);
    QCOMPARE(le(22, 4), 24 * ratio);
    QCOMPARE(le(28, 2), 24);

    const QImage raw(file);
    const QPixmap pixmap = LoadBitmap(id, ratio);
    QCOMPARE(pixmap.devicePixelRatio(), qreal(ratio));
    const QImage loaded = pixmap.toImage();
    const QSize size = QSize(120, 24) * ratio;
    QCOMPARE(loaded.size(), size);
    int transparent = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const bool magenta = raw.pixel(x, y) == qRgb(255, 0, 255);
            QCOMPARE(qAlpha(loaded.pixel(x, y)) == 0, magenta);
            transparent += magenta;
        }
    }
    QVERIFY2(transparent > size.width() * size.height() / 5,
             "the pictures should stand on a transparent ground");

    // The 2x strip draws the same pictures: each cell covers as much of its ground.
    const QImage single = LoadBitmap(id).toImage();
    for (int n = 0; n < 5; ++n) {
        auto cover = [](const QImage& strip, int cell, int n) {
            int opaque = 0;
            for (int y = 0; y < cell; ++y)
                for (int x = n * cell; x < (n + 1) * cell; ++x)
                    opaque += qAlpha(strip.pixel(x, y)) != 0;
            return double(opaque) / (cell * cell);
        };
        QVERIFY2(qAbs(cover(loaded, 24 * ratio, n) - cover(single, 24, n)) < 0.08,
                 qPrintable(QString("picture %1").arg(n)));
    }
}

// Five pictures, each clearly drawn and different from the others; the hot ones brighter.
void TestResources::bitmapPictures() {
    const QImage normal = LoadBitmap(IDB_TOOLBAR).toImage();
    const QImage hot = LoadBitmap(IDB_TOOLBAR_HOT).toImage();
    auto cell = [](const QImage& strip, int n) { return strip.copy(n * 24, 0, 24, 24); };
    auto opaqueShare = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += qAlpha(img.pixel(x, y)) == 255;
        return double(n) / (img.width() * img.height());
    };
    auto brightness = [](const QImage& img) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) == 255) {
                    sum +=
                        QColor(img.pixel(x, y)).valueF() + QColor(img.pixel(x, y)).hsvSaturationF();
                    ++n;
                }
        return n ? sum / n : 0.0;
    };
    for (int i = 0; i < 5; ++i) {
        const QImage a = cell(normal, i);
        QVERIFY2(opaqueShare(a) > 0.25, qPrintable(QString("picture %1 is nearly empty").arg(i)));
        QVERIFY2(opaqueShare(a) < 0.95, qPrintable(QString("picture %1 fills its cell").arg(i)));
        for (int j = 0; j < i; ++j)
            QVERIFY2(a != cell(normal, j), qPrintable(QString("pictures %1 and %2").arg(j).arg(i)));
        QVERIFY2(brightness(cell(hot, i)) > brightness(a),
                 qPrintable(QString("hot picture %1 is not brighter").arg(i)));
    }
}

void TestResources::icon() {
    const QIcon icon = LoadIcon(IDR_MAINFRAME);
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 32, 48, 256})
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QVERIFY(LoadIcon(IDB_TOOLBAR).isNull());
    QVERIFY(LoadBitmap(IDR_MAINFRAME).isNull());
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
