// Compiled into every test program with windows, so code without windows (the join worker)
// gets its boxes shown, or answered by a recorder, as in the application.
#include "platform/widgets/MessageBox.h"

#include <QCoreApplication>

Q_COREAPP_STARTUP_FUNCTION(InstallMessageBoxes)
