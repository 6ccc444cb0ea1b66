// File names on Linux: the name's own bytes, shown in the locale's encoding.
#include "platform/core/FilePath.h"

#include <QFile>

QByteArray PathBytes(const QString& path) {
    return QFile::encodeName(path);
}

QString DisplayPath(const QByteArray& path) {
    return QFile::decodeName(path);
}

std::filesystem::path::string_type FilePath::native() const {
    return m_bytes.toStdString();
}
