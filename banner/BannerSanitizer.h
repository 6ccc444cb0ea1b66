// Reduces the banner page, untrusted bytes from the network, to a small document in the part
// of HTML that Qt's rich text lays out well: text, paragraphs, headings, a few inline styles,
// links, pictures, and lists and tables to a small depth. Everything else is dropped, its text
// kept. Pictures are not named by their addresses in the result but by keys (PictureName), so
// the document can only show pictures it is handed. Safe to run off the user-interface thread.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

struct BannerPicture {
    QUrl url;        // http or https, for the loader; empty for a picture in the page
    QByteArray data; // the bytes of a data: picture
};

struct BannerPage {
    bool bParsed = false; // false when the page was given up as too costly to read
    QString strHtml;
    QList<BannerPicture> pictures; // in document order, at most kMaxPictures
    QString strVisitedLinkColor;   // the checked colour of <body vlink>, or empty
};

class BannerSanitizer {
public:
    static BannerPage Sanitize(const QByteArray& page, const QUrl& baseUrl);

    // The name the document uses for picture i of the page.
    static QUrl PictureName(int i);

    // href resolved against the page, when a banner may hand it to the desktop: http, https
    // or mailto, at most kMaxLinkLength long, a mailto only with its addresses, subject and
    // body. Otherwise an empty URL.
    static QUrl SafeLink(const QUrl& baseUrl, const QString& href);
};
