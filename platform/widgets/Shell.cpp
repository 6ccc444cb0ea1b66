#include "Shell.h"

#include "LocalPath.h"

#include <QFileIconProvider>
#include <QFileInfo>

#include <sys/stat.h>

QIcon ShellGetSmallIcon(const QByteArray& path) {
    if (path.isEmpty() || path.contains('\0'))
        return {};
    // One provider for the process: it caches the icons of file types.
    static QFileIconProvider s_provider;
    if (!IsExactlyShown(path)) {
        // Qt would look up the name its text stands for, which may be another file: ask the
        // system with the bytes and give the plain icon of the kind.
        struct stat st {};
        if (stat(path.constData(), &st) != 0)
            return {};
        return s_provider.icon(S_ISDIR(st.st_mode) ? QFileIconProvider::Folder
                                                   : QFileIconProvider::File);
    }
    const QFileInfo info(DisplayPath(path));
    if (!info.exists())
        return {};
    const QIcon icon = s_provider.icon(info);
    // Special files (pipes, devices) have no icon of their own, yet exist and can be joined.
    return icon.isNull() ? s_provider.icon(QFileIconProvider::File) : icon;
}
