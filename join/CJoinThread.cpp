#include "join/CJoinThread.h"

#include "join/JoinFiles.h"
#include "platform/core/UiThread.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <mutex>
#include <set>
#include <utility>

QMutex g_csJoin;

namespace {
std::mutex s_liveMutex;
std::set<CJoinThread*> s_live;
int s_nStalledJoinMs = CJoinThread::kStalledJoinMs;
} // namespace

CJoinThread::CJoinThread(JoinRequest joinRequest) : request(std::move(joinRequest)) {
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

bool CJoinThread::InitInstance() {
    return true;
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
    for (const FilePath& path : request.inputPaths)
        inputs.push_back(path.native());
    const JoinResult result = JoinFiles(request.outputPath.native(), inputs);
    if (!result.ok()) {
        // The message quotes paths in the bytes they were given in, so decode it the same way.
        const QString message = DisplayPath(QByteArray::fromStdString(result.message()));
        RunOnUiThread([this, &message] { emit JoinFailed(message); });
    } else {
        RunOnUiThread([this] { emit JoinCompleted(); });
    }
    return 0;
}

int CJoinThread::LiveCount() {
    std::lock_guard lock(s_liveMutex);
    return static_cast<int>(s_live.size());
}

void CJoinThread::SetStalledJoinMsForTesting(int ms) {
    s_nStalledJoinMs = ms;
}

bool CJoinThread::WaitForAll() {
    // First release any worker waiting on this thread, or waiting below would deadlock.
    ShutdownUiThreadCalls();
    // A join of files ends by itself; one on a pipe or device may never.
    StopEndlessJoins();
    std::uint64_t activity = JoinActivity();
    QElapsedTimer still;
    still.start();
    for (;;) {
        CJoinThread* worker = nullptr;
        {
            std::lock_guard lock(s_liveMutex);
            if (s_live.empty())
                return true;
            worker = *s_live.begin();
        }
        if (worker->wait(QDeadlineTimer(qMin(250, s_nStalledJoinMs)))) {
            delete worker; // its pending deleteLater goes with it
            continue;
        }
        if (const std::uint64_t now = JoinActivity(); now != activity) {
            activity = now;
            still.restart();
        } else if (still.hasExpired(s_nStalledJoinMs)) {
            return false;
        }
    }
}
