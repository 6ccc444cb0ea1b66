#include "platform/widgets/AccessibleDocument.h"

#include "platform/widgets/AccessibleLineEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const char* const kDocumentProperty = "vantrelAccessibleDocument";

// Lines as Qt's own layout keeps them, in each block's text layout.
class BlockLinePlaces final : public ITextLinePlaces {
public:
    explicit BlockLinePlaces(const QTextDocument* document) : m_pDocument(document) {}

    bool LineAt(int nPosition, int* pnStart, int* pnEnd) const override {
        const QTextBlock block = m_pDocument->findBlock(nPosition);
        const QTextLine line = LineOf(block, nPosition);
        if (!line.isValid())
            return false;
        *pnStart = block.position() + line.textStart();
        *pnEnd = *pnStart + line.textLength();
        return true;
    }
    QRectF CharacterRect(int nPosition) const override {
        const QTextBlock block = m_pDocument->findBlock(nPosition);
        const QTextLine line = LineOf(block, nPosition);
        if (!line.isValid())
            return {};
        const int at = nPosition - block.position();
        const qreal x1 = line.cursorToX(at);
        const qreal x2 = line.cursorToX(at + 1);
        return QRectF(std::min(x1, x2), line.y(), std::abs(x2 - x1), line.height())
            .translated(m_pDocument->documentLayout()->blockBoundingRect(block).topLeft());
    }

private:
    static QTextLine LineOf(const QTextBlock& block, int nPosition) {
        const QTextLayout* layout = block.isValid() ? block.layout() : nullptr;
        return layout != nullptr ? layout->lineForTextPosition(nPosition - block.position())
                                 : QTextLine();
    }

    const QTextDocument* m_pDocument;
};

// Words as screen readers take them in a page: each from its start to the next one's, with
// the spaces and marks between them.
QList<int> WordStarts(const QString& text) {
    QList<int> edges{0};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    while (finder.toNextBoundary() > 0 && finder.position() < text.size()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            edges.append(finder.position());
    }
    edges.append(int(text.size()));
    return edges;
}

class AccessibleDocument;

// The page's link at one place among its links. The object outlives the pages shown: a screen
// reader still holding it after a link was followed finds it alive, as the next page's link
// there or, past that page's links, empty.
class LinkAccessible : public QAccessibleInterface {
public:
    LinkAccessible(AccessibleDocument* document, int nIndex)
        : m_pDocument(document), m_nIndex(nIndex) {}

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Link; }
    QAccessible::State state() const override;

private:
    AccessibleDocument* m_pDocument;
    int m_nIndex;
};

class AccessibleDocument : public QAccessibleWidget, public SteppedTextInterface {
public:
    explicit AccessibleDocument(QTextBrowser* view)
        : QAccessibleWidget(view, QAccessible::Document) {}
    ~AccessibleDocument() override {
        for (const QAccessible::Id id : std::as_const(m_linkIds))
            QAccessible::deleteAccessibleInterface(id);
    }

    QTextBrowser* View() const { return static_cast<QTextBrowser*>(widget()); }
    const QTextDocument* Document() const { return View()->document(); }
    QString PlainText() const { return Document()->toPlainText(); } // a character per place

