// An indexed store of equally sized images, like the common controls' image lists.
#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QRect>

class QPainter;

constexpr unsigned ILC_MASK = 0x0001;
constexpr unsigned ILC_COLOR4 = 0x0004;
constexpr unsigned ILC_COLOR8 = 0x0008;
constexpr unsigned ILC_COLOR16 = 0x0010;
constexpr unsigned ILC_COLOR24 = 0x0018;
constexpr unsigned ILC_COLOR32 = 0x0020;

class CImageList {
public:
    // The flags are not kept: each pixmap carries its own depth and transparency.
    bool Create(int cx, int cy, unsigned nFlags, int nInitial, int nGrow);
    void DeleteImageList();

    int GetImageCount() const { return static_cast<int>(m_images.size()); }
    QSize GetImageSize() const { return m_size; }

    // nImage -1 appends; returns the index of the image, or -1.
    int ReplaceIcon(int nImage, const QIcon& icon);
    int Add(const QPixmap& pixmap);
    // Adds the bitmap with every pixel of colour crMask made transparent.
    int AddMasked(const QPixmap& bitmap, const QColor& crMask);
    QPixmap GetImage(int nImage) const;

    // The image's rectangle, at the origin; false for an index out of range.
    bool GetImageInfo(int nImage, QRect* pRect) const;
    // Unscaled, at pt; false for an index out of range.
    bool Draw(QPainter& dc, int nImage, const QPoint& pt) const;

private:
    QPixmap Fit(const QPixmap& pixmap) const;

    bool m_bCreated = false;
    QSize m_size;
    QList<QPixmap> m_images;
};
