// Line edits as assistive tools see them: Qt's own description with its text boundaries found
// by bounded code. Qt 6.4's never returns when asked for the word at a place where no word
// starts (a path starting with "/"), which screen readers ask whenever the caret moves by
// word; that froze the program for good. Covers every QLineEdit of the process, the ones in
// Qt's file dialogs and spin boxes included.
#pragma once

#include <QAccessible>
#include <QList>
#include <QString>

void InstallAccessibleLineEdits();

// The places where text items of this kind begin or end in a text that is not empty, its start
// and end included: one pass forward, each step further on. A line or paragraph is the whole
// text.
QList<int> TextItemEdges(const QString& text, QAccessible::TextBoundaryType type);
// The item between two of edges (ascending, the text's start and end included) that holds
// offset (the last one at the text's end), or with step -1 or 1 the one before or after it;
// startOffset and endOffset are left as they are when there is none.
QString TextItemBetween(const QString& text, const QList<int>& edges, int offset, int step,
                        int* startOffset, int* endOffset);

// A text interface whose items before, at and after an offset (-1: the end, -2: the caret) are
// one lookup, by step: -1 the item before the one at offset, 0 that one, 1 the one after it.
class SteppedTextInterface : public QAccessibleTextInterface {
public:
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override {
        return Item(offset, type, -1, startOffset, endOffset);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override {
        return Item(offset, type, 0, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override {
        return Item(offset, type, 1, startOffset, endOffset);
    }

protected:
    virtual QString Item(int offset, QAccessible::TextBoundaryType type, int step, int* startOffset,
                         int* endOffset) const = 0;
};
