#include "platform/widgets/CStatusBarCtrl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// What a screen reader gets: a status bar whose name is the text it shows.
class StatusBarAccessible : public QAccessibleWidget {
public:
    explicit StatusBarAccessible(CStatusBarCtrl* bar)
        : QAccessibleWidget(bar, QAccessible::StatusBar) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        const auto* bar = static_cast<const CStatusBarCtrl*>(widget());
        QStringList shown;
        for (int i = 0; i < bar->GetParts(); ++i) {
            if (!bar->GetText(i).isEmpty())
                shown << bar->GetText(i);
        }
        return shown.join(QLatin1Char(' '));
    }
};

QAccessibleInterface* StatusBarAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CStatusBarCtrl") && object && object->isWidgetType())
        return new StatusBarAccessible(static_cast<CStatusBarCtrl*>(object));
    return nullptr;
}

} // namespace

CStatusBarCtrl::CStatusBarCtrl(QWidget* parent) : QWidget(parent), m_aRightEdges{-1}, m_texts{""} {
    static const bool s_bFactoryInstalled = [] {
        QAccessible::installFactory(StatusBarAccessibleFactory);
        return true;
    }();
    Q_UNUSED(s_bFactoryInstalled);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

bool CStatusBarCtrl::SetParts(int nParts, const int* pWidths) {
    if (nParts <= 0 || nParts > 256 || pWidths == nullptr)
        return false;
    m_aRightEdges = QVector<int>(pWidths, pWidths + nParts);
    while (m_texts.size() < nParts)
        m_texts.append(QString());
    m_texts = m_texts.mid(0, nParts);
    update();
    return true;
}

bool CStatusBarCtrl::SetText(const QString& text, int nPane) {
    if (nPane < 0 || nPane >= m_texts.size())
        return false;
    m_texts[nPane] = text;
    update(GetRect(nPane));
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
    return true;
}

QString CStatusBarCtrl::GetText(int nPane) const {
    return m_texts.value(nPane);
}

QRect CStatusBarCtrl::GetRect(int nPane) const {
    if (nPane < 0 || nPane >= m_aRightEdges.size())
        return {};
    const int left = nPane == 0 ? 0 : GetRect(nPane - 1).right() + 1;
    const int edge = m_aRightEdges[nPane];
    const int right = edge < 0 ? width() : qMin(edge, width());
    return QRect(left, 0, qMax(0, right - left), height());
}

QSize CStatusBarCtrl::sizeHint() const {
    return QSize(200, fontMetrics().height() + 8);
}

void CStatusBarCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, 0, width() - 1, 0);
    for (int i = 0; i < m_aRightEdges.size(); ++i) {
        const QRect part = GetRect(i).adjusted(2, 3, -2, -1);
        if (part.width() <= 0)
            continue;
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(part.adjusted(0, 0, -1, -1));
        const QRect text = part.adjusted(4, 0, -4, 0);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(m_texts[i], Qt::ElideRight, text.width()));
    }
}
