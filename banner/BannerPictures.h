// Decodes the pictures of one banner page, off the user-interface thread: only common web
// formats, each sized from its header before it is decoded, all of a page within one
// budget of decoded bytes.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

class BannerPictures {
public:
    // One image per picture, in the same order; a null image where a picture could not be
    // had, was too large, or no longer fitted the page's budget.
    static QList<QImage> Decode(const QList<QByteArray>& pictures);

    // One picture, charged to *pBudget (bytes still allowed).
    static QImage DecodeOne(const QByteArray& data, qint64* pBudget);
};
