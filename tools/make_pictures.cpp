// Draws the toolbar strips and the program icon into res/pictures. Run by hand when the
// pictures change; the build uses the committed files.
//   make_pictures <res/pictures folder>
#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kCell = 24;
constexpr int kCount = 5;
const QRgb kMagenta = qRgb(255, 0, 255);
// Edge pixels are blended over a typical button face, since magenta cannot be half-transparent.
const QColor kFace(240, 240, 240);

struct Palette {
    QColor outline, page, rule, blue, blueDark, green, greenDark, red, redDark, yellow, yellowDark,
        orange;
};

Palette MakePalette(bool hot) {
    if (!hot)
        return {QColor(82, 92, 108),  QColor(252, 252, 252), QColor(150, 162, 180),
                QColor(46, 112, 200), QColor(24, 70, 140),   QColor(52, 160, 72),
                QColor(28, 104, 44),  QColor(206, 52, 48),   QColor(136, 26, 24),
                QColor(240, 186, 36), QColor(176, 118, 10),  QColor(232, 132, 40)};
    return {QColor(60, 78, 104),  QColor(255, 255, 255), QColor(120, 150, 200),
            QColor(40, 140, 255), QColor(20, 86, 180),   QColor(46, 200, 86),
            QColor(22, 130, 50),  QColor(250, 64, 56),   QColor(170, 30, 26),
            QColor(255, 212, 40), QColor(204, 140, 0),   QColor(255, 156, 40)};
}

QPainterPath PagePath(qreal x, qreal y, qreal w, qreal h, qreal fold) {
    QPainterPath path;
    path.moveTo(x, y);
    path.lineTo(x + w - fold, y);
    path.lineTo(x + w, y + fold);
    path.lineTo(x + w, y + h);
    path.lineTo(x, y + h);
    path.closeSubpath();
    return path;
}

// A sheet of paper with a folded corner and, optionally, ruled lines in the given colours.
void DrawPage(QPainter& p, const Palette& c, qreal x, qreal y, qreal w, qreal h, qreal fold,
              const QList<QColor>& rules = {}) {
    p.setPen(QPen(c.outline, 1.0));
    QLinearGradient fill(x, y, x + w, y + h);
    fill.setColorAt(0, c.page);
    fill.setColorAt(1, c.page.darker(108));
    p.setBrush(fill);
    p.drawPath(PagePath(x, y, w, h, fold));
    QPainterPath corner;
    corner.moveTo(x + w - fold, y);
    corner.lineTo(x + w - fold, y + fold);
    corner.lineTo(x + w, y + fold);
    p.setBrush(c.page.darker(118));
    p.drawPath(corner);
    p.setPen(Qt::NoPen);
    // Whole pixels, so each rule stays one sharp line.
    qreal ruleY = std::ceil(y + fold + 1);
    for (const QColor& rule : rules) {
        if (ruleY > y + h - 3)
            break;
        p.setBrush(rule);
        p.drawRect(QRectF(std::ceil(x + 2), ruleY, std::floor(w - 4), 1.0));
        ruleY += 2;
    }
}

void DrawBadge(QPainter& p, QPointF centre, qreal r, const QColor& fill, const QColor& edge) {
    QRadialGradient grad(centre - QPointF(r / 3, r / 3), r * 1.6);
    grad.setColorAt(0, fill.lighter(135));
    grad.setColorAt(1, fill);
    p.setPen(QPen(edge, 1.0));
    p.setBrush(grad);
    p.drawEllipse(centre, r, r);
}

QList<QColor> Rules(const QColor& colour, int n) {
    return QList<QColor>(n, colour);
}

void DrawNewList(QPainter& p, const Palette& c) {
    DrawPage(p, c, 4.5, 3.5, 13, 18, 4);
    // A four-pointed sparkle: the list is new and empty.
    const QPointF s(17.5, 6.0);
    QPainterPath star;
    star.moveTo(s + QPointF(0, -5.5));
    star.lineTo(s + QPointF(1.4, -1.4));
    star.lineTo(s + QPointF(5.5, 0));
    star.lineTo(s + QPointF(1.4, 1.4));
    star.lineTo(s + QPointF(0, 5.5));
    star.lineTo(s + QPointF(-1.4, 1.4));
    star.lineTo(s + QPointF(-5.5, 0));
    star.lineTo(s + QPointF(-1.4, -1.4));
    star.closeSubpath();
    p.setPen(QPen(c.yellowDark, 1.0));
    p.setBrush(c.yellow);
    p.drawPath(star);
}

