#include "platform/widgets/ModalLoop.h"

#include <QDialog>
#include <QEventLoop>

int RunModalLoop(QDialog& dialog, bool bActivate) {
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    if (bActivate) {
        dialog.raise();
        dialog.activateWindow();
    }
    loop.exec(QEventLoop::DialogExec);
    return dialog.result();
}
