// A frame drawn over a widget while it has the keyboard focus, for widgets that show none
// of their own.
#pragma once

class QWidget;

// Two lines, black and white, so one of them stands out on whatever the widget shows.
void InstallFocusFrame(QWidget* target);
