#include "Shell.h"

#include <QFileIconProvider>
#include <QFileInfo>

QIcon ShellGetSmallIcon(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    // One provider for the process: it caches the icons of file types.
    static QFileIconProvider s_provider;
    return s_provider.icon(info);
}
