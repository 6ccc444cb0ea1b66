// Where file names come in: dropped URIs, names a file dialog gives as text, the working folder.
#pragma once

#include "platform/core/FilePath.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class QMimeData;
class QUrl;

// The local path of a URI given in its encoded form: "file:" with an empty authority or
// "localhost", percent-escapes decoded to bytes, raw bytes kept. Nothing for another scheme.
struct FileUri {
    bool bFile = false;           // a file: URI at all
    std::optional<FilePath> path; // none when the file URI names no local path that can be opened
};
FileUri ParseFileUri(const QByteArray& encoded);
FileUri ParseFileUri(const QUrl& url);

// The URIs of a drop as they were sent, one per line of the list, nothing decoded: a name that
// is not text must not pass through QString on the way.
QList<QByteArray> DroppedFileUris(const QMimeData* pData);

// The path that another component (a file dialog) hands over as text. Where names are bytes, a
// part that shows U+FFFD is looked up among the folder's real names; nothing when two names show
// alike, since taking either could be the wrong file. Windows names are text already.
std::optional<FilePath> PathForShown(const QString& shown);

// The working folder.
FilePath CurrentDir();

// Says which files could not be added; a long list is cut short.
QString FilesNotAddedText(const QStringList& shownNames);
