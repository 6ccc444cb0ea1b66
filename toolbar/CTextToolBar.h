// A flat toolbar whose buttons show a text label under their picture, all of one size.
#pragma once

#include "platform/core/WinTypes.h"

#include <QPixmap>
#include <QSize>
#include <QToolBar>

#include <functional>
#include <vector>

class QToolButton;

class CTextToolBar : public QToolBar {
    Q_OBJECT

public:
    explicit CTextToolBar(QWidget* parent = nullptr);

    // Makes one button per command of the toolbar resource (a separator for id 0), without
    // labels and with room for 24 x 24 images. false, and the toolbar unchanged, when there
    // is no such resource.
    bool LoadToolBar(UINT nIDResource);

    // Loads the resource, labels each button with the last line of its command's string and
    // gives every button the size of the largest item plus a small margin.
    bool LoadToolBarWithLabels(UINT nIDResource);

    // Items are buttons and separators, in order.
    int GetCount() const;
    UINT GetItemID(int nIndex) const;   // 0 for a separator
    int CommandToIndex(UINT nID) const; // the first button with that id, or -1
    QSize GetItemSize(int nIndex) const;
    QToolButton* GetButton(int nIndex) const; // null for a separator
    QString GetButtonText(int nIndex) const;
    void SetButtonText(int nIndex, const QString& text);

    void SetSizes(const QSize& sizeButton, const QSize& sizeImage);
    QSize GetButtonSize() const { return m_sizeButton; }

    // Strips of images, one per button in button order (separators take none), each as wide
    // as the image size. The hot images are shown while the mouse is over a button.
    void SetImageList(const QPixmap& strip);
    void SetHotImageList(const QPixmap& strip);
    // The same strip drawn at several densities (each pixmap with its device pixel ratio);
    // every screen gets the drawing closest to its own.
    void SetImageList(const QList<QPixmap>& strips);
    void SetHotImageList(const QList<QPixmap>& strips);

    // Where a button's press goes: the action the lookup gives for the command id, shared
    // with the menu. Without a lookup, or when it gives none, only the button's own action
    // (whose data() is the command id) is triggered.
    void SetActionLookup(std::function<QAction*(UINT)> lookup);

    // Notifications from the toolbar's buttons. A drop-down request is answered false and
    // goes no further, as no button here has a drop-down part.
    virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);

private:
    QAction* ItemAction(int nIndex) const;
    void UpdateImages();

    QList<QPixmap> m_imagesNormal;
    QList<QPixmap> m_imagesHot;
    QSize m_sizeImage{24, 24};
    QSize m_sizeButton;
    std::function<QAction*(UINT)> m_lookup;
};
