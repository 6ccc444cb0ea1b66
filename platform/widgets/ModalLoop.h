// Running a dialog the way Windows runs one: the caller waits in a local event loop, and the
// dialog blocks only what its modality says, so an ownerless dialog or box leaves every other
// window usable.
#pragma once

class QDialog;

// Shows the dialog and returns its result once it has finished. With bActivate the dialog is
// raised and given the keyboard, wherever it was.
int RunModalLoop(QDialog& dialog, bool bActivate = false);
