#include "platform/widgets/AccessiblePress.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QLabel>
#include <QPointer>

namespace {

// Kept as a child of the widget, so it lives and dies with it.
class PressHolder : public QObject {
public:
    PressHolder(QWidget* w, QAccessible::Role role, std::function<void()> onPress)
        : QObject(w), m_role(role), m_onPress(std::move(onPress)) {
        setObjectName(QStringLiteral("accessiblePress"));
    }
    QAccessible::Role m_role;
    std::function<void()> m_onPress;
};

class DeferredPressAccessible : public QAccessibleWidget {
public:
    DeferredPressAccessible(QWidget* w, PressHolder* holder)
        : QAccessibleWidget(w, holder->m_role), m_pHolder(holder) {}

    QString text(QAccessible::Text t) const override {
        QString value = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !value.isEmpty())
            return value;
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget()))
            return QString(button->text()).remove(QLatin1Char('&'));
        if (const auto* label = qobject_cast<const QLabel*>(widget()))
            return label->text();
        return value;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget())) {
            s.pressed = button->isDown();
            s.checkable = button->isCheckable();
            s.checked = button->isChecked();
        }
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& actionName) override {
        if (actionName != pressAction()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        if (!widget()->isEnabled() || !m_pHolder)
            return;
        QPointer<PressHolder> holder = m_pHolder;
        QMetaObject::invokeMethod(
            widget(),
            [holder] {
                if (holder)
                    holder->m_onPress();
            },
            Qt::QueuedConnection);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<PressHolder> m_pHolder;
};

QAccessibleInterface* DeferredPressFactory(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (w == nullptr)
        return nullptr;
    for (QObject* child : w->children()) {
        if (auto* holder = dynamic_cast<PressHolder*>(child))
            return new DeferredPressAccessible(w, holder);
    }
    return nullptr;
}

} // namespace

void SetDeferredAccessiblePress(QWidget* w, QAccessible::Role role, std::function<void()> onPress) {
    static const bool s_bInstalled = [] {
        // Asked before the factory of Qt's own widgets, which was installed first.
        QAccessible::installFactory(DeferredPressFactory);
        return true;
    }();
    Q_UNUSED(s_bInstalled);
    new PressHolder(w, role, std::move(onPress));
    // An interface made before (a label announces its text as it is set) is dropped, so the
    // next request comes here.
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

void SetDeferredAccessiblePress(QAbstractButton* button) {
    QPointer<QAbstractButton> target = button;
    SetDeferredAccessiblePress(button, QAccessible::Button, [target] {
        if (target)
            target->click();
    });
}
