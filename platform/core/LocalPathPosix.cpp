// Names on Linux are bytes: a name shown as text is found again among the folder's real names.
#include "platform/core/LocalPath.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

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

std::optional<FilePath> PathForShown(const QString& shown) {
    const QString path = QDir::fromNativeSeparators(shown);
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
}

FilePath CurrentDir() {
    std::unique_ptr<char, void (*)(void*)> cwd(getcwd(nullptr, 0), free);
    if (cwd)
        return *FilePath::fromBytes(QByteArray(cwd.get())); // a C string holds no NUL
    return FilePath::fromText(QDir::currentPath()).value_or(FilePath());
}
