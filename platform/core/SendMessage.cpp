#include "platform/core/SendMessage.h"

#include "platform/core/UiThread.h"

LRESULT SendMessage(const HWND& hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    RunOnUiThread([&] {
        auto* target = dynamic_cast<ICommandTarget*>(hWnd.data());
        if (target != nullptr && uMsg == WM_COMMAND)
            result = target->OnCommand(wParam, lParam);
    });
    return result;
}
