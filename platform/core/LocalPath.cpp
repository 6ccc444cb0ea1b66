#include "platform/core/LocalPath.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <unistd.h>

#include <memory>
#endif

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

#ifdef Q_OS_UNIX
namespace {

// How many entries of folder show as name (-1: the folder cannot be read); the last one
// goes to found.
int CountEntriesShownAs(const QByteArray& folder, const QString& name, QByteArray& found) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.isEmpty() ? "/" : folder.constData()),
                                            closedir);
    if (!dir)
        return -1;
    int nFound = 0;
    while (const dirent* entry = readdir(dir.get())) {
        const QByteArray entryName(entry->d_name);
        if (DisplayPath(entryName) == name) {
            found = entryName;
            ++nFound;
        }
    }
    return nFound;
}

} // namespace
#endif

std::optional<FilePath> PathForShown(const QString& shown) {
    const QString path = QDir::fromNativeSeparators(shown);
#ifdef Q_OS_UNIX
    if (!path.contains(QChar::ReplacementCharacter))
        return FilePath::fromText(path);
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    QByteArray bytes;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QByteArray partBytes = QFile::encodeName(part);
        // Only a name that is not text shows U+FFFD, and several can show the same way.
        if (part.contains(QChar::ReplacementCharacter)) {
            const int nFound = CountEntriesShownAs(bytes, part, partBytes);
            // None: a new name, typed with that character, and kept as typed.
            if (nFound < 0 || nFound > 1)
                return std::nullopt;
        }
        bytes += '/' + partBytes;
    }
    return FilePath::fromBytes(bytes.isEmpty() ? QByteArray("/") : bytes);
#else
    // Names are UTF-16 here, given whole: U+FFFD is a letter like any other.
    return FilePath::fromText(path);
#endif
}

FilePath CurrentDir() {
#ifdef Q_OS_UNIX
    std::unique_ptr<char, void (*)(void*)> cwd(getcwd(nullptr, 0), free);
    if (cwd)
        return *FilePath::fromBytes(QByteArray(cwd.get())); // a C string holds no NUL
#endif
    return FilePath::fromText(QDir::currentPath()).value_or(FilePath());
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
