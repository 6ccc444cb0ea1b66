// Message boxes with the Windows calling conventions the program is written against.
#pragma once

#include "WinTypes.h"

#include <QString>

#include <functional>

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONMASK = 0x000000F0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a box and returns the button pressed. With no owner the box blocks only its caller
// (through a local event loop) and every window stays usable; with an owner it is modal to
// that window. May be called from any thread: the box is shown on the user-interface thread
// and the caller waits. Callers on other threads must pass no owner (see AfxMessageBox).
// Once the user interface has shut down nothing is shown and the box's default answer
// (IDOK, or IDNO / IDCANCEL for a question) is returned.
int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT type);

// A box owned by the main window, captioned with the application's title. The owner is
// looked up on the user-interface thread, so worker threads may call this.
int AfxMessageBox(const QString& text, UINT type = MB_OK);

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
    QString text;
    QString caption;
    UINT type = MB_OK;
};
using MessageBoxHook = std::function<int(const MessageBoxCall&)>;

// While a hook is set, boxes are not shown: the hook answers them. An empty hook restores
// real boxes.
void SetMessageBoxHookForTesting(MessageBoxHook hook);
