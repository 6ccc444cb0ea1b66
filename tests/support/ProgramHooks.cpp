// Compiled into every test program with windows, so that it starts and ends as the program does:
// code without windows (the join worker) gets its boxes, and no banner work is left on the pool.
#include "platform/widgets/MessageBox.h"

#include <QCoreApplication>
#include <QThreadPool>

// QApplication waits for the pool only after taking down the fonts and platform a page being laid
// out uses. The program ends at once then (CVantrelApp); a test waits first, in the routine
// QApplication's destructor runs first. The pool's work is bounded and never waits on this thread.
static void InstallProgramHooks() {
    InstallMessageBoxes();
    qAddPostRoutine([] { QThreadPool::globalInstance()->waitForDone(); });
}

Q_COREAPP_STARTUP_FUNCTION(InstallProgramHooks)
