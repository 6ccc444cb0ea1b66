#include "platform/core/LocalPath.h"

#include <QMimeData>
#include <QUrl>

FileUri ParseFileUri(const QByteArray& encoded) {
    // Raw bytes outside ASCII (some file managers send names unescaped) are escaped first so
    // the parser keeps them; existing escapes stay as they are.
    QByteArray escaped;
    escaped.reserve(encoded.size());
    for (const char ch : encoded) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 || b <= 0x20 || b == 0x7F)
            escaped += '%' + QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
        else
            escaped += ch;
    }
    return ParseFileUri(QUrl::fromEncoded(escaped));
}

FileUri ParseFileUri(const QUrl& url) {
    FileUri result;
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
        return result;
    result.bFile = true;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return result; // another machine's file
    if (url.hasQuery() || url.hasFragment())
        return result; // "?" or "#" unescaped: not a name we can be sure of
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!path.startsWith('/'))
        return result;
#ifdef Q_OS_WIN
    // file:///C:/folder/name: the drive follows the first slash. (Shares arrive with a host
    // and are refused like another machine's files.)
    if (path.size() < 3 || path[2] != ':' || !QChar::isLetter(uchar(path[1])))
        return result;
    path.remove(0, 1);
    path.replace('/', '\\');
#endif
    result.path = FilePath::fromBytes(path);
    return result;
}

QList<QByteArray> DroppedFileUris(const QMimeData* pData) {
    QList<QByteArray> uris;
    if (pData == nullptr || !pData->hasUrls())
        return uris;
    QByteArray list;
#ifdef Q_OS_WIN
    // The shell's own list of UTF-16 names (Qt's urls()) is the one to trust: a text/uri-list
    // beside it came from another system, as Wine passes on an X drop with POSIX paths.
#else
    // pcmanfm-qt's text/uri-list has already lost such bytes on its side; its own list of
    // the same files, in the same form, has them.
    list = pData->data(QStringLiteral("libfm/files"));
    if (list.isEmpty())
        list = pData->data(QStringLiteral("text/uri-list"));
#endif
    if (list.isEmpty()) {
        for (const QUrl& url : pData->urls())
            uris << url.toEncoded();
        return uris;
    }
    // Only the line end comes off: some file managers send names raw, and a space or tab at
    // either end of a name is part of it.
    for (QByteArray uri : list.split('\n')) {
        if (uri.endsWith('\r'))
            uri.chop(1);
        if (!uri.isEmpty() && !uri.startsWith('#')) // comments are allowed in the list
            uris << uri;
    }
    return uris;
}

QString FilesNotAddedText(const QStringList& shownNames) {
    constexpr int kMaxNamesShown = 10;
    QString text = QStringLiteral("These files could not be added to the list:");
    for (int i = 0; i < shownNames.size() && i < kMaxNamesShown; ++i)
        text += QLatin1Char('\n') + shownNames[i];
    if (shownNames.size() > kMaxNamesShown)
        text += QStringLiteral("\n... and %1 more.").arg(shownNames.size() - kMaxNamesShown);
    return text;
}
