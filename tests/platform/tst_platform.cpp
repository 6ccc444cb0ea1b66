// Message boxes and calls handed to the user-interface thread: who may use a window while a box
// is up, and that nothing waits forever at exit. File names kept as the system gives them.
#include "platform/core/FilePath.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/MessageBox.h"
#include "tests/support/GuiTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <future>
#include <thread>

namespace {

class TestWindow : public QWidget {
public:
    TestWindow() {
        pButton = new QPushButton("Press", this);
        pButton->setGeometry(10, 10, 80, 30);
        resize(200, 100);
    }
    QPushButton* pButton;
};

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void boxButtonsAndIcons_data();
    void boxButtonsAndIcons();
    void ownerlessBoxLeavesWindowsUsable();
    void ownedBoxBlocksItsOwner();
    void afxMessageBoxFromWorkerIsOwnedByMainWindow();
    void boxesAfterShutdownAreNotShown();

    void shutdownReleasesWaitingWorker();

    void windowsNamesKeepEveryUnit_data();
    void windowsNamesKeepEveryUnit();
};

void TestPlatform::cleanup() {
    ResetUiThreadCallsForTesting();
    AfxSetMainWnd(nullptr);
    QTRY_VERIFY(FindOpenBox() == nullptr);
}

void TestPlatform::boxButtonsAndIcons_data() {
    QTest::addColumn<UINT>("type");
    QTest::addColumn<int>("button"); // pressed, or -1 for Esc
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("kind"); // what a screen reader hears for the icon

    QTest::newRow("OK") << MB_OK << int(QMessageBox::Ok) << IDOK << int(QMessageBox::NoIcon) << "";
    QTest::newRow("Yes") << (MB_YESNO | MB_ICONQUESTION) << int(QMessageBox::Yes) << IDYES
                         << int(QMessageBox::Question) << "Question";
    QTest::newRow("No") << (MB_YESNO | MB_ICONQUESTION) << int(QMessageBox::No) << IDNO
                        << int(QMessageBox::Question) << "Question";
    QTest::newRow("Esc on a question")
        << (MB_YESNO | MB_ICONQUESTION) << -1 << IDNO << int(QMessageBox::Question) << "Question";
    QTest::newRow("exclamation") << (MB_OK | MB_ICONEXCLAMATION) << int(QMessageBox::Ok) << IDOK
                                 << int(QMessageBox::Warning) << "Warning";
    QTest::newRow("stop") << (MB_OK | MB_ICONHAND) << int(QMessageBox::Ok) << IDOK
                          << int(QMessageBox::Critical) << "Error";
}

void TestPlatform::boxButtonsAndIcons() {
    QFETCH(UINT, type);
    QFETCH(int, button);
    QFETCH(int, answer);
    QFETCH(int, icon);
    QFETCH(QString, kind);

    bool checked = false;
    const CTopLevelWatch watch = WhenBoxShown([&](QMessageBox* box) {
        QCOMPARE(box->windowTitle(), QString("Caption"));
        QCOMPARE(box->text(), QString("Text"));
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(QAccessible::queryAccessibleInterface(box)->text(QAccessible::Description), kind);
        if (button < 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            QTest::mouseClick(box->button(QMessageBox::StandardButton(button)), Qt::LeftButton);
        checked = true;
    });
    QCOMPARE(MessageBox(nullptr, "Text", "Caption", type), answer);
    QVERIFY(checked);
}

void TestPlatform::ownerlessBoxLeavesWindowsUsable() {
    TestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int presses = 0;
    connect(window.pButton, &QPushButton::clicked, [&] { ++presses; });

    const CTopLevelWatch watch = WhenBoxShown([&](QMessageBox* box) {
        QCOMPARE(box->windowModality(), Qt::NonModal);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        ClickThroughWindow(window.pButton);
        QCOMPARE(presses, 1); // the window took the click while the box was up
        box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(MessageBox(nullptr, "Notice", "Vantrel", MB_OK), IDOK);
    QCOMPARE(presses, 1);
}

void TestPlatform::ownedBoxBlocksItsOwner() {
    TestWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int presses = 0;
    connect(window.pButton, &QPushButton::clicked, [&] { ++presses; });

    const CTopLevelWatch watch = WhenBoxShown([&](QMessageBox* box) {
        QCOMPARE(box->parentWidget(), &window);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        ClickThroughWindow(window.pButton);
        QCOMPARE(presses, 0);
        box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(MessageBox(&window, "Blocked", "Vantrel", MB_OK | MB_ICONEXCLAMATION), IDOK);
}

void TestPlatform::afxMessageBoxFromWorkerIsOwnedByMainWindow() {
    TestWindow window;
    AfxSetMainWnd(&window);
    MessageBoxRecorder recorder(IDYES);
    bool hookOnUiThread = false;
    recorder.onCall = [&](const MessageBoxCall&) { hookOnUiThread = IsUiThread(); };

    auto answer =
        std::async(std::launch::async, [] { return AfxMessageBox("From a worker", MB_YESNO); });
    QTRY_COMPARE(answer.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    QCOMPARE(answer.get(), IDYES);
    QCOMPARE(recorder.calls.size(), 1);
    QCOMPARE(recorder.calls[0].owner.data(), &window);
    QCOMPARE(recorder.calls[0].strCaption, QString("Vantrel"));
    QCOMPARE(recorder.calls[0].strText, QString("From a worker"));
    QVERIFY(hookOnUiThread);
}

void TestPlatform::boxesAfterShutdownAreNotShown() {
    MessageBoxRecorder recorder(IDYES);
    ShutdownUiThreadCalls();
    auto answer =
        std::async(std::launch::async, [] { return AfxMessageBox("Too late", MB_YESNO); });
    QCOMPARE(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    QCOMPARE(answer.get(), IDNO);
    QCOMPARE(MessageBox(nullptr, "Too late", "Vantrel", MB_OK), IDOK);
    QVERIFY(recorder.calls.isEmpty());
}

void TestPlatform::shutdownReleasesWaitingWorker() {
    // The worker waits for a user-interface thread that is busy; the application then ends
    // without ever getting to the request.
    bool ran = false;
    std::thread worker([&] { RunOnUiThread([&] { ran = true; }); });
    // No events are processed here, so the request stays queued.
    while (WaitingUiThreadCallsForTesting() == 0)
        QThread::yieldCurrentThread();
    ShutdownUiThreadCalls();
    worker.join(); // would hang if the request were still waited for
    QCoreApplication::processEvents();
    QVERIFY(!ran);
}

void TestPlatform::windowsNamesKeepEveryUnit_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("a pair") << QStringLiteral("C:\\\U0001F600.bin");
    QTest::newRow("unpaired high") << QStringLiteral("C:\\x%1.bin").arg(QChar(0xD800));
    QTest::newRow("unpaired low, then high")
        << QStringLiteral("C:\\%1%2").arg(QChar(0xDC00), QChar(0xDBFF));
}

void TestPlatform::windowsNamesKeepEveryUnit() {
#ifndef Q_OS_WIN
    QSKIP("names are bytes here (POSIX)");
#else
    QFETCH(QString, name);
    const std::optional<FilePath> path = FilePath::fromText(name);
    QVERIFY(path);
    QCOMPARE(path->native(), name.toStdWString());
    QCOMPARE(path->text(), name);
    QVERIFY(path->isExactlyShown());
    QCOMPARE(FilePath::fromBytes(path->bytes())->text(), name);
#endif
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
