// The main window's menu bar, reachable from the keyboard: F10 or a tap of Alt puts the
// keyboard on it with the first menu highlighted; arrows, Enter and Esc work from there.
#pragma once

#include <QMenuBar>

class MenuBar : public QMenuBar {
    Q_OBJECT

public:
    explicit MenuBar(QWidget* parent = nullptr);
    ~MenuBar() override;

    // Puts the keyboard on the menu bar, or gives it back to the control that had it.
    void ToggleKeyboardMode();
    // The menu bar has the keyboard and a menu title is highlighted, no menu open.
    bool IsInKeyboardMode() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Catches F10 for the window. An object of its own: Qt's menu bar adds and removes itself
    // as an application filter around a tap of Alt, which would take an F10 filter on the bar
    // itself with it.
    class F10Filter;
};
