// Helpers for the test programs that drive widgets: message boxes and file dialogs answered
// by the test, watches for windows, a dark palette, rows, drops and pixels.
#pragma once

#include "platform/widgets/MessageBox.h"

#include <QImage>
#include <QList>
#include <QPalette>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

// Answers message boxes instead of showing them and records what was asked.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int nAnswer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QList<MessageBoxCall> calls;
    int nAnswer;
    std::function<void(const MessageBoxCall&)> onCall; // runs while the box is "up"
};

class QMessageBox;
class QWidget;
class TopLevelWatcher;

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
    TopLevelWatcher* m_pWatcher;
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
// drive the real dialog; others answer through FileDialogAnswers.
void TypeIntoFileDialog(QWidget* fileDialog, const QString& folder, const QStringList& names);

// Answers the program's file dialogs instead of showing them, in turn, and records what each
// dialog was when it was asked. A dialog with no answer left is cancelled.
class FileDialogAnswers {
public:
    FileDialogAnswers();
    ~FileDialogAnswers();
    FileDialogAnswers(const FileDialogAnswers&) = delete;
    FileDialogAnswers& operator=(const FileDialogAnswers&) = delete;

    // The names the next dialog returns, relative to its folder or absolute; none cancels.
    void Next(const QStringList& names) { m_answers.append(names); }

    struct Call {
        QString strTitle;
        QString strFolder;
        int nFileMode;
    };
    QList<Call> calls;

private:
    QList<QStringList> m_answers;
};

// The visible message box, if there is one.
QMessageBox* FindOpenBox();

// A click that goes through the window system, where modality is enforced.
void ClickThroughWindow(QWidget* widget);

class QAbstractScrollArea;
class QMimeData;
class QTableWidget;

// The file names in the rows' first column, top to bottom.
QStringList RowNames(const QTableWidget* list);
// The middle of a row, at x in the viewport, in window's coordinates (an ancestor's).
QPoint RowPoint(const QTableWidget* table, const QWidget* window, int nRow, int x = 40);
struct DropResult {
    bool bEnterAccepted = false;
    Qt::DropAction enterAction = Qt::IgnoreAction;
    bool bDropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};
// A drag from outside that enters the view, moves over it and is dropped.
DropResult DropOnto(QAbstractScrollArea& view, const QMimeData& data, Qt::DropActions offered);

// A pixel's colour without its alpha, as qRgb gives it.
inline QRgb Px(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}
