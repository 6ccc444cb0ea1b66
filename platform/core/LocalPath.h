// File names as the system's bytes. A name need not be valid text: it is kept as bytes from
// the moment it enters the program until a file is opened, and only shown as text. On Windows,
// where names are UTF-16 and always text, the bytes are their UTF-8, with backslashes between
// the parts.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <string>

// The bytes the program keeps for a name it is given as text.
QByteArray PathBytes(const QString& path);

// A name's bytes in the form the join opens: the same bytes on Linux, UTF-16 on Windows.
std::filesystem::path::string_type NativePath(const std::string& path);

class QMimeData;
class QUrl;

// The name as readable text; bytes that are not text in the locale show as U+FFFD.
QString DisplayPath(const QByteArray& path);

// Whether DisplayPath(path) names exactly this file again.
bool IsExactlyShown(const QByteArray& path);

// The local path of a URI given in its encoded form: "file:" with an empty authority or
// "localhost", percent-escapes decoded to bytes, raw bytes kept. Nothing for another scheme.
struct CFileUri {
    bool bFile = false; // a file: URI at all
    QByteArray path;    // empty when the file URI names no local path that can be opened
};
CFileUri ParseFileUri(const QByteArray& encoded);
CFileUri ParseFileUri(const QUrl& url);

// The URIs of a drop as they were sent, one per line of the list, nothing decoded: a name that
// is not text must not pass through QString on the way.
QList<QByteArray> DroppedFileUris(const QMimeData* pData);

// The bytes of a path that another component (a file dialog) hands over as text. A part that
// shows U+FFFD is looked up among the folder's real names; nothing when two names show alike,
// since taking either could be the wrong file.
std::optional<QByteArray> PathBytesForShown(const QString& shown);

// The working folder's bytes.
QByteArray CurrentDirBytes();

// Says which files could not be added; a long list is cut short.
QString FilesNotAddedText(const QStringList& shownNames);
