# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads: std::thread and
# Qt need them). Qt and libxml2 for Windows are found in the folder scripts/windows-deps fills:
# pass -DVANTREL_WINDOWS_DEPS=<folder> or set the environment variable of that name; the
# default is the script's own default.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_vantrel_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_vantrel_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_vantrel_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_vantrel_triple}-windres)
# The gcc- wrappers understand the objects of -flto builds too.
set(CMAKE_AR /usr/bin/${_vantrel_triple}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB /usr/bin/${_vantrel_triple}-gcc-ranlib-posix CACHE FILEPATH "Ranlib")

if(NOT VANTREL_WINDOWS_DEPS)
    if(DEFINED ENV{VANTREL_WINDOWS_DEPS} AND NOT "$ENV{VANTREL_WINDOWS_DEPS}" STREQUAL "")
        set(VANTREL_WINDOWS_DEPS "$ENV{VANTREL_WINDOWS_DEPS}")
    elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
        set(VANTREL_WINDOWS_DEPS "$ENV{XDG_CACHE_HOME}/vantrel/windows")
    else()
        set(VANTREL_WINDOWS_DEPS "$ENV{HOME}/.cache/vantrel/windows")
    endif()
endif()
# try_compile() projects read this file again and need the same folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VANTREL_WINDOWS_DEPS)
set(VANTREL_WINDOWS_PREFIX "${VANTREL_WINDOWS_DEPS}/prefix")

# Libraries, headers and CMake packages only from the MinGW sysroot and that prefix;
# programs (moc, uic, rcc, windres) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_vantrel_triple} "${VANTREL_WINDOWS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host Qt (the same version) provides moc, uic and rcc.
if(NOT QT_HOST_PATH)
    set(QT_HOST_PATH /usr)
endif()
