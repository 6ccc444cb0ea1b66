// How the file list shows what does not fit: long paths cut in their folder part, label tips
// for rows cut by their column, the frame's edges at fractional scale factors, and where the
// keyboard focus is.
#include "listview/CFlatListCtrl.h"

#include "platform/widgets/Contrast.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QStyleOptionViewItem>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// A path cut to width: in the middle of its folder part, so the end of the file's name (the
// part number of "movie.mkv.012") stays in sight; the name's end alone when even that is long.
QString ElidePath(const QFontMetrics& fm, const QString& path, int width) {
    if (fm.horizontalAdvance(path) <= width)
        return path;
    const qsizetype nameStart =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
    const QString name = path.mid(nameStart);
    const int room = width - fm.horizontalAdvance(name);
    if (nameStart > 0 && room > 2 * fm.horizontalAdvance(QChar(0x2026))) {
        const QString cut = fm.elidedText(path.left(nameStart), Qt::ElideMiddle, room) + name;
        if (fm.horizontalAdvance(cut) <= width)
            return cut;
    }
    return fm.elidedText(path, Qt::ElideLeft, width);
}

// The width the style gives a cell's text, less what it keeps clear at each end.
int TextRoom(const QStyleOptionViewItem& opt) {
    const QWidget* widget = opt.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    return textRect.width() - 2 * margin;
}

} // namespace

QString CFlatListCtrl::ShownText(int nRow, int nColumn) const {
    const QModelIndex index = model()->index(nRow, nColumn);
    if (!index.isValid())
        return {};
    // The text's room is laid out as the style lays out a painted cell.
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.index = index;
    opt.rect = visualRect(index);
    opt.text = index.data(Qt::DisplayRole).toString();
    opt.features |= QStyleOptionViewItem::HasDisplay;
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull()) {
        opt.icon = icon;
        opt.features |= QStyleOptionViewItem::HasDecoration;
    }
    return ElidePath(opt.fontMetrics, opt.text, TextRoom(opt));
}

bool CFlatListCtrl::IsCellTextCut(int nRow, int nColumn) const {
    return ShownText(nRow, nColumn) != model()->index(nRow, nColumn).data().toString();
}

bool CFlatListCtrl::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && IsCellTextCut(index.row(), index.column()))
            QToolTip::showText(help->globalPos(), index.data(Qt::DisplayRole).toString(),
                               viewport(), visualRect(index));
        else
            QToolTip::hideText();
        return true;
    }
    return QTableWidget::viewportEvent(e);
}

void CFlatListCtrl::RedrawClippedFrameEdges() {
    // At a fractional scale factor the list may start part-way into a device pixel. The
    // style's top or left frame line then falls into the pixel before the list's first
    // whole one and is clipped away, leaving the header flush against the window. Those
    // edges are drawn again, moved onto the first whole pixel.
    const int frame = frameWidth();
    if (frame <= 0)
        return;
    QPainter p(this);
    const qreal dpr = devicePixelRatioF();
    const QPointF origin = p.deviceTransform().map(QPointF(0, 0));
    const qreal dx = (std::ceil(origin.x() - 1e-6) - origin.x()) / dpr;
    const qreal dy = (std::ceil(origin.y() - 1e-6) - origin.y()) / dpr;
    if (dy > 1e-6) {
        p.save();
        p.setClipRect(QRectF(0, 0, width(), frame + dy));
        p.translate(0, dy);
        drawFrame(&p);
        p.restore();
    }
    if (dx > 1e-6) {
        p.setClipRect(QRectF(0, 0, frame + dx, height()));
        p.translate(dx, 0);
        drawFrame(&p);
    }
}

namespace {

// The selection's ground, darkened or lightened where the selected text would not read on it
// at 4.5:1 (Qt's own light palette draws white on #308cc6: 3.69:1).
QPalette ReadableSelection(QPalette pal) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Highlight,
                     ReadableOn(pal.color(group, QPalette::Highlight),
                                pal.color(group, QPalette::HighlightedText)));
    }
    return pal;
}

// Rows show their paths cut as above. The style's own focus rectangle is faint on a selected
// row; the list draws its own.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.state &= ~QStyle::State_HasFocus;
        opt.text = ElidePath(opt.fontMetrics, opt.text, TextRoom(opt));
        opt.textElideMode = Qt::ElideLeft;
        // Found again only when the list's palette changes: this runs for every cell painted.
        if (opt.palette.cacheKey() != m_nPaletteKey) {
            m_nPaletteKey = opt.palette.cacheKey();
            m_readable = ReadableSelection(opt.palette);
        }
        opt.palette = m_readable;
        const QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    }

private:
    mutable qint64 m_nPaletteKey = -1;
    mutable QPalette m_readable;
};

} // namespace

void CFlatListCtrl::InstallFocusPainting() {
    setItemDelegate(new RowDelegate(this));
}

QRect CFlatListCtrl::FocusFrameRect() const {
    if (rowCount() == 0)
        return viewport()->rect().adjusted(1, 1, -2, -2);
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return {};
    // Inside the grid lines, which take the row's last pixels.
    return GetRowRect(current.row()).adjusted(1, 1, -2, -2);
}

void CFlatListCtrl::paintEvent(QPaintEvent* e) {
    QTableWidget::paintEvent(e);
    if (!hasFocus())
        return;
    const QRect frame = FocusFrameRect();
    if (frame.isEmpty())
        return;
    const bool bSelected = rowCount() > 0 && IsRowSelected(currentIndex().row());
    const QColor ground =
        ReadableSelection(palette()).color(bSelected ? QPalette::Highlight : QPalette::Base);
    QPainter p(viewport());
    p.setPen(FocusFrameColour(ground));
    p.drawRect(frame);
}
