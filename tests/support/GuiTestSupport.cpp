#include "tests/support/GuiTestSupport.h"

#include "platform/core/UiThread.h"
#include "platform/widgets/FileDialog.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <utility>

MessageBoxRecorder::MessageBoxRecorder(int nAnswer) : nAnswer(nAnswer) {
    SetMessageBoxHookForTesting([this](const MessageBoxCall& call) {
        calls.append(call);
        if (onCall)
            onCall(call);
        return this->nAnswer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHookForTesting({});
}

void CloseTopLevelsAfterTest() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            w->close();
    }
    ResetUiThreadCallsForTesting();
}

QWidget* FindTopLevel(const char* className) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->inherits(className))
            return w;
    }
    return nullptr;
}

QMessageBox* FindOpenBox() {
    return static_cast<QMessageBox*>(FindTopLevel("QMessageBox"));
}

class TopLevelWatcher : public QObject {
public:
    TopLevelWatcher(const char* className, std::function<void(QWidget*)> fn, int timeoutMs)
        : m_className(className), m_fn(std::move(fn)), m_nTimeoutMs(timeoutMs) {
        connect(&m_timer, &QTimer::timeout, this, &TopLevelWatcher::Poll);
        m_elapsed.start();
        m_timer.start(10);
    }

    // Ends the watch: deleted at once, or once its function has returned if it is running.
    void End() {
        m_timer.stop();
        if (m_bRunning)
            m_bEnded = true; // Poll deletes it when the function returns
        else
            delete this;
    }

private:
    void Poll() {
        QWidget* widget = FindTopLevel(m_className.constData());
        if (widget == nullptr && m_elapsed.elapsed() < m_nTimeoutMs)
            return;
        m_timer.stop();
        if (widget == nullptr)
            return;
        QPointer<QWidget> guard(widget);
        m_bRunning = true;
        m_fn(widget);
        m_bRunning = false;
        if (guard && guard->isVisible())
            guard->close();
        if (m_bEnded)
            deleteLater(); // still inside the timer's signal
    }

    const QByteArray m_className;
    const std::function<void(QWidget*)> m_fn;
    const int m_nTimeoutMs;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    bool m_bRunning = false;
    bool m_bEnded = false;
};

CTopLevelWatch::CTopLevelWatch(const char* className, std::function<void(QWidget*)> fn,
                               int timeoutMs)
    : m_pWatcher(new TopLevelWatcher(className, std::move(fn), timeoutMs)) {}

CTopLevelWatch::~CTopLevelWatch() {
    if (m_pWatcher != nullptr)
        m_pWatcher->End();
}

CTopLevelWatch::CTopLevelWatch(CTopLevelWatch&& other) noexcept
    : m_pWatcher(std::exchange(other.m_pWatcher, nullptr)) {}

CTopLevelWatch& CTopLevelWatch::operator=(CTopLevelWatch&& other) noexcept {
    if (this != &other) {
        if (m_pWatcher != nullptr)
            m_pWatcher->End();
        m_pWatcher = std::exchange(other.m_pWatcher, nullptr);
    }
    return *this;
}

CTopLevelWatch WhenTopLevelShown(const char* className, const std::function<void(QWidget*)>& fn,
                                 int timeoutMs) {
    return CTopLevelWatch(className, fn, timeoutMs);
}

CTopLevelWatch WhenBoxShown(const std::function<void(QMessageBox*)>& fn, int timeoutMs) {
    return WhenTopLevelShown(
        "QMessageBox",
        [fn](QWidget* box) {
            QPointer<QWidget> guard(box);
            fn(static_cast<QMessageBox*>(box));
            if (guard && guard->isVisible())
                static_cast<QMessageBox*>(guard.data())->reject();
        },
        timeoutMs);
}

void TypeIntoFileDialog(QWidget* fileDialog, const QString& folder, const QStringList& names) {
    auto* dialog = qobject_cast<QFileDialog*>(fileDialog);
    if (dialog == nullptr)
        qFatal("not a file dialog");
    dialog->setDirectory(folder);
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (edit == nullptr)
        qFatal("the file dialog has no file name field");
    QString text;
    if (names.size() == 1) {
        text = names.first();
    } else {
        for (const QString& name : names)
            text += QStringLiteral("\"%1\" ").arg(name);
    }
    edit->setFocus();
    edit->setText(text.trimmed());
    QTest::keyClick(edit, Qt::Key_Return);
}

FileDialogAnswers::FileDialogAnswers() {
    SetFileDialogHookForTesting([this](const QFileDialog& dialog) {
        calls.append(
            {dialog.windowTitle(), dialog.directory().absolutePath(), int(dialog.fileMode())});
        return m_answers.isEmpty() ? QStringList() : m_answers.takeFirst();
    });
}

FileDialogAnswers::~FileDialogAnswers() {
    SetFileDialogHookForTesting({});
}

void ClickThroughWindow(QWidget* widget) {
    QWidget* top = widget->window();
    const QPoint pos = widget->mapTo(top, widget->rect().center());
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, pos);
}

QPalette DarkPalette() {
    QPalette pal;
    const QColor window(45, 48, 54), base(28, 30, 34), text(226, 228, 232);
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, base);
    pal.setColor(QPalette::AlternateBase, window);
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Button, QColor(58, 62, 70));
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::Light, QColor(92, 98, 110));
    pal.setColor(QPalette::Midlight, QColor(72, 76, 86));
    pal.setColor(QPalette::Mid, QColor(40, 42, 48));
    pal.setColor(QPalette::Dark, QColor(20, 21, 24));
    pal.setColor(QPalette::Shadow, Qt::black);
    pal.setColor(QPalette::Highlight, QColor(42, 110, 190));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::ToolTipBase, window);
    pal.setColor(QPalette::ToolTipText, text);
    pal.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    // A dark theme's own link colours.
    pal.setColor(QPalette::Link, QColor(61, 174, 233));
    pal.setColor(QPalette::LinkVisited, QColor(155, 89, 182));
    return pal;
}

QStringList RowNames(const QTableWidget* list) {
    QStringList names;
    for (int i = 0; i < list->rowCount(); ++i)
        names << QFileInfo(list->item(i, 0) ? list->item(i, 0)->text() : QString()).fileName();
    return names;
}

QPoint RowPoint(const QTableWidget* table, const QWidget* window, int nRow, int x) {
    const int y = table->rowViewportPosition(nRow) + table->rowHeight(nRow) / 2;
    return table->viewport()->mapTo(window, QPoint(x, y));
}

DropResult DropOnto(QAbstractScrollArea& view, const QMimeData& data, Qt::DropActions offered) {
    const QPoint pt(30, 10);
    QDragEnterEvent enter(pt, offered, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &enter);
    if (!enter.isAccepted())
        return {false, enter.dropAction()};
    QDragMoveEvent move(pt + QPoint(5, 5), offered, &data, Qt::LeftButton, {});
    QApplication::sendEvent(view.viewport(), &move);
    QDropEvent drop(pt + QPoint(5, 5), offered, &data, Qt::NoButton, {});
    QApplication::sendEvent(view.viewport(), &drop);
    return {true, enter.dropAction(), drop.isAccepted(), drop.dropAction()};
}
