#include "ModalLoop.h"

#include <QDialog>
#include <QEventLoop>

int RunModalLoop(QDialog& dialog) {
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.setWindowModality(Qt::NonModal);
    dialog.show();
    loop.exec(QEventLoop::DialogExec);
    return dialog.result();
}
