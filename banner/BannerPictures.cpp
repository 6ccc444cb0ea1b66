#include "banner/BannerPictures.h"

#include "banner/BannerLimits.h"

#include <QBuffer>
#include <QImageReader>

using namespace BannerLimits;

namespace {

quint32 BigEndian(const QByteArray& data, qsizetype at, int nBytes) {
    quint32 value = 0;
    for (int i = 0; i < nBytes; ++i)
        value = value << 8 | quint8(data[at + i]);
    return value;
}

// The PNG with only the chunks that give its pixels and colours; empty when its chunks do not
// add up (the decoder would then fail anyway).
QByteArray PngPixelsOnly(const QByteArray& data) {
    static const QList<QByteArray> kKept = {"IHDR", "PLTE", "IDAT", "IEND", "tRNS",
                                            "gAMA", "cHRM", "sRGB", "sBIT", "bKGD"};
    QByteArray kept = data.left(8); // the signature
    qsizetype at = 8;
    while (at + 12 <= data.size()) {
        const qint64 total = qint64(BigEndian(data, at, 4)) + 12; // length, type, data, CRC
        if (total > data.size() - at)
            return {};
        const QByteArray type = data.mid(at + 4, 4);
        if (kKept.contains(type))
            kept += data.mid(at, total);
        at += total;
        if (type == "IEND")
            return kept;
    }
    return {};
}

// Whether the JPEG has no more scans than a real picture: its segments are walked, and the
// coded data after each scan header skipped to the next marker.
bool JpegScansWithinBound(const QByteArray& data) {
    int nScans = 0;
    qsizetype at = 2; // after the start-of-image marker
    while (at + 1 < data.size()) {
        if (quint8(data[at]) != 0xFF)
            return true; // not a marker: the decoder stops here too
        const quint8 marker = quint8(data[at + 1]);
        at += 2;
        if (marker == 0xFF) { // fill byte
            --at;
            continue;
        }
        if (marker == 0xD9) // end of image
            return true;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue; // no length follows
        if (at + 2 > data.size())
            return true;
        at += BigEndian(data, at, 2);
        if (marker != 0xDA)
            continue;
        if (++nScans > kMaxJpegScans)
            return false;
        // Coded data: 0xFF is followed by 0 (a stuffed byte) or a restart marker inside it.
        while (at + 1 < data.size()) {
            const quint8 next = quint8(data[at + 1]);
            if (quint8(data[at]) == 0xFF && next != 0 && !(next >= 0xD0 && next <= 0xD7))
                break;
            ++at;
        }
    }
    return true;
}

} // namespace

QList<QImage> BannerPictures::Decode(const QList<QByteArray>& pictures) {
    qint64 budget = kMaxPictureBytes;
    QList<QImage> images;
    for (const QByteArray& data : pictures)
        images.append(DecodeOne(data, &budget));
    return images;
}

QImage BannerPictures::DecodeOne(const QByteArray& data, qint64* pBudget) {
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
    if (format == "png") {
        buffer.close();
        buffer.setData(PngPixelsOnly(data));
        buffer.open(QIODevice::ReadOnly);
    } else if (format == "jpeg" && !JpegScansWithinBound(data)) {
        return {};
    }
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
