// Message boxes as code without windows asks for them: the Windows flags and answers, and
// AfxMessageBox, which any thread may call. The windowing side presents the boxes.
#pragma once

#include "platform/core/WinTypes.h"

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

// The answer a box gives when it is closed without a button: IDOK, or IDNO / IDCANCEL for a
// question.
int DefaultMessageBoxAnswer(UINT type);

// A box owned by the main window, captioned with the application's title. May be called from
// any thread: the box is shown on the user-interface thread and the caller waits. With no
// presenter, or once the user interface has shut down, nothing is shown and the default
// answer is returned.
int AfxMessageBox(const QString& text, UINT type = MB_OK);

// Shows an AfxMessageBox and returns the button pressed; runs on the user-interface thread.
using MessageBoxPresenter = std::function<int(const QString& text, UINT type)>;
// Set once at start-up, on the user-interface thread, by the side that owns the windows.
void SetMessageBoxPresenter(MessageBoxPresenter presenter);
