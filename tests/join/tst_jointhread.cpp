// The join worker with a window to report to: completion, failure boxes, one join at a time,
// and a process that ends while a join is still running.
#include "join/CJoinThread.h"
#include "join/JoinFiles.h"
#include "platform/core/LocalPath.h"
#include "platform/core/SendMessage.h"
#include "platform/core/UiThread.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

class CTestWindow : public QWidget, public ICommandTarget {
public:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.append({wParam, lParam});
        allOnUiThread = allOnUiThread && IsUiThread();
        if (onCompleted)
            onCompleted();
        return TRUE;
    }
    QList<QPair<WPARAM, LPARAM>> commands;
    bool allOnUiThread = true;
    std::function<void()> onCompleted;
};

QPointer<CJoinThread> StartJoin(QWidget* window, const QString& output, const QStringList& inputs) {
    auto* worker = new CJoinThread;
    for (const QString& input : inputs)
        worker->m_lstInputPaths.push_back(PathBytes(input).toStdString());
    worker->m_hNotifyWnd = window;
    worker->m_strOutputPath = PathBytes(output).toStdString();
    QPointer<CJoinThread> guard(worker);
    worker->ResumeThread();
    return guard;
}

} // namespace

class TestJoinThread : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init();
    void cleanup();

    void completionIsSentOnceTheJoinIsDone_data();
    void completionIsSentOnceTheJoinIsDone();
    void failureShowsBoxOwnedByMainWindowAndNoCompletion();
    void failureBoxIsARealBoxOnTheWindow();
    void joinAfterAFailedOneRunsNormally();
    void secondJoinWritesOnlyAfterFirstCompletionWasHandled();
    void processEndsCleanlyWhileAJoinRuns_data();
    void processEndsCleanlyWhileAJoinRuns();
};

void TestJoinThread::init() {
    QVERIFY(m_dir.isValid());
}

void TestJoinThread::cleanup() {
    QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    AfxSetMainWnd(nullptr);
}

void TestJoinThread::completionIsSentOnceTheJoinIsDone_data() {
    QTest::addColumn<QList<QByteArray>>("contents");
    QTest::newRow("no inputs") << QList<QByteArray>{};
    QTest::newRow("empty input") << QList<QByteArray>{""};
    QTest::newRow("4097 and 3 MiB bytes")
        << QList<QByteArray>{PatternBytes(4097, 1), PatternBytes(3 << 20, 2)};
}

void TestJoinThread::completionIsSentOnceTheJoinIsDone() {
    QFETCH(QList<QByteArray>, contents);
    CTestWindow window;
    AfxSetMainWnd(&window);
    CMessageBoxRecorder boxes;

    QStringList inputs;
    QByteArray expected;
    for (int i = 0; i < contents.size(); ++i) {
        inputs << Path(QString("in%1").arg(i));
        WriteFile(inputs.last(), contents[i]);
        expected += contents[i];
    }
    const QString output = Path("out");
    QByteArray outputAtCompletion = "<not completed>";
    window.onCompleted = [&] { outputAtCompletion = ReadFile(output); };

    QPointer<CJoinThread> worker = StartJoin(&window, output, inputs);
    QTRY_VERIFY(worker.isNull()); // it deleted itself when its thread ended
    QCOMPARE(window.commands.size(), 1);
    QCOMPARE(LOWORD(window.commands[0].first), WORD(ID_JOIN_COMPLETED));
    QCOMPARE(HIWORD(window.commands[0].first), WORD(0));
    QCOMPARE(window.commands[0].second, LPARAM(0));
    QVERIFY(window.allOnUiThread);
    QCOMPARE(outputAtCompletion, expected); // whole and closed before the notice
    QVERIFY(boxes.calls.isEmpty());
}

void TestJoinThread::failureShowsBoxOwnedByMainWindowAndNoCompletion() {
    CTestWindow window;
    AfxSetMainWnd(&window);
    CMessageBoxRecorder boxes;
    bool lockHeldWhileBoxUp = false;
    boxes.onCall = [&](const MessageBoxCall&) {
        lockHeldWhileBoxUp = !g_csJoin.tryLock();
        if (!lockHeldWhileBoxUp)
            g_csJoin.unlock();
    };

    QPointer<CJoinThread> worker = StartJoin(&window, Path("missing/out"), {});
    QTRY_VERIFY(worker.isNull());
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].text, QString("File not found"));
    QCOMPARE(boxes.calls[0].caption, QString("Vantrel"));
    QCOMPARE(boxes.calls[0].type, MB_OK | MB_ICONEXCLAMATION);
    QCOMPARE(boxes.calls[0].owner.data(), &window);
    QVERIFY(lockHeldWhileBoxUp);
    QVERIFY(window.commands.isEmpty());
}

