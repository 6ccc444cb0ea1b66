#include "platform/core/FilePath.h"

#include <QDir>
#include <QFile>

QByteArray PathBytes(const QString& path) {
#ifdef Q_OS_WIN
    // Kept with the system's separator, so rows and messages show names as Explorer does.
    return QDir::toNativeSeparators(path).toUtf8();
#else
    return QFile::encodeName(path);
#endif
}

QString DisplayPath(const QByteArray& path) {
#ifdef Q_OS_WIN
    return QString::fromUtf8(path);
#else
    return QFile::decodeName(path);
#endif
}

FilePath::FilePath(const QByteArray& bytes) : m_bytes(bytes), m_text(DisplayPath(bytes)) {}

std::optional<FilePath> FilePath::fromBytes(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return std::nullopt;
    return FilePath(bytes);
}

std::optional<FilePath> FilePath::fromText(const QString& text) {
    return fromBytes(PathBytes(text));
}

bool FilePath::isExactlyShown() const {
    return PathBytes(m_text) == m_bytes;
}

std::filesystem::path::string_type FilePath::native() const {
#ifdef Q_OS_WIN
    return m_text.toStdWString();
#else
    return m_bytes.toStdString();
#endif
}
