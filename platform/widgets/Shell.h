// What the shell tells about a path.
#pragma once

#include "platform/core/FilePath.h"

#include <QIcon>

class QAbstractFileIconProvider;

// The small icon the file manager shows for the path; a null icon when the path does not exist
// (files and folders alike).
QIcon ShellGetSmallIcon(const FilePath& path);

// The process's provider of file icons and type names, for the list and the file dialogs. It
// judges a file by its name and kind only, never by reading it: a pipe, a file such as
// /proc/kmsg or a slow network folder would otherwise hold the caller.
QAbstractFileIconProvider* ShellIconProvider();
