#include "CVantrelApp.h"

#include "CJoinThread.h"
#include "CVantrelDlg.h"
#include "MessageBox.h"

CVantrelApp::CVantrelApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Joins outlive the window; the process ends only after them (ExitInstance).
    setQuitOnLastWindowClosed(false);
    // Ties the windows to the desktop entry and its icon where the window class does not
    // (Wayland).
    setDesktopFileName(QStringLiteral(VANTREL_APP_ID));
    // The boxes that code without windows (the join worker) asks for.
    InstallMessageBoxes();
}

BOOL CVantrelApp::InitInstance() {
    CVantrelDlg dlg;
    AfxSetMainWnd(&dlg);
    dlg.DoModal();
    AfxSetMainWnd(nullptr);
    return FALSE;
}

int CVantrelApp::ExitInstance() {
    // Nothing stays on screen, unanswerable, while the last joins finish (the help window).
    closeAllWindows();
    CJoinThread::WaitForAll();
    return 0;
}
