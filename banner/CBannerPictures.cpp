#include "CBannerPictures.h"

#include "BannerLimits.h"

#include <QBuffer>
#include <QImageReader>

using namespace BannerLimits;

QList<QImage> CBannerPictures::Decode(const QList<QByteArray>& pictures) {
    qint64 budget = kMaxPictureBytes;
    QList<QImage> images;
    for (const QByteArray& data : pictures)
        images.append(DecodeOne(data, &budget));
    return images;
}

QImage CBannerPictures::DecodeOne(const QByteArray& data, qint64* pBudget) {
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    // Formats that carry nothing but pixels (a vector picture may name other files).
    const QByteArray format = QImageReader::imageFormat(&buffer);
    static const QList<QByteArray> kFormats = {"png", "jpeg", "gif", "bmp"};
    if (!kFormats.contains(format))
        return {};
    QImageReader reader(&buffer, format);
    // A small file can claim a huge picture; such a claim is refused before decoding.
    const QSize size = reader.size();
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (size.isEmpty() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
        qint64(size.width()) * size.height() > kMaxPicturePixels || bytes > *pBudget)
        return {};
    QImage image = reader.read();
    if (image.isNull() || image.width() > size.width() || image.height() > size.height())
        return {};
    // In the form the painter draws without converting it again at every paint.
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                            : QImage::Format_RGB32);
    *pBudget -= image.sizeInBytes();
    return image;
}
