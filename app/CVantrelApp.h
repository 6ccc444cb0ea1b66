// The application object: runs the main window and ends with it.
#pragma once

#include "platform/core/WinTypes.h"

#include <QApplication>

class CVantrelApp : public QApplication {
    Q_OBJECT

public:
    CVantrelApp(int& argc, char** argv);
    ~CVantrelApp() override;

    // Runs the main window to its end; always false, as no further message loop follows.
    bool InitInstance();

    // Once the window has gone: lets every started join finish writing its output.
    int ExitInstance();
};
