#include "platform/widgets/FileDialog.h"

#include "platform/widgets/Shell.h"

#include <QDir>
#include <QFileDialog>

namespace {
FileDialogHook s_hook;
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
