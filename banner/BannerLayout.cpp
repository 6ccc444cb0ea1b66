#include "banner/BannerLayout.h"

#include "banner/BannerFonts.h"

#include <QFutureWatcher>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <memory>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// What a picture is made of, taken from the document on the user-interface thread.
struct PageInput {
    QString strHtml;
    QHash<QUrl, QImage> images;
    QFont font;
    qreal margin;
    qreal width;
    QPalette palette;
    qreal ratio;

    bool operator==(const PageInput& other) const {
        if (images.size() != other.images.size())
            return false;
        for (auto it = images.cbegin(); it != images.cend(); ++it) {
            if (it.value().cacheKey() != other.images.value(it.key()).cacheKey())
                return false;
        }
        return strHtml == other.strHtml && font == other.font && margin == other.margin &&
               width == other.width && palette == other.palette && ratio == other.ratio;
    }
};

namespace {

// Draws the document's pictures from those it was handed. Qt's own handler looks for a file
// named after the picture with "@2x" in the working folder when it paints at a scale above 1.
class PictureHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit PictureHandler(const BannerDocument* document) : m_pDocument(document) {}

    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
        const QTextImageFormat picture = format.toImageFormat();
        const QSizeF natural = Picture(picture).deviceIndependentSize();
        const bool hasWidth = picture.hasProperty(QTextFormat::ImageWidth);
        const bool hasHeight = picture.hasProperty(QTextFormat::ImageHeight);
        // As Qt sizes them: a side not given keeps the picture's proportions.
        QSizeF size(qRound(picture.width()), qRound(picture.height()));
        if (!hasWidth)
            size.setWidth(hasHeight && natural.height() > 0
                              ? qRound(size.height() * natural.width() / natural.height())
                              : natural.width());
        if (!hasHeight)
            size.setHeight(hasWidth && natural.width() > 0
                               ? qRound(size.width() * natural.height() / natural.width())
                               : natural.height());
        return size;
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override {
        const QImage image = Picture(format.toImageFormat());
        painter->drawImage(rect, image, image.rect());
    }

private:
    QImage Picture(const QTextImageFormat& format) const {
        return m_pDocument->images.value(QUrl(format.name()));
    }

    const BannerDocument* m_pDocument;
};

// Runs on a thread of its own: lays the page out as the view would and paints it.
BannerLayout::Picture PaintPage(const PageInput& input) {
    BannerDocument document;
    document.setUndoRedoEnabled(false);
    document.images = input.images;
    document.setDefaultFont(input.font);
    document.setDocumentMargin(input.margin);
    document.setHtml(input.strHtml);
    BannerFonts::Bound(document);
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    PictureHandler pictures(&document);
    layout->registerHandler(QTextFormat::ImageObject, &pictures);
    document.setTextWidth(input.width > 0 ? input.width : -1);

    BannerLayout::Picture picture;
    const QSizeF size = layout->documentSize();
    const qreal pixelsPerLine = std::max(1.0, std::ceil(size.width() * input.ratio));
    const qreal maxHeight = BannerLayout::kMaxPixels / pixelsPerLine / input.ratio;
    picture.size = QSizeF(size.width(), std::min(size.height(), std::floor(maxHeight)));
    picture.image =
        QImage((picture.size * input.ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (!picture.image.isNull()) {
        picture.image.setDevicePixelRatio(input.ratio);
        picture.image.fill(Qt::transparent);
        QPainter painter(&picture.image);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = input.palette;
        context.clip = QRectF(QPointF(0, 0), picture.size);
        layout->draw(&painter, context);
    }

    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QRectF bounds = layout->blockBoundingRect(block);
        picture.blocks.append(bounds);
        const QTextLayout* textLayout = block.layout();
        for (int i = 0; i < textLayout->lineCount(); ++i) {
            const QTextLine line = textLayout->lineAt(i);
            BannerLayout::Line placed{
                block.position() + line.textStart(), line.rect().translated(bounds.topLeft()), {}};
            for (int at = line.textStart(); at <= line.textStart() + line.textLength(); ++at)
                placed.xs.append(bounds.left() + line.cursorToX(at));
            picture.lines.append(std::move(placed));
        }
    }
    // The links' places, by those of the lines.
    const QList<TextLinkRun> runs = TextLinkRuns(document);
    picture.nRuns = int(runs.size());
    for (int i = 0; i < picture.nRuns; ++i) {
        // From the last line starting at or before the link, on while lines start within it.
        auto it = std::upper_bound(
            picture.lines.cbegin(), picture.lines.cend(), runs[i].nFrom,
            [](int position, const BannerLayout::Line& line) { return position < line.nStart; });
        if (it != picture.lines.cbegin())
            --it;
        for (; it != picture.lines.cend() && it->nStart < runs[i].nTo; ++it) {
            const BannerLayout::Line& line = *it;
            const int from = std::max(runs[i].nFrom, line.nStart);
            const int to = std::min(runs[i].nTo, line.End());
            if (from >= to)
                continue;
            const qreal x1 = line.xs[from - line.nStart];
            const qreal x2 = line.xs[to - line.nStart];
            picture.links.append(
                {QRectF(std::min(x1, x2), line.rect.top(), std::abs(x2 - x1), line.rect.height()),
                 i});
        }
    }
    picture.nChars = document.characterCount();
    return picture;
}

} // namespace