void DrawAddFiles(QPainter& p, const Palette& c) {
    DrawPage(p, c, 7.5, 0.5, 12, 16, 4, Rules(c.rule, 4));
    DrawPage(p, c, 2.5, 4.5, 12, 16, 4, Rules(c.rule, 4));
    const QPointF centre(17.5, 17.5);
    DrawBadge(p, centre, 5.5, c.green, c.greenDark);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(centre.x() - 3.5, centre.y() - 1, 7, 2));
    p.drawRect(QRectF(centre.x() - 1, centre.y() - 3.5, 2, 7));
}

void DrawRemove(QPainter& p, const Palette& c) {
    DrawPage(p, c, 3.5, 1.5, 13, 18, 4, Rules(c.rule, 5));
    const QPointF centre(17.5, 17.5);
    DrawBadge(p, centre, 5.5, c.red, c.redDark);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(centre + QPointF(-2.5, -2.5), centre + QPointF(2.5, 2.5));
    p.drawLine(centre + QPointF(-2.5, 2.5), centre + QPointF(2.5, -2.5));
}

void DrawJoinFiles(QPainter& p, const Palette& c) {
    // Two inputs on the left, one output on the right holding both, in order.
    DrawPage(p, c, 0.5, 0.5, 8, 10, 3, Rules(c.blue, 3));
    DrawPage(p, c, 0.5, 12.5, 8, 10, 3, Rules(c.orange, 3));
    QPainterPath arrow;
    arrow.moveTo(9.5, 7.5);
    arrow.lineTo(14.5, 12.0);
    arrow.lineTo(9.5, 16.5);
    arrow.closeSubpath();
    p.setPen(QPen(c.greenDark, 1.0));
    p.setBrush(c.green);
    p.drawPath(arrow);
    DrawPage(p, c, 14.5, 0.5, 9, 22, 3,
             {c.blue, c.blue, c.blue, c.blue, c.orange, c.orange, c.orange, c.orange});
}

void DrawAbout(QPainter& p, const Palette& c) {
    const QPointF centre(12, 12);
    QRadialGradient grad(QPointF(9, 7), 14);
    grad.setColorAt(0, c.blue.lighter(150));
    grad.setColorAt(1, c.blue);
    p.setPen(QPen(c.blueDark, 1.0));
    p.setBrush(grad);
    p.drawEllipse(centre, 10.5, 10.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 6.8), 1.9, 1.9);
    p.drawRoundedRect(QRectF(10.5, 10, 3, 8.5), 0.8, 0.8);
    p.drawRect(QRectF(9.5, 10, 2, 1.4));   // serif
    p.drawRect(QRectF(9.5, 17.1, 5, 1.4)); // foot
}

// Anti-aliased art on transparency, flattened to 24-bit with magenta where nothing was drawn.
QImage Flatten(const QImage& art) {
    QImage out(art.size(), QImage::Format_RGB32);
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            const QColor px = art.pixelColor(x, y);
            const qreal a = px.alphaF();
            if (a < 0.3) {
                out.setPixel(x, y, kMagenta);
                continue;
            }
            auto mix = [a](int fg, int bg) { return qRound(fg * a + bg * (1 - a)); };
            out.setPixel(x, y,
                         qRgb(mix(px.red(), kFace.red()), mix(px.green(), kFace.green()),
                              mix(px.blue(), kFace.blue())));
        }
    }
    return out;
}

// scale 2 draws the same pictures at twice the density, for high-density screens.
QImage MakeStrip(bool hot, int scale) {
    const Palette c = MakePalette(hot);
    QImage art(kCell * kCount * scale, kCell * scale, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    using Draw = void (*)(QPainter&, const Palette&);
    const Draw pictures[kCount] = {DrawNewList, DrawAddFiles, DrawRemove, DrawJoinFiles, DrawAbout};
    for (int i = 0; i < kCount; ++i) {
        p.save();
        p.translate(i * kCell, 0);
        p.setClipRect(0, 0, kCell, kCell);
        pictures[i](p, c);
        p.restore();
    }
    p.end();
    return Flatten(art);
}

// The icon at 16 and 24 pixels: the same idea with only what still reads at that size.
QImage MakeSmallIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    const qreal pen = 16.0 / size;
    QLinearGradient tile(0, 0, 0, 16);
    tile.setColorAt(0, QColor(74, 150, 236));
    tile.setColorAt(1, QColor(24, 76, 164));
    p.setPen(QPen(QColor(16, 52, 120), pen));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    const Palette c = MakePalette(false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(252, 252, 252));
    p.drawRect(QRectF(2, 2.5, 5, 5));
    p.drawRect(QRectF(2, 8.5, 5, 5));
    p.drawRect(QRectF(9.5, 2, 4.5, 12));
    p.setBrush(c.blue);
    p.drawRect(QRectF(3, 4, 3, 2));
    p.drawRect(QRectF(10.5, 3.5, 2.5, 4));
    p.setBrush(c.orange);
    p.drawRect(QRectF(3, 10, 3, 2));
    p.drawRect(QRectF(10.5, 8.5, 2.5, 4));
    QPainterPath arrow;
    arrow.moveTo(7.5, 6);
    arrow.lineTo(9.5, 8);
    arrow.lineTo(7.5, 10);
    arrow.closeSubpath();
    p.setBrush(QColor(255, 214, 64));
    p.drawPath(arrow);
    p.end();
    return img;
}

