// The join worker with a window to report to: its completion. Failure boxes, two joins in a
// row and closing during a join: tst_joinroad, through the window.
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

class TestWindow : public QWidget {
public:
    void OnJoinCompleted() {
        ++nCompletions;
        bAllOnUiThread = bAllOnUiThread && IsUiThread();
        if (onCompleted)
            onCompleted();
    }
    int nCompletions = 0;
    bool bAllOnUiThread = true;
    std::function<void()> onCompleted;
};

QPointer<CJoinThread> StartJoin(TestWindow* window, const QString& output,
                                const QStringList& inputs) {
    JoinRequest request;
    for (const QString& input : inputs)
        request.inputPaths << *FilePath::fromText(input);
    request.outputPath = *FilePath::fromText(output);
    auto* worker = new CJoinThread(request);
    QObject::connect(worker, &CJoinThread::JoinCompleted, window, &TestWindow::OnJoinCompleted);
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
    TestWindow window;
    AfxSetMainWnd(&window);
    MessageBoxRecorder boxes;

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
    QCOMPARE(window.nCompletions, 1);
    QVERIFY(window.bAllOnUiThread);
    QCOMPARE(outputAtCompletion, expected); // whole and closed before the notice
    QVERIFY(boxes.calls.isEmpty());
}

QTEST_MAIN(TestJoinThread)
#include "tst_jointhread.moc"
