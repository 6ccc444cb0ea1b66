// The worker thread that performs one join and reports how it went.
#pragma once

#include "platform/core/FilePath.h"

#include <QList>
#include <QMutex>
#include <QThread>

// Lets only one join write at a time. A worker holds it from the start of its join until its
// completion has been handled; the user-interface thread never takes it.
extern QMutex g_csJoin;

// What one join writes: the inputs, front first, into the output.
struct JoinRequest {
    FilePath outputPath;
    QList<FilePath> inputPaths;
};

class CJoinThread : public QThread {
    Q_OBJECT

public:
    // Created suspended: connect to JoinCompleted and JoinFailed, then ResumeThread(). From then
    // on the worker owns itself and is deleted when its thread ends.
    explicit CJoinThread(JoinRequest joinRequest);
    ~CJoinThread() override;

    void ResumeThread() { start(QThread::NormalPriority); }

    virtual bool InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // At application exit, on the user-interface thread once the main window has gone: stops
    // serving workers (no box, no completion from here on), stops the joins that read or write a
    // pipe or device, waits until every other join that was started has written its output,
    // then deletes the workers. Gives up, returning false, once no join has moved a byte for
    // kStalledJoinMs (a read that blocks on a stalled network or user-space file system cannot
    // be woken): the workers left are then still running, and the process must end without
    // them, their outputs as far as they got.
    static bool WaitForAll();
    static constexpr int kStalledJoinMs = 10000;
    static void SetStalledJoinMsForTesting(int ms);

    // How many workers exist, started or not.
    static int LiveCount();

signals:
    // Every input has been written. Emitted on the user-interface thread while the worker waits,
    // still holding g_csJoin, until the receivers have returned; not at all once the user
    // interface has shut down.
    void JoinCompleted();
    // The join stopped, for the reason message gives (its paths as they were given). Emitted
    // instead of JoinCompleted, in the same way.
    void JoinFailed(const QString& message);

protected:
    void run() override;

private:
    const JoinRequest request;
};
