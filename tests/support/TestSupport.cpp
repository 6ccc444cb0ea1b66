#include "TestSupport.h"

#include "FileDialog.h"
#include "UiThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

QByteArray PatternBytes(qsizetype size, quint32 seed) {
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<char>(x >> 24);
    }
    return data;
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read>");
    return file.readAll();
}

CChildRun::CChildRun(const std::function<std::string()>& fn, bool asNobody) {
    int fds[2];
    if (pipe(fds) != 0)
        qFatal("pipe failed");
    m_pid = fork();
    if (m_pid < 0)
        qFatal("fork failed");
    if (m_pid == 0) {
        ::close(fds[0]);
        std::string result;
        if (asNobody && getuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            const uid_t uid = nobody ? nobody->pw_uid : 65534;
            const gid_t gid = nobody ? nobody->pw_gid : 65534;
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                result = "<cannot drop privileges>";
        }
        if (result.empty())
            result = fn();
        const ssize_t written = ::write(fds[1], result.data(), result.size());
        _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    m_fd = fds[0];
}

CChildRun::~CChildRun() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

std::string CChildRun::Result(int timeoutMs) {
    if (m_pid <= 0)
        return "<child failed>";
    QElapsedTimer elapsed;
    elapsed.start();
    std::string result;
    for (;;) {
        const int left =
            timeoutMs < 0 ? -1 : int(std::max<qint64>(0, timeoutMs - elapsed.elapsed()));
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return "<timed out>"; // the destructor ends the child
        char buf[4096];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.append(buf, static_cast<std::size_t>(n));
    }
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child failed>";
    return result;
}

std::string RunInChild(const std::function<std::string()>& fn, bool asNobody) {
    return CChildRun(fn, asNobody).Result();
}

std::function<std::string()> PipeWriter(const QString& pipe, const QByteArray& data) {
    return [=] {
        std::signal(SIGPIPE, SIG_IGN);
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY);
        if (fd < 0)
            return std::string("open failed");
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
            if (n <= 0)
                return "wrote " + std::to_string(done) + " of " + std::to_string(data.size());
            done += n;
        }
        ::close(fd);
        return std::string("wrote all");
    };
}

CMessageBoxRecorder::CMessageBoxRecorder(int answer) : answer(answer) {
    SetMessageBoxHookForTesting([this](const MessageBoxCall& call) {
        calls.append(call);
        if (onCall)
            onCall(call);
        return this->answer;
    });
}

CMessageBoxRecorder::~CMessageBoxRecorder() {
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

class CTopLevelWatcher : public QObject {
public:
    CTopLevelWatcher(const char* className, std::function<void(QWidget*)> fn, int timeoutMs)
        : m_className(className), m_fn(std::move(fn)), m_nTimeoutMs(timeoutMs) {
        connect(&m_timer, &QTimer::timeout, this, &CTopLevelWatcher::Poll);
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
    : m_pWatcher(new CTopLevelWatcher(className, std::move(fn), timeoutMs)) {}

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

CFileDialogAnswers::CFileDialogAnswers() {
    SetFileDialogHookForTesting([this](const QFileDialog& dialog) {
        calls.append(
            {dialog.windowTitle(), dialog.directory().absolutePath(), int(dialog.fileMode())});
        return m_answers.isEmpty() ? QStringList() : m_answers.takeFirst();
    });
}

CFileDialogAnswers::~CFileDialogAnswers() {
    SetFileDialogHookForTesting({});
}

void ClickThroughWindow(QWidget* widget) {
    QWidget* top = widget->window();
    const QPoint pos = widget->mapTo(top, widget->rect().center());
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, pos);
}

CHelperRun RunPastWindowClose(const QString& program, const QStringList& args, const QString& pipe,
                              const QByteArray& data) {
    CHelperRun run;
    QProcess helper;
    helper.start(program, args);
    if (!helper.waitForStarted())
        return {"did not start", {}, {}};
    QElapsedTimer elapsed;
    elapsed.start();
    while (!run.out.contains("window closed") && helper.state() == QProcess::Running &&
           elapsed.elapsed() < 15000) {
        helper.waitForReadyRead(100);
        run.out += helper.readAllStandardOutput();
    }
    if (!run.out.contains("window closed") || helper.state() != QProcess::Running) {
        run.failure = "the window did not close while the join was still running";
        helper.kill();
        helper.waitForFinished();
        run.err = helper.readAllStandardError();
        return run;
    }
    QFile fifo(pipe);
    if (!fifo.open(QIODevice::WriteOnly) || fifo.write(data) != data.size())
        run.failure = "cannot feed the pipe";
    fifo.close();
    if (!helper.waitForFinished(20000)) {
        run.failure = "did not end";
        helper.kill();
        helper.waitForFinished();
    }
    run.out += helper.readAllStandardOutput();
    run.err = helper.readAllStandardError();
    if (run.failure.isEmpty() &&
        (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0))
        run.failure = QString("ended with exit code %1").arg(helper.exitCode());
    return run;
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