QVariant BannerDocument::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource)
        return {};
    const QImage image = images.value(name);
    if (!image.isNull())
        return image;
    // A picture that could not be had leaves a gap, not a broken-file symbol.
    QImage blank(1, 1, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    return blank;
}

BannerLayout::BannerLayout(BannerDocument* document)
    : QAbstractTextDocumentLayout(document), m_pDocument(document),
      m_palette(QGuiApplication::palette()) {}

void BannerLayout::documentChanged(int, int, int) {
    Schedule();
}

void BannerLayout::Schedule() {
    ++m_nGeneration;
    if (m_bScheduled)
        return;
    m_bScheduled = true;
    // One picture for a burst of changes, such as those of a new page.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bScheduled = false;
            Render();
        },
        Qt::QueuedConnection);
}

void BannerLayout::Render() {
    if (m_bBusy)
        return; // started again when the picture being made arrives
    auto input = std::make_shared<const PageInput>(PageInput{
        m_pDocument->toHtml(), m_pDocument->images, m_pDocument->defaultFont(),
        m_pDocument->documentMargin(), m_pDocument->pageSize().width(), m_palette, m_ratio});
    // A change that comes to the same page, such as the view setting the width it already had.
    if (m_pShownInput != nullptr && *m_pShownInput == *input) {
        m_nShown = m_nGeneration;
        emit PictureReady();
        return;
    }
    m_bBusy = true;
    auto* watcher = new QFutureWatcher<Picture>(this);
    connect(watcher, &QFutureWatcherBase::finished, this,
            [this, watcher, input, nGeneration = m_nGeneration] {
                watcher->deleteLater();
                m_bBusy = false;
                if (nGeneration != m_nGeneration) {
                    Render(); // the document changed meanwhile
                    return;
                }
                m_picture = watcher->result();
                m_pShownInput = input;
                m_runs = TextLinkRuns(*m_pDocument);
                m_nShown = nGeneration;
                emit documentSizeChanged(m_picture.size);
                emit update();
                emit PictureReady();
            });
    watcher->setFuture(QtConcurrent::run([input] {
        // Qt keeps the fonts a thread has used, with their glyphs, until the thread ends, and
        // glibc keeps what a thread has freed: the page is laid out on a thread that ends with
        // it, and what it used is handed back to the system.
        Picture picture;
        std::unique_ptr<QThread> thread(QThread::create([&] { picture = PaintPage(*input); }));
        thread->start();
        thread->wait();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
        return picture;
    }));
}

void BannerLayout::draw(QPainter* painter, const PaintContext& context) {
    const qreal ratio = painter->device()->devicePixelRatioF();
    if (ratio != m_ratio || context.palette != m_palette) {
        m_ratio = ratio;
        m_palette = context.palette;
        Schedule();
    }
    const QBrush background = m_pDocument->rootFrame()->frameFormat().background();
    if (background.style() != Qt::NoBrush && context.clip.isValid())
        painter->fillRect(context.clip, background);
    painter->drawImage(QPointF(0, 0), m_picture.image);

    for (const Selection& selection : context.selections) {
        const int from = selection.cursor.selectionStart();
        const int to = selection.cursor.selectionEnd();
        if (from == to)
            continue;
        const QVariant outline = selection.format.property(QTextFormat::OutlinePen);
        painter->save();
        if (outline.isValid()) {
            // The keyboard's place among the links.
            painter->setPen(qvariant_cast<QPen>(outline));
            painter->setBrush(Qt::NoBrush);
            for (const Link& link : m_picture.links) {
                if (link.nRun < m_runs.size() && m_runs[link.nRun].nFrom < to &&
                    from < m_runs[link.nRun].nTo)
                    painter->drawRect(link.rect.adjusted(0, 0, -1, -1));
            }
        } else if (PlacesKnown()) {
            // Over the picture, seen through: the page keeps its own colours.
            QColor ground = selection.format.background().color();
            ground.setAlpha(110);
            for (qsizetype i = 0; i < m_picture.lines.size(); ++i) {
                const Line& line = m_picture.lines[i];
                const int a = std::max(from, line.nStart);
                const int b = std::min(to, line.End());
                // A line that ends its paragraph also shows the paragraph's end selected.
                const bool wrapped =
                    i + 1 < m_picture.lines.size() && m_picture.lines[i + 1].nStart == line.End();
                const bool throughEnd = !wrapped && from <= line.End() && to > line.End();
                if (a >= b && !throughEnd)
                    continue;
                const qreal x1 = line.xs[a - line.nStart];
                const qreal x2 = throughEnd ? line.rect.right() : line.xs[b - line.nStart];
                painter->fillRect(QRectF(std::min(x1, x2), line.rect.top(), std::abs(x2 - x1),
                                         line.rect.height()),
                                  ground);
            }
        }
        painter->restore();
    }
    if (context.cursorPosition >= 0) {
        const QRectF caret = CursorRect(context.cursorPosition);
        if (!caret.isEmpty())
            painter->fillRect(caret, context.palette.color(QPalette::Text));
    }
}

int BannerLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const {
    if (!PlacesKnown()) {
        // Links alone, by the places of the last picture.
        if (m_picture.nRuns != m_runs.size())
            return -1;
        for (const Link& link : m_picture.links) {
            if (link.rect.contains(point))
                return m_runs[link.nRun].nFrom;
        }
        return -1;
    }
    // The line under the point, or for a fuzzy hit the nearest one.
    int nBest = -1;
    qreal bestDistance = 0;
    for (qsizetype i = 0; i < m_picture.lines.size(); ++i) {
        const QRectF& rect = m_picture.lines[i].rect;
        const qreal dy = std::max({rect.top() - point.y(), point.y() - rect.bottom(), 0.0});
        const qreal dx = std::max({rect.left() - point.x(), point.x() - rect.right(), 0.0});
        const qreal distance = dy * 1e6 + dx;
        if (nBest < 0 || distance < bestDistance) {
            nBest = int(i);
            bestDistance = distance;
        }
    }
    if (nBest < 0 || (accuracy == Qt::ExactHit && bestDistance > 0))
        return -1;
    const Line& line = m_picture.lines[nBest];
    if (accuracy == Qt::ExactHit) {
        for (qsizetype k = 0; k + 1 < line.xs.size(); ++k) {
            if (std::min(line.xs[k], line.xs[k + 1]) <= point.x() &&
                point.x() < std::max(line.xs[k], line.xs[k + 1]))
                return line.nStart + int(k);
        }
        return -1;
    }
    return PositionInLine(nBest, point.x());
}

int BannerLayout::LineIndex(int nPosition) const {
    if (!PlacesKnown())
        return -1;
    // The last line starting at or before the place.
    const auto it =
        std::upper_bound(m_picture.lines.cbegin(), m_picture.lines.cend(), nPosition,
                         [](int position, const Line& line) { return position < line.nStart; });
    if (it == m_picture.lines.cbegin())
        return -1;
    const int n = int(it - m_picture.lines.cbegin()) - 1;
    return nPosition <= m_picture.lines[n].End() ? n : -1;
}

int BannerLayout::PositionInLine(int nLine, qreal x) const {
    const Line& line = m_picture.lines[nLine];
    qsizetype nearest = 0;
    for (qsizetype k = 1; k < line.xs.size(); ++k) {
        if (std::abs(line.xs[k] - x) < std::abs(line.xs[nearest] - x))
            nearest = k;
    }
    return line.nStart + int(nearest);
}

bool BannerLayout::LineAt(int nPosition, int* pnStart, int* pnEnd) const {
    const int n = LineIndex(nPosition);
    if (n < 0)
        return false;
    *pnStart = m_picture.lines[n].nStart;
    *pnEnd = m_picture.lines[n].End();
    return true;
}

QRectF BannerLayout::CharacterRect(int nPosition) const {
    const int n = LineIndex(nPosition);
    if (n < 0 || nPosition >= m_picture.lines[n].End())
        return {};
    const Line& line = m_picture.lines[n];
    const qreal x1 = line.xs[nPosition - line.nStart];
    const qreal x2 = line.xs[nPosition - line.nStart + 1];
    return QRectF(std::min(x1, x2), line.rect.top(), std::abs(x2 - x1), line.rect.height());
}

QRectF BannerLayout::CursorRect(int nPosition) const {
    const int n = LineIndex(nPosition);
    if (n < 0)
        return {};
    const Line& line = m_picture.lines[n];
    return QRectF(line.xs[nPosition - line.nStart], line.rect.top(), 1, line.rect.height());
}

QRectF BannerLayout::frameBoundingRect(QTextFrame* frame) const {
    return frame == m_pDocument->rootFrame() ? QRectF(QPointF(0, 0), m_picture.size) : QRectF();
}

QRectF BannerLayout::blockBoundingRect(const QTextBlock& block) const {
    const int n = block.blockNumber();
    return n >= 0 && n < m_picture.blocks.size() ? m_picture.blocks[n] : QRectF();
}

#include "BannerLayout.moc"
