// Dialog controls carry their template id, so code can find a control by it as GetDlgItem does.
#pragma once

#include "platform/core/WinTypes.h"

#include <QVariant>
#include <QWidget>

inline constexpr char kDlgCtrlIdProperty[] = "nDlgCtrlID";

inline void SetDlgCtrlID(QWidget* pWnd, int nID) {
    pWnd->setProperty(kDlgCtrlIdProperty, nID);
}

// The direct child of pParent with that id, or null.
inline QWidget* GetDlgItem(const QWidget* pParent, int nID) {
    for (QWidget* child : pParent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant id = child->property(kDlgCtrlIdProperty);
        if (id.isValid() && id.toInt() == nID)
            return child;
    }
    return nullptr;
}
