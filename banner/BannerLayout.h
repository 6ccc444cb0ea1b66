// The banner page's document and its layout. Laying out text in another script makes Qt look
// for a font that has it, which can take tens of milliseconds per script; so the page is laid
// out and painted on the thread pool, into a picture, and the document the view holds only
// shows that picture. The document keeps the page's text and links, so the view still reads
// it to a screen reader, finds characters and links under the mouse, and draws the caret and
// the selection, all by the places the worker found.
#pragma once

#include "platform/widgets/AccessibleDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <memory>

struct PageInput;

// Loads nothing by itself: it shows only the pictures it was handed, whatever a name says, so a
// page cannot make the program read local files or devices.
class BannerDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

    QHash<QUrl, QImage> images;

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

class BannerLayout : public QAbstractTextDocumentLayout, public ITextLinePlaces {
    Q_OBJECT

public:
    // A page of more device pixels than this is cut at the bottom: bounds a long page's memory.
    static constexpr int kMaxPixels = 4 * 1024 * 1024;

    explicit BannerLayout(BannerDocument* document);

    // What a worker made of the document: its picture and where its links and blocks lie.
    struct Link {
        QRectF rect;
        int nRun; // the link's place among the document's links
    };
    // A line of text: the x of each place in it, from nStart to the place after its last
    // character.
    struct Line {
        int nStart;
        QRectF rect;
        QList<qreal> xs;
        int End() const { return nStart + int(xs.size()) - 1; }
    };
    struct Picture {
        QImage image;
        QSizeF size;
        QList<Link> links;
        QList<QRectF> blocks;
        QList<Line> lines; // in the order of the text
        int nRuns = 0;
        int nChars = 0; // of the document laid out
    };

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return m_picture.size; }
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

    // True once the document as it stands now has been painted.
    bool IsCurrent() const { return m_nShown == m_nGeneration; }

    bool LineAt(int nPosition, int* pnStart, int* pnEnd) const override;
    QRectF CharacterRect(int nPosition) const override;
    // The caret at nPosition; empty when the places are not known.
    QRectF CursorRect(int nPosition) const;
    // The line that holds nPosition (-1: none), and the place in a line nearest to x.
    int LineIndex(int nPosition) const;
    int LineCount() const { return PlacesKnown() ? int(m_picture.lines.size()) : 0; }
    QRectF LineRect(int nLine) const { return m_picture.lines[nLine].rect; }
    int PositionInLine(int nLine, qreal x) const;

signals:
    void PictureReady();

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    // The places were found for the document as it stands.
    bool PlacesKnown() const {
        return IsCurrent() && m_picture.nChars == m_pDocument->characterCount();
    }
    // A new picture, made from the document as it stands when the event loop comes back.
    void Schedule();
    void Render();

    BannerDocument* m_pDocument;
    Picture m_picture;
    std::shared_ptr<const PageInput> m_pShownInput; // what m_picture was made of
    QList<TextLinkRun> m_runs; // the links of the document as it stands, in order
    QPalette m_palette;
    qreal m_ratio = 1;
    int m_nGeneration = 0;
    int m_nShown = -1;
    bool m_bScheduled = false;
    bool m_bBusy = false;
};
