#include "app/CVantrelApp.h"

#include "app/CVantrelDlg.h"
#include "join/CJoinThread.h"
#include "platform/widgets/MessageBox.h"

#include <QThreadPool>

#include <cstdio>
#include <cstdlib>

CVantrelApp::CVantrelApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Joins outlive the window; the process ends only after them (ExitInstance).
    setQuitOnLastWindowClosed(false);
    // Ties the windows to the desktop entry and its icon where the window class does not
    // (Wayland).
    setDesktopFileName(QStringLiteral(VANTREL_APP_ID));
    // The boxes that code without windows (the join worker) asks for.
    InstallMessageBoxes();
}

bool CVantrelApp::InitInstance() {
    CVantrelDlg dlg;
    AfxSetMainWnd(&dlg);
    dlg.DoModal();
    AfxSetMainWnd(nullptr);
    return false;
}

CVantrelApp::~CVantrelApp() {
    // Only the banner works on the thread pool: a page or picture still being read there holds
    // nothing of the user's, and QApplication would wait for it (a decode cannot be stopped).
    // A join still running here is stalled (ExitInstance gave up on it) and would never let the
    // process end.
    if (QThreadPool::globalInstance()->activeThreadCount() > 0 || CJoinThread::LiveCount() > 0) {
        std::fflush(nullptr);
        std::_Exit(0); // what ExitInstance returns
    }
}

int CVantrelApp::ExitInstance() {
    // Nothing stays on screen, unanswerable, while the last joins finish (the help window).
    closeAllWindows();
    CJoinThread::WaitForAll(); // what it leaves running ends with the process (the destructor)
    return 0;
}
