// Names on Windows are UTF-16 and come whole from the components that hand them over.
#include "platform/core/LocalPath.h"

#include <QDir>

std::optional<FilePath> PathForShown(const QString& shown) {
    // U+FFFD is a letter like any other here.
    return FilePath::fromText(QDir::fromNativeSeparators(shown));
}

FilePath CurrentDir() {
    return FilePath::fromText(QDir::currentPath()).value_or(FilePath());
}
