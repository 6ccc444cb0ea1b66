// The worker thread that performs one join and reports how it went.
#pragma once

#include "platform/core/WinTypes.h"

#include <QMutex>
#include <QThread>

#include <list>
#include <string>

// Lets only one join write at a time. A worker holds it from the start of its join until its
// completion has been handled; the user-interface thread never takes it.
extern QMutex g_csJoin;

class CJoinThread : public QThread {
    Q_OBJECT

public:
    // Created suspended: fill the fields, then ResumeThread(). From then on the worker owns
    // itself and is deleted when its thread ends.
    CJoinThread();
    ~CJoinThread() override;

    std::string m_strOutputPath;
    std::list<std::string> m_lstInputPaths; // the front is joined first
    HWND m_hNotifyWnd;

    void ResumeThread() { start(QThread::NormalPriority); }

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // At application exit, on the user-interface thread once the main window has gone: stops
    // serving workers (no box, no completion from here on), stops the joins that read or write a
    // pipe or device, waits until every other join that was started has written its output,
    // then deletes the workers.
    static void WaitForAll();

    // How many workers exist, started or not.
    static int LiveCount();

protected:
    void run() override;
};
