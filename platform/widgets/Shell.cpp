#include "platform/widgets/Shell.h"

#include "platform/core/LocalPath.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

#include <sys/stat.h>

namespace {

// Qt's own provider asks the MIME database about the file, which reads it when the name does
// not settle its type.
class NameIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;

    QIcon icon(const QFileInfo& info) const override {
#ifdef Q_OS_WIN
        return QFileIconProvider::icon(info); // the shell's, by the type the name registers
#else
        if (info.isDir())
            return icon(info.isRoot() ? Drive : Folder);
        const QMimeType mime = TypeOf(info);
        return QIcon::fromTheme(mime.iconName(),
                                QIcon::fromTheme(mime.genericIconName(), icon(File)));
#endif
    }

    QString type(const QFileInfo& info) const override {
        if (!info.isFile())
            return QFileIconProvider::type(info); // reads nothing for these
        const QMimeType mime = TypeOf(info);
        return mime.comment().isEmpty() ? mime.name() : mime.comment();
    }

private:
    static QMimeType TypeOf(const QFileInfo& info) {
        return QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }
};

} // namespace

QAbstractFileIconProvider* ShellIconProvider() {
    // One provider for the process: it caches the icons of file types.
    static NameIconProvider s_provider;
    return &s_provider;
}

QIcon ShellGetSmallIcon(const FilePath& path) {
    if (path.isEmpty())
        return {};
    const QAbstractFileIconProvider& provider = *ShellIconProvider();
    if (!path.isExactlyShown()) {
        // Qt would look up the name its text stands for, which may be another file: ask the
        // system with the bytes and give the plain icon of the kind.
        struct stat st {};
        if (stat(path.bytes().constData(), &st) != 0)
            return {};
        return provider.icon(S_ISDIR(st.st_mode) ? QAbstractFileIconProvider::Folder
                                                 : QAbstractFileIconProvider::File);
    }
    const QFileInfo info(path.text());
    if (!info.exists())
        return {};
    const QIcon icon = provider.icon(info);
    // Special files (pipes, devices) have no icon of their own, yet exist and can be joined.
    return icon.isNull() ? provider.icon(QAbstractFileIconProvider::File) : icon;
}
