#include "platform/widgets/FileDialog.h"

#include "platform/widgets/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QProcess>
#include <QSettings>

namespace {

FileDialogHook s_hook;

// Qt's file dialog keeps the folders it visited among the user's settings (QtProject.conf),
// where every later dialog, of this program or another, offers them. The program stores
// nothing: those settings go where no file can be made, and the window remembers the last
// folder only while it runs. (On Windows they are in the registry, which this does not reach.)
void KeepNoDialogHistory() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QProcess::nullDevice());
}
Q_COREAPP_STARTUP_FUNCTION(KeepNoDialogHistory)

} // namespace

QStringList ExecFileDialog(QFileDialog& dialog) {
    dialog.setIconProvider(ShellIconProvider());
    if (s_hook) {
        QStringList files;
        const QDir folder = dialog.directory();
        for (const QString& name : s_hook(dialog))
            files << QDir::cleanPath(folder.absoluteFilePath(name));
        return files;
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

void SetFileDialogHookForTesting(FileDialogHook hook) {
    s_hook = std::move(hook);
}
