// Helpers shared by the test programs.
#pragma once

#include "MessageBox.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <string>

// Deterministic bytes of every value, different for each seed.
QByteArray PatternBytes(qsizetype size, quint32 seed);

void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);

// Runs fn in a child process and returns what it returned. With asNobody the child first
// drops to the unprivileged user, so permission checks apply even when tests run as root.
std::string RunInChild(const std::function<std::string()>& fn, bool asNobody = false);

// Answers message boxes instead of showing them and records what was asked.
class CMessageBoxRecorder {
public:
    explicit CMessageBoxRecorder(int answer = IDOK);
    ~CMessageBoxRecorder();
    CMessageBoxRecorder(const CMessageBoxRecorder&) = delete;
    CMessageBoxRecorder& operator=(const CMessageBoxRecorder&) = delete;

    QList<MessageBoxCall> calls;
    int answer;
    std::function<void(const MessageBoxCall&)> onCall; // runs while the box is "up"
};

class QMessageBox;

// Polls for the next visible message box and hands it to fn, from inside whatever event loop
// is running then (a box blocks its caller). A box that fn leaves open is closed afterwards,
// so a failed check cannot hang the test.
void WhenBoxShown(const std::function<void(QMessageBox*)>& fn, int timeoutMs = 5000);

// The same for the next visible top-level widget that inherits className (a QFileDialog, a
// help window); fn gets it as it is, and it is closed afterwards if still open.
void WhenTopLevelShown(const char* className, const std::function<void(QWidget*)>& fn,
                       int timeoutMs = 5000);

// The visible top-level widget that inherits className, if there is one.
QWidget* FindTopLevel(const char* className);

// Answers a file dialog as a user would: types the names (quoted when there are several)
// into its file name field, relative to folder, and presses Enter.
void TypeIntoFileDialog(QWidget* fileDialog, const QString& folder, const QStringList& names);

// The visible message box, if there is one.
QMessageBox* FindOpenBox();

// A click that goes through the window system, where modality is enforced.
void ClickThroughWindow(QWidget* widget);

// What a helper process did that closes its window while a join waits on a pipe.
struct CHelperRun {
    QString failure; // empty when it ran to a normal exit with code 0
    QByteArray out;
    QByteArray err;
};

// Starts the program, waits until it prints "window closed" while still running, then feeds
// data into the pipe (which the program's join is reading) and waits for it to end.
CHelperRun RunPastWindowClose(const QString& program, const QStringList& args, const QString& pipe,
                              const QByteArray& data);
