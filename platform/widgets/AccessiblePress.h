// Controls whose press through the accessibility bus returns at once: the bus call waits
// for its answer, and a command that opens a dialog would keep it waiting until the dialog
// closes. The press runs from the event loop instead.
#pragma once

#include <QAccessible>

#include <functional>

class QAbstractButton;
class QWidget;

// Gives w an accessible interface with the role and a press action that runs onPress once
// the call has returned. Set before anything asks for w's accessible interface.
void SetDeferredAccessiblePress(QWidget* w, QAccessible::Role role, std::function<void()> onPress);
// The same for a button, whose press clicks it.
void SetDeferredAccessiblePress(QAbstractButton* button);
