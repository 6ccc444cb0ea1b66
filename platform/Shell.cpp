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
    const QIcon icon = s_provider.icon(info);
    // Special files (pipes, devices) have no icon of their own, yet exist and can be joined.
    return icon.isNull() ? s_provider.icon(QFileIconProvider::File) : icon;
}
