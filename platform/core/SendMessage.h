// Delivering a command to a window and waiting until it has been handled.
#pragma once

#include "platform/core/WinTypes.h"

// A window that handles WM_COMMAND.
class ICommandTarget {
public:
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~ICommandTarget() = default;
};

// Runs the target's handler on the user-interface thread and returns its result once it has
// returned. A window that has been destroyed, or a user interface that has shut down, is not
// touched: the call then returns 0 without handling. Only WM_COMMAND is delivered.
LRESULT SendMessage(const HWND& hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
