// Line edits as assistive tools see them: Qt's own description with its text boundaries found
// by bounded code. Qt 6.4's never returns when asked for the word at a place where no word
// starts (a path starting with "/"), which screen readers ask whenever the caret moves by
// word; that froze the program for good. Covers every QLineEdit of the process, the ones in
// Qt's file dialogs and spin boxes included.
#pragma once

void InstallAccessibleLineEdits();
