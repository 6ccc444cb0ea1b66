#include "app/MenuBar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionMenuItem>

// The file list claims F10 with every other plain key, so it is caught before any widget of
// the window sees it.
class MenuBar::F10Filter : public QObject {
public:
    explicit F10Filter(MenuBar* bar) : QObject(bar), m_pBar(bar) { qApp->installEventFilter(this); }
    ~F10Filter() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F10 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (static_cast<QWidget*>(watched)->window() != m_pBar->window() || !m_pBar->isVisible() ||
            !m_pBar->isEnabled())
            return false;
        m_pBar->ToggleKeyboardMode();
        return true;
    }

private:
    MenuBar* m_pBar;
};

namespace {

// An Alt key event as the window system delivers it: reporting the Alt modifier. Qt flips
// the modifier of a modifier key's own event, so the one that reads right is chosen.
void SendAltKey(QWidget* receiver, QEvent::Type type) {
    for (Qt::KeyboardModifiers given : {Qt::NoModifier, Qt::AltModifier}) {
        QKeyEvent event(type, Qt::Key_Alt, given);
        if ((event.modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier) {
            QCoreApplication::sendEvent(receiver, &event);
            return;
        }
    }
}

} // namespace

MenuBar::MenuBar(QWidget* parent) : QMenuBar(parent) {
    new F10Filter(this); // a child: it goes with the bar
}

MenuBar::~MenuBar() = default;

bool MenuBar::IsInKeyboardMode() const {
    return hasFocus() && activeAction() != nullptr && QApplication::activePopupWidget() == nullptr;
}

void MenuBar::ToggleKeyboardMode() {
    // Qt's menu bar has a keyboard mode of its own, entered by a tap of Alt; F10 takes the
    // same road, so arrows, Enter, Esc and the return of the focus behave alike.
    QWidget* top = window();
    SendAltKey(top, QEvent::ShortcutOverride);
    SendAltKey(top, QEvent::KeyRelease);
}

void MenuBar::paintEvent(QPaintEvent* event) {
    QMenuBar::paintEvent(event);
    // Some styles (Fusion among them) highlight a title only while its menu is open, which
    // leaves the keyboard on the bar with nothing to show where it is.
    if (!IsInKeyboardMode())
        return;
    QAction* action = activeAction();
    QStyleOptionMenuItem opt;
    initStyleOption(&opt, action);
    opt.rect = actionGeometry(action);
    opt.state |= QStyle::State_Selected | QStyle::State_Sunken | QStyle::State_HasFocus;
    QPainter p(this);
    p.setClipRect(opt.rect);
    style()->drawControl(QStyle::CE_MenuBarItem, &opt, &p, this);
}
