// The join worker without windows: this program links the worker and Qt Test only, so a
// widget dependency that creeps into the worker breaks its build.
#include "AfxMessageBox.h"
#include "CJoinThread.h"
#include "SendMessage.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#if defined(QT_GUI_LIB) || defined(QT_WIDGETS_LIB)
#error "The join worker must build with Qt Core alone."
#endif

namespace {

class CNotifyTarget : public QObject, public ICommandTarget {
public:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.append({wParam, lParam});
        return TRUE;
    }
    QList<QPair<WPARAM, LPARAM>> commands;
};

// Answers the worker's boxes as the windowing side would, and records them.
struct CBoxPresenter {
    struct Call {
        QString text;
        UINT type;
    };
    QList<Call> calls;
    CBoxPresenter() {
        SetMessageBoxPresenter([this](const QString& text, UINT type) {
            calls.append({text, type});
            return IDOK;
        });
    }
    ~CBoxPresenter() { SetMessageBoxPresenter({}); }
};

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestJoinCore : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init();
    void cleanup();
    void failureNamesTheFileAsItIsCalled();
    void completionForADestroyedWindowIsDropped();
};

void TestJoinCore::init() {
    QVERIFY(m_dir.isValid());
}

void TestJoinCore::cleanup() {
    QTRY_COMPARE(CJoinThread::LiveCount(), 0);
}

void TestJoinCore::failureNamesTheFileAsItIsCalled() {
    CNotifyTarget window;
    CBoxPresenter boxes;
    const QString gone = Path(QString::fromUtf8("Übersicht – März €.bin"));
    auto* worker = new CJoinThread;
    worker->m_lstInputPaths.push_back(QFile::encodeName(gone).toStdString());
    worker->m_strOutputPath = QFile::encodeName(Path("out")).toStdString();
    worker->m_hNotifyWnd = &window;
    QPointer<CJoinThread> guard(worker);
    worker->ResumeThread();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(boxes.calls.size(), 1);
    QVERIFY2(boxes.calls[0].text.contains("\"" + gone + "\" does not exist"),
             qPrintable(boxes.calls[0].text));
}

void TestJoinCore::completionForADestroyedWindowIsDropped() {
    auto* window = new CNotifyTarget;
    const QString input = Path("in");
    {
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("xyz") == 3);
    }
    auto* worker = new CJoinThread;
    worker->m_lstInputPaths.push_back(input.toStdString());
    worker->m_strOutputPath = Path("out").toStdString();
    worker->m_hNotifyWnd = window;
    delete window;
    QPointer<CJoinThread> guard(worker);
    worker->ResumeThread();
    QTRY_VERIFY(guard.isNull());
    QCOMPARE(Contents(Path("out")), QByteArray("xyz"));
}

QTEST_GUILESS_MAIN(TestJoinCore)
#include "tst_joincore.moc"
