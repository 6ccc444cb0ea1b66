#include "banner/CStaticLink.h"

#include "platform/widgets/AccessiblePress.h"
#include "platform/widgets/Contrast.h"
#include "platform/widgets/DlgItem.h"
#include "platform/widgets/ShellOpen.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

const QColor CStaticLink::s_crUnvisited(0, 0, 255);
const QColor CStaticLink::s_crVisited(128, 0, 128);
std::optional<QCursor> CStaticLink::s_hHandCursor;
bool CStaticLink::s_bHandCursorTried = false;

CStaticLink::CStaticLink(const QString& lpText, bool bDeleteOnDestroy)
    : m_strTarget(lpText), m_crText(s_crUnvisited), m_bSelfDelete(bDeleteOnDestroy) {}

CStaticLink::~CStaticLink() {
    if (m_pWnd != nullptr) {
        m_pWnd->removeEventFilter(this);
        m_pWnd->unsetCursor();
    }
}

void CStaticLink::ResetHandCursorForTesting() {
    s_hHandCursor.reset();
    s_bHandCursorTried = false;
}

bool CStaticLink::SubclassDlgItem(UINT nID, QWidget* pParent) {
    auto* label = qobject_cast<QLabel*>(GetDlgItem(pParent, int(nID)));
    if (label == nullptr || m_pWnd != nullptr)
        return false;
    m_pWnd = label;
    label->installEventFilter(this);
    label->setMouseTracking(true); // the cursor is set as the mouse moves over it
    // Reached with Tab and opened with Enter or Space, as with the mouse.
    label->setFocusPolicy(Qt::TabFocus);
    QPointer<CStaticLink> self = this;
    SetDeferredAccessiblePress(label, QAccessible::Link, [self] {
        if (self && self->m_pWnd)
            self->OnLButtonDown();
    });
    connect(label, &QObject::destroyed, this, [this] {
        m_pWnd = nullptr;
        PostNcDestroy();
    });
    label->update();
    return true;
}

void CStaticLink::PostNcDestroy() {
    if (m_bSelfDelete)
        delete this;
}

bool CStaticLink::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_pWnd)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        return CtlColor();
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OnLButtonDown();
            return true;
        }
        return false;
    case QEvent::Enter:
    case QEvent::MouseMove:
        OnSetCursor();
        return false;
    case QEvent::KeyPress: {
        const auto* k = static_cast<QKeyEvent*>(event);
        const bool bPlain = (k->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (bPlain && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter ||
                       k->key() == Qt::Key_Space)) {
            if (!k->isAutoRepeat())
                OnLButtonDown();
            return true;
        }
        return false;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        m_pWnd->update();
        return false;
    default:
        return false;
    }
}

bool CStaticLink::CtlColor() {
    QLabel* label = m_pWnd;
    // Pictures and frames keep their own look.
    if (!label->pixmap().isNull() || label->frameShape() != QFrame::NoFrame)
        return false;
    if (!m_fontLink) {
        QFont font = label->font();
        font.setUnderline(true);
        m_fontLink = font;
    }
    // No background is drawn: the dialog shows through.
    QPainter painter(label);
    painter.setFont(*m_fontLink);
    const QColor colour = DisplayColour();
    painter.setPen(colour);
    int flags = int(label->alignment());
    if (label->wordWrap())
        flags |= Qt::TextWordWrap;
    QRect textRect;
    painter.drawText(label->contentsRect(), flags, label->text(), &textRect);
    if (label->hasFocus()) {
        painter.drawRect(
            textRect.adjusted(-2, 0, 1, -1).intersected(label->rect().adjusted(0, 0, -1, -1)));
    }
    return true;
}

QColor CStaticLink::DisplayColour() const {
    // Blue and purple are kept on light windows; a dark one has its own link colours, which
    // must still read on it.
    const QPalette pal = m_pWnd->palette();
    if (!IsDarkPalette(pal))
        return m_crText;
    const QColor own = pal.color(m_crText == s_crVisited ? QPalette::LinkVisited : QPalette::Link);
    return ReadableOn(own, pal.color(QPalette::Window));
}

void CStaticLink::OnLButtonDown() {
    if (m_strTarget.isEmpty())
        m_strTarget = m_pWnd->text();
    if (m_strTarget.isEmpty())
        return;
    const INT_PTR result = ShellExecute(nullptr, QStringLiteral("open"), m_strTarget, QString(),
                                        QString(), SW_SHOWNORMAL);
    if (result > 32) {
        m_crText = s_crVisited;
        m_pWnd->update();
    } else {
        MessageBeep(0);
    }
}

bool CStaticLink::OnSetCursor() {
    if (!s_hHandCursor && !s_bHandCursorTried) {
        s_hHandCursor = LoadHandCursor();
        s_bHandCursorTried = true;
    }
    if (!s_hHandCursor)
        return false;
    m_pWnd->setCursor(*s_hHandCursor);
    return true;
}
