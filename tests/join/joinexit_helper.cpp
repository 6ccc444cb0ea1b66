// A process that closes its window while joins are running or waiting and then ends as the
// application does. Arguments: out1 out2 input... ; joins the inputs into out1, then the last input
// into out2.
#include "join/CJoinThread.h"
#include "platform/core/SendMessage.h"
#include "platform/widgets/MessageBox.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

int s_nBoxes = 0;

class CWindow : public QWidget, public ICommandTarget {
public:
    BOOL OnCommand(WPARAM, LPARAM) override {
        ++commands;
        return TRUE;
    }
    int commands = 0;
};

void Start(QWidget* window, const QString& output, const QStringList& inputs) {
    auto* worker = new CJoinThread;
    for (const QString& input : inputs)
        worker->m_lstInputPaths.push_back(input.toStdString());
    worker->m_hNotifyWnd = window;
    worker->m_strOutputPath = output.toStdString();
    worker->ResumeThread();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallMessageBoxes();
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3)
        return 2;
    SetMessageBoxHookForTesting([](const MessageBoxCall&) {
        ++s_nBoxes;
        return IDOK;
    });

    int commands = 0;
    int commandsAtClose = 0;
    {
        CWindow window;
        AfxSetMainWnd(&window);
        window.show();
        Start(&window, args[0], args.mid(2));
        // Mostly after the first has taken the lock, so it is still waiting at the close.
        QTimer::singleShot(50, &window, [&] { Start(&window, args[1], {args.last()}); });
        // A join that took the lock first may report while the window is still open; none may
        // once it has closed.
        QTimer::singleShot(200, &window, [&] {
            commandsAtClose = window.commands;
            window.close();
        });
        QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
        app.exec();
        commands = window.commands;
    }
    std::printf("window closed\n");
    std::fflush(stdout);

    CJoinThread::WaitForAll();
    std::printf("boxes %d late commands %d\n", s_nBoxes, commands - commandsAtClose);
    return 0;
}
