// Compiled into every test program with windows, so that it starts and ends as the application
// does: code without windows (the join worker) gets its boxes shown, or answered by a recorder,
// and no banner work is left on the thread pool when the application is taken down.
#include "platform/widgets/MessageBox.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace {

// QApplication waits for the pool only after its Gui part has taken down the fonts and the
// platform that a page still being laid out uses (a crash under Wine). The program ends at once
// instead (CVantrelApp's destructor); a test program waits first. The pool's work, pages and
// pictures, is bounded and never waits on this thread.
void WaitForThePool() {
    QThreadPool::globalInstance()->waitForDone();
}

void InstallProgramHooks() {
    InstallMessageBoxes();
    qAddPostRoutine(WaitForThePool); // run first in QApplication's destructor
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProgramHooks)
