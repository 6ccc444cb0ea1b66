// What the shell tells about a path.
#pragma once

#include <QByteArray>
#include <QIcon>

// The small icon the file manager shows for the path, given as the system's bytes; a null
// icon when the path does not exist (files and folders alike).
QIcon ShellGetSmallIcon(const QByteArray& path);
