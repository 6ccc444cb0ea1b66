// What the shell tells about a path.
#pragma once

#include <QIcon>
#include <QString>

// The small icon the file manager shows for the path; a null icon when the path does not
// exist (files and folders alike).
QIcon ShellGetSmallIcon(const QString& path);
