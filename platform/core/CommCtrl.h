// The header every notification of the list's header control starts with (HeaderItem.h): its
// sender, the sender's id and the notification's code.
#pragma once

#include "platform/core/WinTypes.h"

class QObject;

struct NMHDR {
    QObject* hwndFrom = nullptr;
    std::uintptr_t idFrom = 0;
    UINT code = 0;
};

constexpr UINT TBN_FIRST = 0u - 700u;
// A drop-down button's arrow was pressed.
constexpr UINT TBN_DROPDOWN = TBN_FIRST - 10u;