void TestJoinThread::failureBoxIsARealBoxOnTheWindow() {
    CTestWindow window;
    window.resize(300, 200);
    window.show();
    AfxSetMainWnd(&window);

    bool answered = false;
    QPointer<CJoinThread> worker;
    const CTopLevelWatch watch = WhenBoxShown([&](QMessageBox* box) {
        QCOMPARE(box->parentWidget(), &window);
        QCOMPARE(box->text(), QString("File not found"));
        QCOMPARE(box->windowTitle(), QString("Vantrel"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QTest::qWait(100);
        QVERIFY(!worker.isNull()); // waits for the user
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        answered = true;
    });
    worker = StartJoin(&window, Path("missing/out"), {});
    QTRY_VERIFY(answered);
    QTRY_VERIFY(worker.isNull());
    QVERIFY(window.commands.isEmpty());
}

void TestJoinThread::joinAfterAFailedOneRunsNormally() {
    CTestWindow window;
    AfxSetMainWnd(&window);
    CMessageBoxRecorder boxes;
    const QString input = Path("in");
    WriteFile(input, "abc");

    QPointer<CJoinThread> failed = StartJoin(&window, Path("missing/out"), {input});
    QTRY_VERIFY(failed.isNull());
    QPointer<CJoinThread> next = StartJoin(&window, Path("out"), {input, input});
    QTRY_VERIFY(next.isNull());
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(window.commands.size(), 1);
    QCOMPARE(ReadFile(Path("out")), QByteArray("abcabc"));
}

void TestJoinThread::secondJoinWritesOnlyAfterFirstCompletionWasHandled() {
    CTestWindow window;
    AfxSetMainWnd(&window);
    CMessageBoxRecorder boxes;
    const QByteArray data = PatternBytes(8 << 20, 3);
    const QString input = Path("in"), out1 = Path("out1"), out2 = Path("out2");
    WriteFile(input, data);
    WriteFile(out1, "sentinel");
    WriteFile(out2, "sentinel");

    // Which waiting worker takes the lock first is not promised; whichever reports first,
    // the other must not have touched its output while the report is being handled.
    QList<QByteArray> othersOutputDuringHandling;
    window.onCompleted = [&] {
        if (window.commands.size() != 1)
            return;
        const bool firstWasOut1 = ReadFile(out1) == data;
        const QString other = firstWasOut1 ? out2 : out1;
        QTest::qWait(300); // the other join had every chance to start
        othersOutputDuringHandling << ReadFile(other);
    };
    QPointer<CJoinThread> w1 = StartJoin(&window, out1, {input});
    QPointer<CJoinThread> w2 = StartJoin(&window, out2, {input});
    QTRY_VERIFY(w1.isNull() && w2.isNull());

    QCOMPARE(window.commands.size(), 2);
    QCOMPARE(othersOutputDuringHandling.value(0), QByteArray("sentinel"));
    QCOMPARE(ReadFile(out1), data);
    QCOMPARE(ReadFile(out2), data);
    QVERIFY(boxes.calls.isEmpty());
}

void TestJoinThread::processEndsCleanlyWhileAJoinRuns_data() {
    // Names: "pipe" is made a named pipe; "head" and "tail" hold data.
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("outputLeft"); // what the stopped join left, of head and tail
    QTest::newRow("pipe input with no writer")
        << "out1" << QStringList{"head", "pipe", "tail"} << "head";
    QTest::newRow("pipe output with no reader") << "pipe" << QStringList{"head", "tail"} << "";
    QTest::newRow("endless device input") << "/dev/null" << QStringList{"/dev/zero", "tail"} << "";
}

void TestJoinThread::processEndsCleanlyWhileAJoinRuns() {
#ifndef Q_OS_UNIX
    QSKIP("its endless inputs and outputs are a named pipe and /dev/zero (POSIX)");
#else
    QFETCH(QString, output);
    QFETCH(QStringList, inputs);
    QFETCH(QString, outputLeft);
    // The helper joins the inputs into the output and the tail into out2, closes its window
    // while the first join waits or runs without end, and ends the way the application does:
    // that join stops, the join of regular files still writes its whole output.
    const QByteArray headData = PatternBytes(100000, 4), tailData = PatternBytes(5000, 5);
    WriteFile(Path("head"), headData);
    WriteFile(Path("tail"), tailData);
    QFile::remove(Path("pipe"));
    QVERIFY(mkfifo(Path("pipe").toLocal8Bit().constData(), 0600) == 0);
    const auto path = [&](const QString& name) { return name.startsWith('/') ? name : Path(name); };
    QStringList args{path(output), Path("out2")};
    for (const QString& input : inputs)
        args << path(input);

    const CHelperRun run = RunPastWindowClose(JOINEXIT_HELPER, args);
    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure + "\n" + run.out + run.err));
    QVERIFY2(!run.err.contains("Destroyed while"), run.err);
    QVERIFY2(run.out.contains("boxes 0 late commands 0"), run.out);
    if (output == "out1")
        QCOMPARE(ReadFile(Path("out1")), outputLeft == "head" ? headData : QByteArray());
    QCOMPARE(ReadFile(Path("out2")), tailData);
#endif
}

QTEST_MAIN(TestJoinThread)
#include "tst_jointhread.moc"