// The program icon: two sheets flowing into one, on a blue tile. Drawn on a 256 grid.
QImage MakeIcon(int size) {
    if (size <= 24)
        return MakeSmallIcon(size);
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    const bool small = size <= 24;
    const qreal pen = small ? 256.0 / size : 4;

    QLinearGradient tile(0, 8, 0, 248);
    tile.setColorAt(0, QColor(74, 150, 236));
    tile.setColorAt(1, QColor(24, 76, 164));
    p.setPen(QPen(QColor(16, 52, 120), pen));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    const Palette c = MakePalette(false);
    auto sheet = [&](QRectF r, qreal fold, const QList<QColor>& bands) {
        p.setPen(QPen(QColor(40, 56, 84), pen));
        p.setBrush(QColor(252, 252, 252));
        p.drawPath(PagePath(r.x(), r.y(), r.width(), r.height(), fold));
        p.setBrush(QColor(214, 220, 230));
        QPainterPath corner;
        corner.moveTo(r.right() - fold, r.top());
        corner.lineTo(r.right() - fold, r.top() + fold);
        corner.lineTo(r.right(), r.top() + fold);
        p.drawPath(corner);
        p.setPen(Qt::NoPen);
        const qreal step = small ? 26 : 16;
        qreal y = r.top() + fold + step * 0.6;
        for (const QColor& band : bands) {
            if (y + 8 > r.bottom() - 8)
                break;
            p.setBrush(band);
            p.drawRoundedRect(QRectF(r.left() + 14, y, r.width() - 28, small ? 14 : 8), 3, 3);
            y += step;
        }
    };
    sheet(QRectF(30, 38, 78, 82), 22, QList<QColor>(4, c.blue));
    sheet(QRectF(30, 136, 78, 82), 22, QList<QColor>(4, c.orange));
    QPainterPath arrow;
    arrow.moveTo(116, 104);
    arrow.lineTo(148, 128);
    arrow.lineTo(116, 152);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 255, 200), pen));
    p.setBrush(QColor(255, 214, 64));
    p.drawPath(arrow);
    sheet(
        QRectF(152, 30, 80, 196), 24,
        {c.blue, c.blue, c.blue, c.blue, c.blue, c.orange, c.orange, c.orange, c.orange, c.orange});
    p.end();
    return img;
}

// A Windows .ico holding the PNG pictures, for the Windows build's resource script.
bool WriteIco(const QString& path, const QList<int>& sizes, const QList<QByteArray>& pngs) {
    QByteArray ico;
    auto put16 = [&ico](int v) { ico.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](int v) {
        put16(v & 0xFFFF);
        put16((v >> 16) & 0xFFFF);
    };
    put16(0);
    put16(1);
    put16(int(sizes.size()));
    int offset = 6 + 16 * int(sizes.size());
    for (int i = 0; i < sizes.size(); ++i) {
        const int s = sizes[i] >= 256 ? 0 : sizes[i];
        ico.append(char(s)).append(char(s)).append(char(0)).append(char(0));
        put16(1);
        put16(32);
        put32(int(pngs[i].size()));
        put32(offset);
        offset += int(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        ico.append(png);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(ico) == ico.size();
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures <res/pictures folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = MakeStrip(false, 1).save(dir.filePath("toolbar.bmp"), "BMP");
    ok = MakeStrip(true, 1).save(dir.filePath("toolbar_hot.bmp"), "BMP") && ok;
    ok = MakeStrip(false, 2).save(dir.filePath("toolbar@2x.bmp"), "BMP") && ok;
    ok = MakeStrip(true, 2).save(dir.filePath("toolbar_hot@2x.bmp"), "BMP") && ok;
    const QList<int> sizes = {16, 24, 32, 48, 64, 128, 256};
    QList<QByteArray> pngs;
    for (int size : sizes) {
        const QImage icon = MakeIcon(size);
        ok = icon.save(dir.filePath(QStringLiteral("vantrel-%1.png").arg(size)), "PNG") && ok;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        icon.save(&buffer, "PNG");
        pngs.append(png);
    }
    ok = WriteIco(dir.filePath("vantrel.ico"), sizes, pngs) && ok;
    if (!ok)
        std::fprintf(stderr, "make_pictures: could not write every picture\n");
    return ok ? 0 : 1;
}
