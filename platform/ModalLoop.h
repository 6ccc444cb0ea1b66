// Running a dialog "modally" the way a Windows dialog without owner is: the caller waits in a
// local event loop, but no other window is blocked, so ownerless message boxes opened from
// it stay usable alongside it.
#pragma once

class QDialog;

// Shows the dialog and returns its result once it has finished.
int RunModalLoop(QDialog& dialog);
