// The join worker without windows: this program links the worker and Qt Test only, so a
// widget dependency that creeps into the worker breaks its build.
#include "join/CJoinThread.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#if defined(QT_GUI_LIB) || defined(QT_WIDGETS_LIB)
#error "The join worker must build with Qt Core alone."
#endif

namespace {

class NotifyTarget : public QObject {
public:
    void OnJoinCompleted() { ++nCompletions; }
    void OnJoinFailed(const QString& message) { failures << message; }
    int nCompletions = 0;
    QStringList failures;
};

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A worker for one join that reports to target, not started yet.
CJoinThread* NewJoin(NotifyTarget* target, const QStringList& inputs, const QString& output) {
    JoinRequest request;
    for (const QString& input : inputs)
        request.inputPaths << *FilePath::fromText(input);
    request.outputPath = *FilePath::fromText(output);
    auto* worker = new CJoinThread(request);
    QObject::connect(worker, &CJoinThread::JoinCompleted, target, &NotifyTarget::OnJoinCompleted);
    QObject::connect(worker, &CJoinThread::JoinFailed, target, &NotifyTarget::OnJoinFailed);
    return worker;
}

// Starts the worker and waits until its thread has ended and it has deleted itself.
bool RunToEnd(CJoinThread* worker) {
    const QPointer<CJoinThread> guard(worker);
    worker->ResumeThread();
    return QTest::qWaitFor([&] { return guard.isNull(); }, 10000) && CJoinThread::LiveCount() == 0;
}

} // namespace

class TestJoinCore : public QObject {
    Q_OBJECT

private slots:
    void failureNamesTheFileAsItIsCalled();
    void completionForADestroyedWindowIsDropped();
};

void TestJoinCore::failureNamesTheFileAsItIsCalled() {
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    NotifyTarget window;
    const QString gone = dir.filePath(QString::fromUtf8("Übersicht – März €.bin"));
    QVERIFY(RunToEnd(NewJoin(&window, {gone}, dir.filePath("out"))));
    QCOMPARE(window.failures.size(), 1);
    QVERIFY2(
        window.failures[0].contains("\"" + QDir::toNativeSeparators(gone) + "\" does not exist"),
        qPrintable(window.failures[0]));
    QCOMPARE(window.nCompletions, 0);
}

void TestJoinCore::completionForADestroyedWindowIsDropped() {
    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile input(dir.filePath("in"));
    QVERIFY(input.open(QIODevice::WriteOnly) && input.write("xyz") == 3);
    input.close();
    auto* window = new NotifyTarget;
    CJoinThread* worker = NewJoin(window, {input.fileName()}, dir.filePath("out"));
    delete window;
    QVERIFY(RunToEnd(worker));
    QCOMPARE(Contents(dir.filePath("out")), QByteArray("xyz"));
}

QTEST_GUILESS_MAIN(TestJoinCore)
#include "tst_joincore.moc"
