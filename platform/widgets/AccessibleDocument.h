// Text browsers as assistive tools see them: a document whose text is the page, read by line,
// word and character at a caret the keyboard moves, with the page's links as children. Qt's
// own description of a text browser is a label, which a screen reader reads by its name alone.
#pragma once

#include <QList>
#include <QRectF>

class QTextBrowser;
class QTextDocument;

// A link's characters: fragments next to each other in one block with the same target.
struct TextLinkRun {
    int nFrom;
    int nTo;
};
// The document's links, in order.
QList<TextLinkRun> TextLinkRuns(const QTextDocument& document);

// Where a document's lines lie, for a layout that keeps them itself rather than in the
// blocks' own text layouts (which then hold no lines).
class ITextLinePlaces {
public:
    // The line that holds nPosition: its first position and the one after its last character.
    // False when the places are not known (yet).
    virtual bool LineAt(int nPosition, int* pnStart, int* pnEnd) const = 0;
    // The character at nPosition, in the document's coordinates; empty when not known.
    virtual QRectF CharacterRect(int nPosition) const = 0;

protected:
    ~ITextLinePlaces() = default;
};

// Gives view the document's interface, finding its lines through its layout when that is an
// ITextLinePlaces. A link that receives the keyboard's mark is reported with a focus event of
// its own. Call before anything asks for the view's interface.
void MakeAccessibleDocument(QTextBrowser* view);
