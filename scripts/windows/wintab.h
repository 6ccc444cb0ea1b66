/* Debian strips qtbase's src/3rdparty/wintab. Wine's LGPL wintab.h (put into wine/ beside
   this file by scripts/windows-deps) stands in, given the Wine macros it uses, and API,
   with which Qt's own code declares the wintab32.dll function pointers. */
#ifndef VANTREL_WINTAB_H
#define VANTREL_WINTAB_H
#include <windows.h>
#ifndef WINELIB_NAME_AW
#  ifdef UNICODE
#    define WINELIB_NAME_AW(func) func##W
#  else
#    define WINELIB_NAME_AW(func) func##A
#  endif
#endif
#ifndef DECL_WINELIB_TYPE_AW
#  define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#ifndef API
#  define API WINAPI
#endif
#include "wine/wintab.h"
#endif
