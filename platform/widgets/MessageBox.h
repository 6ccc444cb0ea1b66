// Message boxes with the Windows calling conventions the program is written against.
#pragma once

#include "platform/core/AfxMessageBox.h"
#include "platform/core/WinTypes.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

// Makes AfxMessageBox show boxes owned by the main window, and closes every open box when the
// user interface shuts down. Called once at start-up, on the user-interface thread; calling it
// again changes nothing.
void InstallMessageBoxes();

// Shows a box and returns the button pressed. With no owner the box blocks only its caller
// (through a local event loop) and every window stays usable; with an owner it is modal to
// that window. May be called from any thread: the box is shown on the user-interface thread
// and the caller waits. Callers on other threads must pass no owner (see AfxMessageBox).
// Once the user interface has shut down nothing is shown and the box's default answer is
// returned.
int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT type);

// The application's title: its display name from the string table, else the executable's
// file name without its extension.
QString AfxGetAppTitle();

// The window that owns the application's boxes. Only touched on the user-interface thread.
void AfxSetMainWnd(QWidget* pWnd);
QWidget* AfxGetMainWnd();

// Closes every open box as if its default answer had been given.
void CloseAllMessageBoxes();

// What tests see of a box instead of a window. The hook runs on the user-interface thread.
struct MessageBoxCall {
    QPointer<QWidget> owner;
    QString strText;
    QString strCaption;
    UINT nType = MB_OK;
};
using MessageBoxHook = std::function<int(const MessageBoxCall&)>;

// While a hook is set, boxes are not shown: the hook answers them. An empty hook restores
// real boxes.
void SetMessageBoxHookForTesting(MessageBoxHook hook);
