// Running the program's file dialogs, with a hook through which tests answer them.
#pragma once

#include <QStringList>

#include <functional>

class QFileDialog;

// Shows the prepared dialog and waits for it. Returns the chosen files as absolute paths, or
// nothing when the user cancelled.
QStringList ExecFileDialog(QFileDialog& dialog);

// While a hook is set, dialogs are not shown: the hook sees the prepared dialog and returns
// the names the dialog would have returned, absolute or relative to the dialog's folder;
// none means the user cancelled. Runs on the user-interface thread. An empty hook restores
// real dialogs.
using FileDialogHook = std::function<QStringList(const QFileDialog&)>;
void SetFileDialogHookForTesting(FileDialogHook hook);
