// Helpers shared by the test programs that need no GUI: files, byte patterns, child
// processes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>

// Deterministic bytes of every value, different for each seed.
QByteArray PatternBytes(qsizetype size, quint32 seed);

void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);

#ifdef Q_OS_UNIX // forked children
// Runs fn in a child process and returns what it returned. With asNobody the child first
// drops to the unprivileged user, so permission checks apply even when tests run as root.
std::string RunInChild(const std::function<std::string()>& fn, bool asNobody = false);

// The same, started at once and collected later, so the test can act while the child runs
// and a child that hangs cannot hang the test.
class ChildRun {
public:
    explicit ChildRun(const std::function<std::string()>& fn, bool asNobody = false);
    ~ChildRun(); // kills the child if it is still running
    ChildRun(const ChildRun&) = delete;
    ChildRun& operator=(const ChildRun&) = delete;

    int pid() const { return m_nPid; }
    // What fn returned; "<timed out>" (the child is then killed) or "<child failed>".
    std::string Result(int timeoutMs = -1);

private:
    int m_nPid = -1;
    int m_fd = -1;
};

// A writer on a pipe, for ChildRun: opens it (waiting for a reader), writes everything,
// closes it; returns "wrote all" or what went wrong.
std::function<std::string()> PipeWriter(const QString& pipe, const QByteArray& data);

#endif

// What a helper process did that closes its window while a join runs.
struct HelperRun {
    QString strFailure; // empty when it ran to a normal exit with code 0 in time
    QByteArray out;
    QByteArray err;
};

// Starts the program, waits until it prints "window closed", and then gives it endWithinMs
// to end.
HelperRun RunPastWindowClose(const QString& program, const QStringList& args,
                             int endWithinMs = 3000);
