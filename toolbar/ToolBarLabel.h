// The label a toolbar button shows, taken from its command's string.
#pragma once

#include <QString>

// The last non-empty newline-separated piece of the string, spaces kept; empty when there is
// none. "Add files to join\nAdd Files" gives "Add Files".
QString ToolBarLabel(const QString& commandString);

// The first non-empty piece: the longer description the label stands for.
QString ToolBarDescription(const QString& commandString);
