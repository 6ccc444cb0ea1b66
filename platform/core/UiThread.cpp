#include "platform/core/UiThread.h"

#include <QCoreApplication>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

namespace {

struct PendingCall {
    std::mutex mutex;
    std::condition_variable cv;
    bool bFinished = false;
    bool bRan = false;
};

std::mutex s_mutex;
std::set<std::shared_ptr<PendingCall>> s_pending;
bool s_bShutDown = false;
std::function<void()> s_shutdownHook; // user-interface thread only

void Finish(const std::shared_ptr<PendingCall>& call, bool ran) {
    {
        std::lock_guard lock(call->mutex);
        call->bFinished = true;
        call->bRan = ran;
    }
    call->cv.notify_all();
}

} // namespace

bool IsUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool IsUiShutDown() {
    std::lock_guard lock(s_mutex);
    return s_bShutDown;
}

bool RunOnUiThread(const std::function<void()>& fn) {
    if (IsUiThread()) {
        if (IsUiShutDown())
            return false;
        fn();
        return true;
    }

    auto call = std::make_shared<PendingCall>();
    {
        std::lock_guard lock(s_mutex);
        if (s_bShutDown || QCoreApplication::instance() == nullptr)
            return false;
        s_pending.insert(call);
    }
    // fn is captured by reference: the caller waits below until it has run or been dropped.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [call, &fn] {
            {
                std::lock_guard lock(s_mutex);
                // Shutdown already released the caller; its frame may be gone.
                if (s_pending.erase(call) == 0)
                    return;
            }
            fn();
            Finish(call, true);
        },
        Qt::QueuedConnection);

    std::unique_lock lock(call->mutex);
    call->cv.wait(lock, [&] { return call->bFinished; });
    return call->bRan;
}

void ShutdownUiThreadCalls() {
    std::set<std::shared_ptr<PendingCall>> pending;
    {
        std::lock_guard lock(s_mutex);
        s_bShutDown = true;
        pending.swap(s_pending);
    }
    for (const auto& call : pending)
        Finish(call, false);
    if (s_shutdownHook)
        s_shutdownHook();
}

void SetUiShutdownHook(std::function<void()> hook) {
    s_shutdownHook = std::move(hook);
}

int WaitingUiThreadCallsForTesting() {
    std::lock_guard lock(s_mutex);
    return static_cast<int>(s_pending.size());
}

void ResetUiThreadCallsForTesting() {
    std::lock_guard lock(s_mutex);
    s_bShutDown = false;
}
