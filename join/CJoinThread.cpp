#include "join/CJoinThread.h"

#include "join/JoinFiles.h"
#include "platform/core/AfxMessageBox.h"
#include "platform/core/LocalPath.h"
#include "platform/core/SendMessage.h"
#include "platform/core/UiThread.h"
#include "res/resource.h"

#include <mutex>
#include <set>

QMutex g_csJoin;

namespace {
std::mutex s_liveMutex;
std::set<CJoinThread*> s_live;
} // namespace

CJoinThread::CJoinThread() {
    {
        std::lock_guard lock(s_liveMutex);
        s_live.insert(this);
    }
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

CJoinThread::~CJoinThread() {
    std::lock_guard lock(s_liveMutex);
    s_live.erase(this);
}

BOOL CJoinThread::InitInstance() {
    return TRUE;
}

int CJoinThread::ExitInstance() {
    return 0;
}

void CJoinThread::run() {
    if (InitInstance())
        Run();
    ExitInstance();
}

int CJoinThread::Run() {
    const QMutexLocker lock(&g_csJoin); // held until the completion has been handled
    std::list<JoinPath> inputs;
    for (const std::string& path : m_lstInputPaths)
        inputs.push_back(NativePath(path));
    const JoinResult result = JoinFiles(NativePath(m_strOutputPath), inputs);
    if (!result.ok()) {
        // The message quotes paths in the bytes they were given in, so decode it the same way.
        AfxMessageBox(DisplayPath(QByteArray::fromStdString(result.message())),
                      MB_OK | MB_ICONEXCLAMATION);
    } else {
        SendMessage(m_hNotifyWnd, WM_COMMAND, MAKEWPARAM(ID_JOIN_COMPLETED, 0), 0);
    }
    return 0;
}

int CJoinThread::LiveCount() {
    std::lock_guard lock(s_liveMutex);
    return static_cast<int>(s_live.size());
}

void CJoinThread::WaitForAll() {
    // First release any worker waiting on this thread, or waiting below would deadlock.
    ShutdownUiThreadCalls();
    // A join of files ends by itself; one on a pipe or device may never.
    StopEndlessJoins();
    for (;;) {
        CJoinThread* worker = nullptr;
        {
            std::lock_guard lock(s_liveMutex);
            if (s_live.empty())
                return;
            worker = *s_live.begin();
        }
        worker->wait();
        delete worker; // its pending deleteLater goes with it
    }
}
