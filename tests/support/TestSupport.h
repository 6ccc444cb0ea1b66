// Helpers shared by the test programs.
#pragma once

#include "MessageBox.h"

#include <QByteArray>
#include <QList>
#include <QPalette>
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

// The same, started at once and collected later, so the test can act while the child runs
// and a child that hangs cannot hang the test.
class CChildRun {
public:
    explicit CChildRun(const std::function<std::string()>& fn, bool asNobody = false);
    ~CChildRun(); // kills the child if it is still running
    CChildRun(const CChildRun&) = delete;
    CChildRun& operator=(const CChildRun&) = delete;

    int pid() const { return m_pid; }
    // What fn returned; "<timed out>" (the child is then killed) or "<child failed>".
    std::string Result(int timeoutMs = -1);

private:
    int m_pid = -1;
    int m_fd = -1;
};

// A writer on a pipe, for CChildRun: opens it (waiting for a reader), writes everything,
// closes it; returns "wrote all" or what went wrong.
std::function<std::string()> PipeWriter(const QString& pipe, const QByteArray& data);

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
class CTopLevelWatcher;

// Watches for the next visible top-level widget that inherits a class and hands it to a
// function, from inside whatever event loop runs then (a dialog blocks its caller). A widget
// the function leaves open is closed afterwards, so a failed check cannot hang the test. The
// watch ends when it has handled one widget, when its time is up, or when it is destroyed:
// keep it in the test row whose locals the function uses, and it cannot outlive them.
class [[nodiscard]] CTopLevelWatch {
public:
    CTopLevelWatch(const char* className, std::function<void(QWidget*)> fn, int timeoutMs);
    ~CTopLevelWatch();
    CTopLevelWatch(CTopLevelWatch&& other) noexcept;
    CTopLevelWatch& operator=(CTopLevelWatch&& other) noexcept;

private:
    CTopLevelWatcher* m_pWatcher;
};

// A watch for the next message box; a box fn leaves open is rejected.
CTopLevelWatch WhenBoxShown(const std::function<void(QMessageBox*)>& fn, int timeoutMs = 5000);

// A watch for the next QFileDialog, help window...; fn gets it as it is.
CTopLevelWatch WhenTopLevelShown(const char* className, const std::function<void(QWidget*)>& fn,
                                 int timeoutMs = 5000);

// A dark palette as dark desktop themes give it, link colours included.
QPalette DarkPalette();

// The visible top-level widget that inherits className, if there is one.
QWidget* FindTopLevel(const char* className);
// Closes every visible top-level window and forgets calls waiting for the user-interface
// thread, so the next test starts with none.
void CloseTopLevelsAfterTest();

// Answers a file dialog as a user would: types the names (quoted when there are several)
// into its file name field, relative to folder, and presses Enter. For the few tests that
// drive the real dialog; others answer through CFileDialogAnswers.
void TypeIntoFileDialog(QWidget* fileDialog, const QString& folder, const QStringList& names);

// Answers the program's file dialogs instead of showing them, in turn, and records what each
// dialog was when it was asked. A dialog with no answer left is cancelled.
class CFileDialogAnswers {
public:
    CFileDialogAnswers();
    ~CFileDialogAnswers();
    CFileDialogAnswers(const CFileDialogAnswers&) = delete;
    CFileDialogAnswers& operator=(const CFileDialogAnswers&) = delete;

    // The names the next dialog returns, relative to its folder or absolute; none cancels.
    void Next(const QStringList& names) { m_answers.append(names); }

    struct Call {
        QString title;
        QString folder;
        int fileMode;
    };
    QList<Call> calls;

private:
    QList<QStringList> m_answers;
};

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
