// The handful of Windows types and macros the program's code is written with.
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORD_PTR = std::uintptr_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A window handle that can be handed to another thread: it notices when the window is
// destroyed, and is only dereferenced on the user-interface thread. It holds the window as an
// object, so code that only passes handles along (the join worker) needs no widgets.
// On Windows the build defines HWND as a macro of its own name (platform/CMakeLists.txt), so
// that Qt's headers, which declare the system's handle only when there is no such macro, leave
// the name to this type.
using HWND = QPointer<QObject>;
