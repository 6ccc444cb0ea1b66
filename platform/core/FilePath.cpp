#include "platform/core/FilePath.h"

FilePath::FilePath(const QByteArray& bytes) : m_bytes(bytes), m_strText(DisplayPath(bytes)) {}

std::optional<FilePath> FilePath::fromBytes(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return std::nullopt;
    return FilePath(bytes);
}

std::optional<FilePath> FilePath::fromText(const QString& text) {
    return fromBytes(PathBytes(text));
}

bool FilePath::isExactlyShown() const {
    return PathBytes(m_strText) == m_bytes;
}
