// The join worker with a window to report to: completion and failure boxes. Two joins in a row
// and closing during a join: tst_joinroad, through the window.
#include "join/CJoinThread.h"
#include "join/JoinFiles.h"
#include "platform/core/UiThread.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

class CTestWindow : public QWidget {
public:
    void OnJoinCompleted() {
        ++completions;
        allOnUiThread = allOnUiThread && IsUiThread();
        if (onCompleted)
            onCompleted();
    }
    int completions = 0;
    bool allOnUiThread = true;
    std::function<void()> onCompleted;
};

QPointer<CJoinThread> StartJoin(CTestWindow* window, const QString& output,
                                const QStringList& inputs) {
    JoinRequest request;
    for (const QString& input : inputs)
        request.inputPaths << *FilePath::fromText(input);
    request.outputPath = *FilePath::fromText(output);
    auto* worker = new CJoinThread(request);
    QObject::connect(worker, &CJoinThread::JoinCompleted, window, &CTestWindow::OnJoinCompleted);
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
    QCOMPARE(window.completions, 1);
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
    QCOMPARE(window.completions, 0);
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
        // The worker waits for the user, holding the join lock.
        QVERIFY(!worker.isNull() && worker->isRunning());
        QVERIFY(!g_csJoin.tryLock());
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        answered = true;
    });
    worker = StartJoin(&window, Path("missing/out"), {});
    QTRY_VERIFY(answered);
    QTRY_VERIFY(worker.isNull());
    QCOMPARE(window.completions, 0);
}

QTEST_MAIN(TestJoinThread)
#include "tst_jointhread.moc"
