#include "TestSupport.h"

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

#include <grp.h>
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

std::string RunInChild(const std::function<std::string()>& fn, bool asNobody) {
    int fds[2];
    if (pipe(fds) != 0)
        qFatal("pipe failed");
    const pid_t pid = fork();
    if (pid == 0) {
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
    std::string result;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        result.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child failed>";
    return result;
}

CMessageBoxRecorder::CMessageBoxRecorder(int answer) : answer(answer) {
    SetMessageBoxHook([this](const MessageBoxCall& call) {
        calls.append(call);
        if (onCall)
            onCall(call);
        return this->answer;
    });
}

CMessageBoxRecorder::~CMessageBoxRecorder() {
    SetMessageBoxHook({});
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

void WhenTopLevelShown(const char* className, const std::function<void(QWidget*)>& fn,
                       int timeoutMs) {
    auto* timer = new QTimer(qApp);
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    const QByteArray name(className);
    QObject::connect(timer, &QTimer::timeout, [timer, elapsed, fn, timeoutMs, name] {
        QWidget* widget = FindTopLevel(name.constData());
        if (widget == nullptr && elapsed->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete elapsed;
        if (widget == nullptr)
            return;
        QPointer<QWidget> guard(widget);
        fn(widget);
        if (guard && guard->isVisible())
            guard->close();
    });
    timer->start(10);
}

void WhenBoxShown(const std::function<void(QMessageBox*)>& fn, int timeoutMs) {
    WhenTopLevelShown(
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
