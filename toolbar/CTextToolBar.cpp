#include "toolbar/CTextToolBar.h"

#include "platform/widgets/AccessiblePress.h"
#include "platform/widgets/Resources.h"
#include "toolbar/ToolBarLabel.h"

#include <QAction>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr QSize kDefaultImageSize(24, 24);

} // namespace

CTextToolBar::CTextToolBar(QWidget* parent) : QToolBar(parent) {
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setMovable(false);
    setFloatable(false);
    setIconSize(m_sizeImage);
}

bool CTextToolBar::LoadToolBar(UINT nIDResource) {
    const std::vector<UINT> buttons = LoadToolBarResource(nIDResource);
    if (buttons.empty())
        return false;

    for (QAction* action : actions()) {
        removeAction(action);
        if (action->parent() == this)
            delete action;
    }
    m_sizeImage = kDefaultImageSize;
    m_sizeButton = QSize();
    setIconSize(m_sizeImage);

    for (UINT nID : buttons) {
        if (nID == 0) {
            addSeparator();
            continue;
        }
        auto* action = new QAction(this);
        action->setData(nID);
        connect(action, &QAction::triggered, this, [this, action, nID] {
            if (!m_lookup)
                return;
            QAction* shared = m_lookup(nID);
            if (shared && shared != action)
                shared->trigger();
        });
        addAction(action);
        if (auto* button = qobject_cast<QAbstractButton*>(widgetForAction(action)))
            SetDeferredAccessiblePress(button);
    }
    UpdateImages();
    return true;
}

bool CTextToolBar::LoadToolBarWithLabels(UINT nIDResource) {
    if (!LoadToolBar(nIDResource))
        return false;

    // Labels are set from the last item down, as the resource's order is not relied on.
    for (int i = GetCount() - 1; i >= 0; --i) {
        QToolButton* button = GetButton(i);
        if (button)
            button->setAutoRaise(true); // flat
        const UINT nID = GetItemID(i);
        if (!button || nID == 0)
            continue;
        const QString text = LoadString(nID);
        const QString label = ToolBarLabel(text);
        if (label.isEmpty())
            continue;
        SetButtonText(i, label);
        ItemAction(i)->setToolTip(ToolBarDescription(text));
    }

    // Separators count too: an unusually tall one sets the height of every button.
    QSize largest(0, 0);
    for (int i = 0; i < GetCount(); ++i)
        largest = largest.expandedTo(GetItemSize(i));
    SetSizes(QSize(largest.width() + 2, largest.height() + 4), kDefaultImageSize);
    return true;
}

int CTextToolBar::GetCount() const {
    return static_cast<int>(actions().size());
}

QAction* CTextToolBar::ItemAction(int nIndex) const {
    const QList<QAction*> items = actions();
    return nIndex >= 0 && nIndex < items.size() ? items[nIndex] : nullptr;
}

UINT CTextToolBar::GetItemID(int nIndex) const {
    const QAction* action = ItemAction(nIndex);
    return action && !action->isSeparator() ? action->data().toUInt() : 0;
}

int CTextToolBar::CommandToIndex(UINT nID) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (nID != 0 && GetItemID(i) == nID)
            return i;
    }
    return -1;
}

QSize CTextToolBar::GetItemSize(int nIndex) const {
    QAction* action = ItemAction(nIndex);
    const QWidget* item = action ? widgetForAction(action) : nullptr;
    if (!item)
        return {};
    // What the item asks for: its geometry is only settled once the bar is laid out.
    const QSize size = item->sizeHint();
    return {std::max(size.width(), 0), std::max(size.height(), 0)};
}

QToolButton* CTextToolBar::GetButton(int nIndex) const {
    QAction* action = ItemAction(nIndex);
    if (!action || action->isSeparator())
        return nullptr;
    return qobject_cast<QToolButton*>(widgetForAction(action));
}

QString CTextToolBar::GetButtonText(int nIndex) const {
    const QToolButton* button = GetButton(nIndex);
    return button ? button->text() : QString();
}

void CTextToolBar::SetButtonText(int nIndex, const QString& text) {
    QAction* action = ItemAction(nIndex);
    if (!action || action->isSeparator())
        return;
    // The icon text is shown as set; QAction would trim a label derived from text().
    action->setText(text.trimmed());
    action->setIconText(text);
    // A screen reader reads the label without the spaces that pad it.
    if (QToolButton* button = GetButton(nIndex))
        button->setAccessibleName(text.trimmed());
}

void CTextToolBar::SetSizes(const QSize& sizeButton, const QSize& sizeImage) {
    m_sizeButton = sizeButton;
    m_sizeImage = sizeImage;
    setIconSize(sizeImage);
    for (int i = 0; i < GetCount(); ++i) {
        if (QToolButton* button = GetButton(i))
            button->setFixedSize(sizeButton);
    }
    UpdateImages();
}

void CTextToolBar::SetImageList(const QPixmap& strip) {
    SetImageList(QList<QPixmap>{strip});
}

void CTextToolBar::SetHotImageList(const QPixmap& strip) {
    SetHotImageList(QList<QPixmap>{strip});
}

void CTextToolBar::SetImageList(const QList<QPixmap>& strips) {
    m_imagesNormal = strips;
    UpdateImages();
}

void CTextToolBar::SetHotImageList(const QList<QPixmap>& strips) {
    m_imagesHot = strips;
    UpdateImages();
}

void CTextToolBar::SetActionLookup(std::function<QAction*(UINT)> lookup) {
    m_lookup = std::move(lookup);
}

bool CTextToolBar::OnNotify(WPARAM, LPARAM, LRESULT*) {
    // A drop-down request goes nowhere, and a QToolBar has no other notifications to answer.
    return false;
}

void CTextToolBar::UpdateImages() {
    const QSize cell = m_sizeImage;
    // Image n of a strip, cut in the strip's own pixels; null when the strip is too short.
    auto imageAt = [cell](const QPixmap& strip, int n) {
        const qreal dpr = strip.devicePixelRatio();
        const QSize pixels = cell * dpr;
        const QRect rect(QPoint(n * pixels.width(), 0), pixels);
        if (strip.isNull() || !strip.rect().contains(rect))
            return QPixmap();
        QPixmap image = strip.copy(rect);
        image.setDevicePixelRatio(dpr);
        return image;
    };
    int nImage = 0;
    for (QAction* action : actions()) {
        if (action->isSeparator())
            continue;
        QIcon icon;
        const auto addImages = [&](const QList<QPixmap>& strips, QIcon::Mode mode) {
            for (const QPixmap& strip : strips) {
                const QPixmap image = imageAt(strip, nImage);
                if (!image.isNull())
                    icon.addPixmap(image, mode);
            }
        };
        addImages(m_imagesNormal, QIcon::Normal);
        if (icon.isNull()) {
            // An empty image still keeps the room for the picture above the label.
            QPixmap empty(cell);
            empty.fill(Qt::transparent);
            icon.addPixmap(empty, QIcon::Normal);
        }
        addImages(m_imagesHot, QIcon::Active);
        ++nImage;
        action->setIcon(icon);
    }
}
