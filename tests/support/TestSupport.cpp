#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#ifdef Q_OS_UNIX
ChildRun::ChildRun(const std::function<std::string()>& fn, bool asNobody) {
    int fds[2];
    if (pipe(fds) != 0)
        qFatal("pipe failed");
    m_nPid = fork();
    if (m_nPid < 0)
        qFatal("fork failed");
    if (m_nPid == 0) {
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

ChildRun::~ChildRun() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_nPid > 0) {
        kill(m_nPid, SIGKILL);
        waitpid(m_nPid, nullptr, 0);
    }
}

std::string ChildRun::Result(int timeoutMs) {
    if (m_nPid <= 0)
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
    waitpid(m_nPid, &status, 0);
    m_nPid = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "<child failed>";
    return result;
}

std::string RunInChild(const std::function<std::string()>& fn, bool asNobody) {
    return ChildRun(fn, asNobody).Result();
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

#endif

HelperRun RunPastWindowClose(const QString& program, const QStringList& args, int endWithinMs) {
    HelperRun run;
    QProcess helper;
    helper.start(program, args);
    if (!helper.waitForStarted())
        return {"did not start", {}, {}};
    QElapsedTimer elapsed;
    elapsed.start();
    while (!run.out.contains("window closed") && helper.state() == QProcess::Running &&
           elapsed.elapsed() < 15000) {
        QCoreApplication::processEvents(); // a server of the test's own keeps serving
        helper.waitForReadyRead(20);
        run.out += helper.readAllStandardOutput();
    }
    // It may end at once after the close (nothing left to wait for).
    if (!run.out.contains("window closed")) {
        run.strFailure = "the window did not close within 15 s";
        helper.kill();
        helper.waitForFinished();
        run.err = helper.readAllStandardError();
        return run;
    }
    const QDeadlineTimer end(endWithinMs);
    while (helper.state() == QProcess::Running && !end.hasExpired()) {
        QCoreApplication::processEvents();
        helper.waitForFinished(10);
    }
    if (helper.state() == QProcess::Running) {
        run.strFailure = QString("did not end within %1 ms of the window closing").arg(endWithinMs);
        helper.kill();
        helper.waitForFinished();
    }
    run.out += helper.readAllStandardOutput();
    run.err = helper.readAllStandardError();
    if (run.strFailure.isEmpty() &&
        (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0))
        run.strFailure = QString("ended with exit code %1").arg(helper.exitCode());
    return run;
}
