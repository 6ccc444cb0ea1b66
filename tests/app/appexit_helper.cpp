// The application closed while its join runs: builds the main window as the application does,
// lists the inputs, joins into the output, closes the window by File > Exit while the join is
// still running (the help window open too), and ends through the application's own exit path.
// Arguments: output input...
// With "--banner host:port" instead, it joins nothing: the window loads its banner from that
// host and is closed after a second, while the load is still under way.
#include "app/CHelpWindow.h"
#include "app/CVantrelApp.h"
#include "app/CVantrelDlg.h"
#include "banner/MakerSite.h"
#include "listview/CFlatListCtrl.h"
#include "platform/widgets/MessageBox.h"
#include "res/resource.h"

#include <QAction>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    CVantrelApp app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return 2;
    const bool bBannerOnly = args[0] == "--banner";
    if (bBannerOnly)
        SetMakerSiteHostForTesting(args[1]);
    int boxes = 0;
    SetMessageBoxHookForTesting([&](const MessageBoxCall&) {
        ++boxes;
        return IDOK;
    });
    {
        CVantrelDlg dlg;
        AfxSetMainWnd(&dlg);
        if (bBannerOnly) {
            QTimer::singleShot(1000, &dlg, [&] { dlg.GetCommandAction(ID_FILE_EXIT)->trigger(); });
        } else {
            for (const QString& input : args.mid(1)) {
                if (dlg.FileList()->AddFileRow(input) < 0)
                    return 3;
            }
            dlg.SetOutputFile(args[0]);
            dlg.UpdateData(FALSE);
            QTimer::singleShot(100, &dlg, [&] {
                dlg.GetCommandAction(ID_HELP_CONTENTS)->trigger();
                dlg.GetCommandAction(ID_ACTION_JOIN)->trigger();
            });
            QTimer::singleShot(300, &dlg, [&] { dlg.GetCommandAction(ID_FILE_EXIT)->trigger(); });
        }
        dlg.DoModal();
        AfxSetMainWnd(nullptr);
    }
    std::printf("window closed\n");
    std::fflush(stdout);
    const int rc = app.ExitInstance();
    int visible = 0;
    for (const QWidget* w : QApplication::topLevelWidgets())
        visible += w->isVisible() ? 1 : 0;
    std::printf("boxes shown %d, windows left %d\n", boxes, visible);
    return rc;
}