    void PageChanged() { m_bRunsStale = true; }
    const QList<TextLinkRun>& Links() const {
        if (m_bRunsStale) {
            m_runs = TextLinkRuns(*Document());
            m_bRunsStale = false;
        }
        return m_runs;
    }
    // The link the keyboard has marked (its whole text selected), or -1.
    int MarkedLink() const {
        const QTextCursor cursor = View()->textCursor();
        if (!cursor.hasSelection())
            return -1;
        const QList<TextLinkRun>& runs = Links();
        for (qsizetype i = 0; i < runs.size(); ++i) {
            if (runs[i].nFrom == cursor.selectionStart() && runs[i].nTo == cursor.selectionEnd())
                return int(i);
        }
        return -1;
    }
    QAccessibleInterface* Link(int nIndex) const {
        while (m_linkIds.size() <= nIndex) {
            auto* link =
                new LinkAccessible(const_cast<AccessibleDocument*>(this), int(m_linkIds.size()));
            m_linkIds.append(QAccessible::registerAccessibleInterface(link));
        }
        return QAccessible::accessibleInterface(m_linkIds[nIndex]);
    }
    // Characters from..to on the screen.
    QRect RangeRect(int nFrom, int nTo) const {
        QRectF rect;
        for (int i = nFrom; i < nTo; ++i)
            rect |= Places().CharacterRect(i);
        return ToScreen(rect);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        s.focusable = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    // The children are the page's links.
    int childCount() const override { return int(Links().size()); }
    QAccessibleInterface* child(int index) const override {
        return index >= 0 && index < childCount() ? Link(index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (qsizetype i = 0; i < m_linkIds.size() && i < childCount(); ++i) {
            if (QAccessible::accessibleInterface(m_linkIds[i]) == child)
                return int(i);
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (Link(i)->rect().contains(x, y))
                return Link(i);
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const int nLink = View()->hasFocus() ? MarkedLink() : -1;
        return nLink >= 0 ? Link(nLink) : nullptr;
    }

    // Text.
    QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }
    QString text(int startOffset, int endOffset) const override {
        return startOffset > endOffset ? QString()
                                       : PlainText().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return std::max(Document()->characterCount() - 1, 0); }
    int cursorPosition() const override { return View()->textCursor().position(); }
    void setCursorPosition(int position) override { setSelection(0, position, position); }
    int selectionCount() const override { return View()->textCursor().hasSelection() ? 1 : 0; }
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        const QTextCursor cursor = View()->textCursor();
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && cursor.hasSelection()) {
            *startOffset = cursor.selectionStart();
            *endOffset = cursor.selectionEnd();
        }
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex != 0)
            return;
        const int n = characterCount();
        QTextCursor cursor = View()->textCursor();
        cursor.setPosition(std::clamp(startOffset, 0, n));
        cursor.setPosition(std::clamp(endOffset, 0, n), QTextCursor::KeepAnchor);
        View()->setTextCursor(cursor);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0)
            setSelection(0, cursorPosition(), cursorPosition());
    }
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0; // read as plain text: one run
        *endOffset = characterCount();
        return {};
    }
    QRect characterRect(int offset) const override {
        return ToScreen(Places().CharacterRect(offset));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return View()->cursorForPosition(View()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        setSelection(0, endIndex, endIndex);
        setSelection(0, startIndex, startIndex);
    }

private:
    const ITextLinePlaces& Places() const {
        if (const auto* places = dynamic_cast<const ITextLinePlaces*>(Document()->documentLayout()))
            return *places;
        m_blockPlaces = BlockLinePlaces(Document());
        return m_blockPlaces;
    }
    QRect ToScreen(const QRectF& rect) const {
        if (rect.height() <= 0)
            return {}; // not known
        const QPointF scrolled(View()->horizontalScrollBar()->value(),
                               View()->verticalScrollBar()->value());
        const QRect shown = rect.translated(-scrolled).toAlignedRect();
        return QRect(View()->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    }
    // A line runs on to the next one's start: through its block's end, where it is the last.
    bool LineItemAt(int nPosition, int* pnStart, int* pnEnd) const {
        if (!Places().LineAt(nPosition, pnStart, pnEnd))
            return false;
        const QTextBlock block = Document()->findBlock(*pnStart);
        const int nBlockEnd = block.position() + block.length() - 1;
        if (*pnEnd >= nBlockEnd)
            *pnEnd = std::min(nBlockEnd + 1, characterCount());
        return true;
    }
    QList<int> ParagraphEdges() const {
        QList<int> edges;
        for (QTextBlock block = Document()->begin(); block.isValid(); block = block.next())
            edges.append(block.position());
        edges.append(characterCount());
        return edges;
    }
    QString Item(int offset, QAccessible::TextBoundaryType type, int step, int* startOffset,
                 int* endOffset) const override {
        *startOffset = *endOffset = -1;
        const QString shown = PlainText();
        const int n = int(shown.size());
        offset = offset == -1 ? n : offset == -2 ? cursorPosition() : offset;
        if (shown.isEmpty() || offset < 0 || offset > n)
            return {};
        if (type == QAccessible::LineBoundary) {
            int from = 0;
            int to = 0;
            if (!LineItemAt(std::min(offset, n - 1), &from, &to) ||
                (step < 0 && (from == 0 || !LineItemAt(from - 1, &from, &to))) ||
                (step > 0 && (to >= n || !LineItemAt(to, &from, &to))))
                return {};
            *startOffset = from;
            *endOffset = to;
            return shown.mid(from, to - from);
        }
        const QList<int> edges = type == QAccessible::ParagraphBoundary ? ParagraphEdges()
                                 : type == QAccessible::WordBoundary    ? WordStarts(shown)
                                                                     : TextItemEdges(shown, type);
        return TextItemBetween(shown, edges, offset, step, startOffset, endOffset);
    }

    mutable QList<TextLinkRun> m_runs;
    mutable bool m_bRunsStale = true;
    mutable QList<QAccessible::Id> m_linkIds; // by place among the links; never fewer
    mutable BlockLinePlaces m_blockPlaces{nullptr};
};

bool LinkAccessible::isValid() const {
    return m_pDocument->isValid();
}

QWindow* LinkAccessible::window() const {
    return m_pDocument->window();
}

QAccessibleInterface* LinkAccessible::parent() const {
    return m_pDocument;
}

QString LinkAccessible::text(QAccessible::Text t) const {
    const QList<TextLinkRun>& runs = m_pDocument->Links();
    if (t != QAccessible::Name || m_nIndex >= runs.size())
        return {};
    return m_pDocument->text(runs[m_nIndex].nFrom, runs[m_nIndex].nTo);
}

QRect LinkAccessible::rect() const {
    const QList<TextLinkRun>& runs = m_pDocument->Links();
    return m_nIndex < runs.size() ? m_pDocument->RangeRect(runs[m_nIndex].nFrom, runs[m_nIndex].nTo)
                                  : QRect();
}

QAccessible::State LinkAccessible::state() const {
    QAccessible::State s;
    s.focusable = true;
    s.linked = true;
    s.invisible = m_nIndex >= m_pDocument->Links().size();
    s.focused = m_pDocument->focusChild() == this;
    return s;
}

AccessibleDocument* DocumentOf(QTextBrowser* view) {
    return dynamic_cast<AccessibleDocument*>(QAccessible::queryAccessibleInterface(view));
}

QAccessibleInterface* DocumentFactory(const QString& className, QObject* object) {
    auto* view = qobject_cast<QTextBrowser*>(object);
    // Asked for each class of the object from its own down: answered at the first.
    if (view == nullptr || !view->property(kDocumentProperty).toBool() ||
        className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    return new AccessibleDocument(view);
}

// Tells a screen reader of the link the keyboard marks. Qt moves the mark (Tab, Shift+Tab)
// without any signal, so the view is looked at after each key it is given.
class LinkMarkWatch : public QObject {
public:
    explicit LinkMarkWatch(QTextBrowser* view) : QObject(view), m_pView(view) {
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !QAccessible::isActive())
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (m_lastMark.first >= 0 && key != Qt::Key_Tab && key != Qt::Key_Backtab &&
            key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt &&
            key != Qt::Key_Meta) {
            // Off the link: the page has the focus again, before its caret moves, or a reader
            // that follows the focus would take the caret for another object's.
            m_lastMark = {-1, -1};
            QAccessibleEvent focus(m_pView, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
        QMetaObject::invokeMethod(this, &LinkMarkWatch::Look, Qt::QueuedConnection);
        return false;
    }

private:
    void Look() {
        AccessibleDocument* document = DocumentOf(m_pView);
        const int nLink = document != nullptr && m_pView->hasFocus() ? document->MarkedLink() : -1;
        const QTextCursor cursor = m_pView->textCursor();
        const std::pair mark{cursor.anchor(), cursor.position()};
        if (nLink >= 0 && mark != m_lastMark) {
            QAccessibleEvent focus(document->Link(nLink), QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
        m_lastMark = nLink >= 0 ? mark : std::pair{-1, -1};
    }

    QTextBrowser* m_pView;
    std::pair<int, int> m_lastMark{-1, -1}; // of the link last told of
};

} // namespace

QList<TextLinkRun> TextLinkRuns(const QTextDocument& document) {
    QList<TextLinkRun> runs;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString previous;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString href = fragment.charFormat().anchorHref();
            const int to = fragment.position() + fragment.length();
            if (!href.isEmpty() && href == previous && runs.last().nTo == fragment.position())
                runs.last().nTo = to;
            else if (!href.isEmpty())
                runs.append({fragment.position(), to});
            previous = href;
        }
    }
    return runs;
}

void MakeAccessibleDocument(QTextBrowser* view) {
    static const bool s_bInstalled = [] {
        QAccessible::installFactory(DocumentFactory);
        return true;
    }();
    Q_UNUSED(s_bInstalled);
    view->setProperty(kDocumentProperty, true);
    // Qt may have made its own interface already.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(view);
    if (iface != nullptr && dynamic_cast<AccessibleDocument*>(iface) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    // A caret the arrow keys move, rather than the page scrolling under them.
    view->setTextInteractionFlags(view->textInteractionFlags() | Qt::TextSelectableByKeyboard);
    QObject::connect(view, &QTextEdit::textChanged, view, [view] {
        if (AccessibleDocument* document = DocumentOf(view))
            document->PageChanged();
    });
    new LinkMarkWatch(view);
}
