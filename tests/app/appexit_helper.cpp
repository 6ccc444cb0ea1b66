// The application closed while its joins run: builds the main window as the application does,
// joins the inputs into out1, then the last input alone into out2 (which waits for the first),
// closes the window by File > Exit while they run (the help window open too), and ends through
// the application's own exit path. Arguments: [--copy stalled|slow] out1 out2 input...
// With --copy the kernel copies of regular files are the test's: "stalled" copies 64 KiB and
// then never returns, as a read on a stalled network file system; "slow" moves 4 KiB every
// 100 ms. A join counts as stalled after 1 s without a byte moved.
// With "--banner host:port" instead, it joins nothing: the window loads its banner from that
// host and is closed as soon as the load has started, while it is under way.
#include "app/CVantrelApp.h"
#include "app/CVantrelDlg.h"
#include "app/HelpWindow.h"
#include "banner/CExplorer1.h"
#include "banner/MakerSite.h"
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/MessageBox.h"
#include "res/resource.h"

#include "join/CJoinThread.h"
#include "join/JoinFiles.h"

#include <QAction>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

JoinKernelCopy s_realCopy = nullptr;

std::ptrdiff_t StalledCopy(int fdIn, int fdOut, std::size_t count) {
    static std::size_t s_nLeft = 64 * 1024;
    if (s_nLeft == 0) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    const std::ptrdiff_t n = s_realCopy(fdIn, fdOut, std::min(count, s_nLeft));
    s_nLeft -= n > 0 ? std::size_t(n) : 0;
    return n;
}

std::ptrdiff_t SlowCopy(int fdIn, int fdOut, std::size_t count) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return s_realCopy(fdIn, fdOut, std::min<std::size_t>(count, 4096));
}

// Runs the events until done holds; a state that has not come in 5 s ends the helper at once.
void WaitUntil(const char* state, const auto& done) {
    if (QTest::qWaitFor(done, 5000))
        return;
    std::fprintf(stderr, "gave up waiting until %s\n", state);
    std::_Exit(4);
}

} // namespace

int main(int argc, char* argv[]) {
    CVantrelApp app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == "--copy") {
        s_realCopy = g_joinKernelCopies.copyRange;
        g_joinKernelCopies = {args.value(1) == "slow" ? SlowCopy : StalledCopy, nullptr};
        CJoinThread::SetStalledJoinMsForTesting(1000);
        args = args.mid(2);
    }
    const bool bBannerOnly = args.value(0) == "--banner";
    if (args.size() < (bBannerOnly ? 2 : 3))
        return 2;
    if (bBannerOnly)
        SetMakerSiteHostForTesting(args[1]);
    // A join that takes the lock first may report while the window is open; none may later.
    bool closed = false;
    int boxes = 0;
    SetMessageBoxHookForTesting([&](const MessageBoxCall&) {
        boxes += closed ? 1 : 0;
        return IDOK;
    });
    {
        CVantrelDlg dlg;
        AfxSetMainWnd(&dlg);
        if (!bBannerOnly) {
            for (const QString& input : args.mid(2)) {
                if (dlg.FileList()->AddFileRow(input) < 0)
                    return 3;
            }
            dlg.SetOutputFile(args[0]);
            dlg.UpdateData(false);
        }
        QTimer::singleShot(0, &dlg, [&] { // once the window's event loop runs
            if (bBannerOnly) {
                WaitUntil("the banner's load starts", [&] { // it makes the pane's loader
                    const QObjectList& kids = dlg.Banner()->children();
                    return std::any_of(kids.begin(), kids.end(),
                                       [](QObject* o) { return o->inherits("BannerLoader"); });
                });
            } else {
                dlg.GetCommandAction(ID_HELP_CONTENTS)->trigger();
                dlg.GetCommandAction(ID_ACTION_JOIN)->trigger();
                // So that the second waits for the first (a free lock is taken for an instant).
                WaitUntil("the first join holds the lock and has its output", [&] {
                    const bool free = g_csJoin.tryLock() ? (g_csJoin.unlock(), true) : false;
                    return !free && QFileInfo::exists(args[0]);
                });
                dlg.FileList()->DeleteAllItems();
                dlg.FileList()->AddFileRow(args.last());
                dlg.SetOutputFile(args[1]);
                dlg.GetCommandAction(ID_ACTION_JOIN)->trigger();
            }
            dlg.GetCommandAction(ID_FILE_EXIT)->trigger(); // the load or both joins under way
        });
        dlg.DoModal();
        AfxSetMainWnd(nullptr);
    }
    closed = true;
    std::printf("window closed\n");
    std::fflush(stdout);
    const int rc = app.ExitInstance();
    int visible = 0;
    for (const QWidget* w : QApplication::topLevelWidgets())
        visible += w->isVisible() ? 1 : 0;
    std::printf("boxes shown %d, windows left %d\n", boxes, visible);
    return rc;
}
