#include "platform/widgets/AccessibleLineEdit.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QTextBoundaryFinder>
#include <QValidator>

#include <algorithm>

QList<int> TextItemEdges(const QString& text, QAccessible::TextBoundaryType type) {
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary ||
        type == QAccessible::NoBoundary)
        return {0, int(text.size())}; // one line
    QTextBoundaryFinder finder(type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                               : type == QAccessible::SentenceBoundary
                                   ? QTextBoundaryFinder::Sentence
                                   : QTextBoundaryFinder::Grapheme,
                               text);
    QList<int> edges{0};
    while (finder.toNextBoundary() > 0) {
        if (finder.position() == text.size() ||
            (finder.boundaryReasons() &
             (QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem)))
            edges.append(finder.position());
    }
    return edges; // the text's end is always a boundary
}

QString TextItemBetween(const QString& text, const QList<int>& edges, int offset, int step,
                        int* startOffset, int* endOffset) {
    // The item that holds offset; at the very end, the last one.
    qsizetype i = std::upper_bound(edges.cbegin(), edges.cend(), offset) - edges.cbegin() - 1;
    i = std::min(i, edges.size() - 2) + step;
    if (i < 0 || i + 1 >= edges.size())
        return {};
    *startOffset = edges[i];
    *endOffset = edges[i + 1];
    return text.mid(*startOffset, *endOffset - *startOffset);
}

namespace {

class AccessibleLineEdit : public QAccessibleWidget,
                           public SteppedTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit AccessibleLineEdit(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {
        addControllingSignal(QStringLiteral("textChanged(const QString&)"));
        addControllingSignal(QStringLiteral("returnPressed()"));
    }

    QString text(QAccessible::Text t) const override {
        QString value;
        if (t == QAccessible::Value && Edit()->echoMode() == QLineEdit::Normal)
            value = Edit()->text();
        else if (t == QAccessible::Value && Edit()->echoMode() != QLineEdit::NoEcho)
            value = QString(Edit()->text().size(), QLatin1Char('*'));
        if (value.isEmpty())
            value = QAccessibleWidget::text(t);
        if (value.isEmpty() && t == QAccessible::Description)
            value = Edit()->placeholderText();
        return value;
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t != QAccessible::Value)
            return QAccessibleWidget::setText(t, text);
        QString checked = text;
        int pos = 0;
        if (Edit()->validator() == nullptr ||
            Edit()->validator()->validate(checked, pos) == QValidator::Acceptable)
            Edit()->setText(checked);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.readOnly = Edit()->isReadOnly();
        s.passwordEdit = Edit()->echoMode() != QLineEdit::Normal;
        s.selectableText = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // Text.
    QString text(int startOffset, int endOffset) const override {
        if (startOffset > endOffset || Edit()->echoMode() != QLineEdit::Normal)
            return {};
        return Edit()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(Edit()->text().size()); }
    int cursorPosition() const override { return Edit()->cursorPosition(); }
    void setCursorPosition(int position) override { Edit()->setCursorPosition(position); }
    int selectionCount() const override { return Edit()->hasSelectedText() ? 1 : 0; }
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && Edit()->hasSelectedText()) {
            *startOffset = Edit()->selectionStart();
            *endOffset = Edit()->selectionEnd();
        }
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex == 0)
            Edit()->setSelection(startOffset, endOffset - startOffset);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0)
            Edit()->deselect();
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset; // a line edit has one format
        return {};
    }
    QRect characterRect(int offset) const override {
        const QString ch = text(offset, offset + 1);
        if (ch.isEmpty())
            return {};
        // Measured from the caret, which Qt places with the text's scrolling applied.
        const QFontMetrics metrics(Edit()->font());
        const QRect caret = Edit()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QString shown = Edit()->text();
        const int x = caret.x() + metrics.horizontalAdvance(shown.left(offset)) -
                      metrics.horizontalAdvance(shown.left(Edit()->cursorPosition()));
        return QRect(Edit()->mapToGlobal(QPoint(x, caret.y())),
                     QSize(metrics.horizontalAdvance(ch), metrics.height()));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Edit()->cursorPositionAt(Edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        Edit()->setCursorPosition(endIndex);
        Edit()->setCursorPosition(startIndex);
    }

    // Editable text.
    void deleteText(int startOffset, int endOffset) override {
        Edit()->setText(Edit()->text().remove(startOffset, endOffset - startOffset));
    }
    void insertText(int offset, const QString& text) override {
        Edit()->setText(Edit()->text().insert(offset, text));
    }
    void replaceText(int startOffset, int endOffset, const QString& text) override {
        Edit()->setText(Edit()->text().replace(startOffset, endOffset - startOffset, text));
    }

private:
    QLineEdit* Edit() const { return static_cast<QLineEdit*>(widget()); }

    QString Item(int offset, QAccessible::TextBoundaryType type, int step, int* startOffset,
                 int* endOffset) const override {
        *startOffset = *endOffset = -1;
        const QString shown = text(0, characterCount());
        if (offset == -1)
            offset = int(shown.size());
        else if (offset == -2)
            offset = cursorPosition();
        if (shown.isEmpty() || offset < 0 || offset > shown.size())
            return {};
        return TextItemBetween(shown, TextItemEdges(shown, type), offset, step, startOffset,
                               endOffset);
    }
};

QAccessibleInterface* LineEditFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("QLineEdit") && object != nullptr && object->isWidgetType())
        return new AccessibleLineEdit(static_cast<QLineEdit*>(object));
    return nullptr;
}

} // namespace

void InstallAccessibleLineEdits() {
    static const bool s_bInstalled = [] {
        QAccessible::installFactory(LineEditFactory);
        return true;
    }();
    Q_UNUSED(s_bInstalled);
}
