#include "platform/widgets/FocusFrame.h"

#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace {

class FocusFrame : public QWidget {
public:
    explicit FocusFrame(QWidget* target) : QWidget(target), m_pTarget(target) {
        setObjectName(QStringLiteral("focusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        target->installEventFilter(this);
        hide();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == m_pTarget) {
            switch (e->type()) {
            case QEvent::FocusIn:
            case QEvent::FocusOut:
            case QEvent::Resize:
                setGeometry(m_pTarget->rect());
                setVisible(m_pTarget->hasFocus());
                raise();
                break;
            default:
                break;
            }
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(Qt::white);
        p.drawRect(rect().adjusted(1, 1, -2, -2));
    }

private:
    QWidget* m_pTarget;
};

} // namespace

void InstallFocusFrame(QWidget* target) {
    new FocusFrame(target);
}
