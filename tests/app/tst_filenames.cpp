// File names that are not text, carried from a drop to the join as the system's bytes; the
// list taking no edit while rows are dragged; and where the output chooser starts.
#include "app/CVantrelDlg.h"
#include "join/CJoinThread.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSuccess = QStringLiteral("Joining files was successfully completed!");

// Qt would open these names under their shown form; the standard streams take the bytes.
// (Unused where names are not bytes.)
[[maybe_unused]] void WriteBytesNamed(const QByteArray& path, const QByteArray& data) {
    std::ofstream(path.constData(), std::ios::binary).write(data.constData(), data.size());
}

[[maybe_unused]] QByteArray ReadBytesNamed(const QByteArray& path) {
    std::ifstream f(path.constData(), std::ios::binary);
    return QByteArray::fromStdString({std::istreambuf_iterator<char>(f), {}});
}

// A file URI for a path: escaped throughout, or with spaces, tabs and the bytes beyond ASCII
// sent raw, as some file managers do ("%", "#", "?" and line ends are always escaped).
[[maybe_unused]] QByteArray FileUriBytes(const QByteArray& path, bool bRaw, bool bLocalhost) {
    QByteArray keep("/");
    if (bRaw) {
        keep += " \t";
        for (int b = 0x80; b <= 0xFF; ++b)
            keep += char(b);
    }
    return (bLocalhost ? "file://localhost" : "file://") + path.toPercentEncoding(keep);
}

// URI lists as the window system hands them over, bytes untouched (QMimeData::setData would
// read them as UTF-8).
class RawUriList : public QMimeData {
public:
    explicit RawUriList(QMap<QString, QByteArray> lists) : m_lists(std::move(lists)) {}
    QStringList formats() const override { return m_lists.keys(); }
    bool hasFormat(const QString& format) const override { return m_lists.contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override {
        return hasFormat(format) ? QVariant(m_lists[format]) : QVariant();
    }

private:
    QMap<QString, QByteArray> m_lists;
};

} // namespace

class TestFileNames : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray Bytes(const QByteArray& name) const {
        return QFile::encodeName(m_dir.path()) + '/' + name;
    }
    CVantrelDlg* m_pDlg = nullptr;
    QByteArray m_cwd;

    // The window's list, pressed and moved through the window system as a user does.
    void Mouse(QEvent::Type type, const QPoint& pt, Qt::KeyboardModifiers mods = {}) {
        QWindow* w = m_pDlg->windowHandle();
        if (type == QEvent::MouseButtonPress)
            QTest::mousePress(w, Qt::LeftButton, mods, pt);
        else if (type == QEvent::MouseButtonRelease)
            QTest::mouseRelease(w, Qt::LeftButton, mods, pt);
        else
            QTest::mouseMove(w, pt);
    }

private slots:
    void init();
    void cleanup();

    void droppedNamesJoinExactly_data();
    void droppedNamesJoinExactly();
    void noEditDuringRowDrag_data();
    void noEditDuringRowDrag();
    void chooserStartsOnlyInAFolderItCanName_data();
    void chooserStartsOnlyInAFolderItCanName();
};

void TestFileNames::init() {
    QVERIFY(m_dir.isValid());
    char* cwd = getcwd(nullptr, 0);
    m_cwd = cwd;
    free(cwd);
    ResetUiThreadCallsForTesting();
    m_pDlg = new CVantrelDlg;
    AfxSetMainWnd(m_pDlg);
    m_pDlg->show();
    m_pDlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pDlg));
}

void TestFileNames::cleanup() {
    QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    AfxSetMainWnd(nullptr);
    delete m_pDlg;
    m_pDlg = nullptr;
    CloseTopLevelsAfterTest();
    QCOMPARE(chdir(m_cwd.constData()), 0);
    // By bytes: Qt would look for the non-text names under their shown form.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.path().toStdString()))
        std::filesystem::remove_all(entry.path(), ec);
}

void TestFileNames::droppedNamesJoinExactly_data() {
    QTest::addColumn<bool>("raw");
    QTest::addColumn<bool>("localhost");
    // pcmanfm-qt: a text/uri-list gone through UTF-8, beside its own list.
    QTest::addColumn<bool>("libfm");
    QTest::newRow("escaped") << false << false << false;
    QTest::newRow("raw bytes") << true << false << false;
    QTest::newRow("escaped, localhost") << false << true << false;
    QTest::newRow("raw bytes, localhost") << true << true << false;
    QTest::newRow("pcmanfm-qt") << false << false << true;
}

void TestFileNames::droppedNamesJoinExactly() {
#ifndef Q_OS_UNIX
    QSKIP("names that are not text exist only where names are bytes (POSIX)");
#else
    QFETCH(bool, raw);
    QFETCH(bool, localhost);
    QFETCH(bool, libfm);
    // Latin-1, bytes that never start text, an invalid sequence, real UTF-8, the
    // characters a URI gives meaning to; white space at either end of a name.
    const QList<QByteArray> names{
        "caf\xe9.bin",      "\xff\xfe.bin", "c1\x85\x9b.bin", "na\xc3\xafve \xe2\x82\xac.bin",
        "100% #1 ?\nx.bin", "a.bin ",       " a.bin",         "a.bin\t"};
    // What the Latin-1 name shows as, and what encoding that text again would open; the name
    // the white-space names become when trimmed.
    WriteBytesNamed(Bytes("caf\xef\xbf\xbd.bin"), "DECOY");
    WriteBytesNamed(Bytes("a.bin"), "DECOY");
    QByteArray uris, expected;
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray content = PatternBytes(3000 + i * 1111, quint32(i + 1));
        WriteBytesNamed(Bytes(names[i]), content);
        expected += content;
        uris += FileUriBytes(Bytes(names[i]), raw, localhost) + "\r\n";
    }
    // Local names that cannot be opened as given are named in one box, after the drop.
    uris += "# a comment line\r\nfile://elsewhere.example/x.bin\r\nfile:///a%00b.bin\r\n";
    QMap<QString, QByteArray> lists{{"text/uri-list", uris}};
    if (libfm) {
        QByteArray lossy; // each URI read as UTF-8 and escaped again
        for (const QByteArray& uri : uris.split('\n'))
            lossy += QUrl::toPercentEncoding(
                         QString::fromUtf8(QByteArray::fromPercentEncoding(uri)), "/:") +
                     '\n';
        lists = {{"text/uri-list", lossy}, {"libfm/files", uris}};
    }
    const RawUriList data(lists);

    MessageBoxRecorder boxes;
    CFlatListCtrl* list = m_pDlg->FileList();
    QVERIFY(DropOnto(*list, data, Qt::CopyAction).bDropAccepted);
    QCOMPARE(list->GetItemCount(), 0); // rows and boxes come after the drop returns
    QTRY_COMPARE(list->GetItemCount(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(list->GetItemPath(i).bytes(), Bytes(names[i]));
        QCOMPARE(list->GetItemText(i, 0), QFile::decodeName(Bytes(names[i])));
    }
    QCOMPARE(boxes.calls.size(), 1);
    QVERIFY(boxes.calls[0].strText.contains("elsewhere.example/x.bin"));
    QVERIFY(boxes.calls[0].strText.contains("a\ufffdb.bin"));
    QCOMPARE(boxes.calls[0].strText.count('\n'), 2);

    m_pDlg->SetOutputFile(QFile::decodeName(Bytes("out.bin")));
    m_pDlg->UpdateData(false);
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    QCOMPARE(boxes.calls.size(), 2);
    QCOMPARE(boxes.calls[1].strText, kSuccess);
    QCOMPARE(ReadBytesNamed(Bytes("out.bin")), expected);

    // Sorted, the names take their byte order, the same as their text's where it is text.
    m_pDlg->FileList()->SortRows(0, true, 0, -1);
    QList<QByteArray> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(list->GetItemPath(i).bytes(), Bytes(sorted[i]));
#endif
}

void TestFileNames::noEditDuringRowDrag_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QList<int>>("dragged");
    QTest::addColumn<QStringList>("order");
    const QStringList one{"A", "B", "D", "C", "E"}, two{"A", "B", "D", "E", "C"};
    for (const char* edit : {"Delete", "Add Files", "Remove Files", "New", "drop"}) {
        QTest::addRow("%s, one row", edit) << edit << QList<int>{3} << one;
        QTest::addRow("%s, two rows", edit) << edit << QList<int>{3, 4} << two;
    }
}

void TestFileNames::noEditDuringRowDrag() {
    QFETCH(QString, edit);
    QFETCH(QList<int>, dragged);
    QFETCH(QStringList, order);
    CFlatListCtrl* list = m_pDlg->FileList();
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        WriteFile(m_dir.filePath(name), name);
    for (const char* name : {"A", "B", "C", "D", "E"})
        QVERIFY(list->AddFileRow(m_dir.filePath(name)) >= 0);

    // The rows are selected, then the first is pressed and dragged onto B.
    Mouse(QEvent::MouseButtonPress, RowPoint(list, m_pDlg, dragged[0]));
    Mouse(QEvent::MouseButtonRelease, RowPoint(list, m_pDlg, dragged[0]));
    for (int i = 1; i < dragged.size(); ++i) {
        Mouse(QEvent::MouseButtonPress, RowPoint(list, m_pDlg, dragged[i]), Qt::ControlModifier);
        Mouse(QEvent::MouseButtonRelease, RowPoint(list, m_pDlg, dragged[i]), Qt::ControlModifier);
    }
    Mouse(QEvent::MouseButtonPress, RowPoint(list, m_pDlg, dragged[0]));
    Mouse(QEvent::MouseMove,
          RowPoint(list, m_pDlg, dragged[0]) + QPoint(QApplication::startDragDistance() + 1, 0));
    QVERIFY(list->IsDraggingRows());
    Mouse(QEvent::MouseMove, RowPoint(list, m_pDlg, 1));

    MessageBoxRecorder boxes(IDYES);
    FileDialogAnswers answers;
    answers.Next({m_dir.filePath("F")});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_dir.filePath("F"))});
    if (edit == "Delete")
        QTest::keyClick(list, Qt::Key_Delete);
    else if (edit == "Add Files")
        m_pDlg->GetCommandAction(ID_FILE_ADDFILES)->trigger();
    else if (edit == "Remove Files")
        m_pDlg->GetCommandAction(ID_FILE_REMOVEFILES)->trigger();
    else if (edit == "New")
        m_pDlg->GetCommandAction(ID_FILE_NEWLIST)->trigger();
    else
        QVERIFY(!DropOnto(*list, data, Qt::CopyAction).bDropAccepted);
    QCoreApplication::processEvents();
    QCOMPARE(list->GetItemCount(), 5);

    Mouse(QEvent::MouseButtonRelease, RowPoint(list, m_pDlg, 1));
    QVERIFY(!list->IsDraggingRows());
    QCOMPARE(RowNames(list), order);
    QVERIFY(boxes.calls.isEmpty());
    QVERIFY(answers.calls.isEmpty());

    // Afterwards the list takes edits again.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(list->GetItemCount(), 4);
}

void TestFileNames::chooserStartsOnlyInAFolderItCanName_data() {
    QTest::addColumn<QByteArray>("cwd");
    QTest::addColumn<bool>("decoy");
    QTest::addColumn<QString>("answer"); // relative to the dialog's folder, or absolute
    QTest::addColumn<bool>("startsAtHome");
    QTest::addColumn<QByteArray>("output"); // empty: refused
    QTest::newRow("text folder") << QByteArray("plain") << true << "new.bin" << false
                                 << QByteArray("plain/new.bin");
    QTest::newRow("Latin-1 folder")
        << QByteArray("\xe9t\xe9") << true << "new.bin" << true << QByteArray();
    QTest::newRow("chosen in it, alone") << QByteArray("plain") << false << "\ufffdt\ufffd/new"
                                         << false << QByteArray("\xe9t\xe9/new.txt");
    QTest::newRow("chosen in it, beside the decoy")
        << QByteArray("plain") << true << "\ufffdt\ufffd/new" << false << QByteArray();
}

void TestFileNames::chooserStartsOnlyInAFolderItCanName() {
#ifndef Q_OS_UNIX
    QSKIP("folder names that are not text exist only where names are bytes (POSIX)");
#else
    QFETCH(QByteArray, cwd);
    QFETCH(bool, decoy);
    QFETCH(QString, answer);
    QFETCH(bool, startsAtHome);
    QFETCH(QByteArray, output);
    QCOMPARE(mkdir(Bytes("plain").constData(), 0700), 0);
    QCOMPARE(mkdir(Bytes("\xe9t\xe9").constData(), 0700), 0);
    if (decoy)
        QCOMPARE(mkdir(Bytes("\xef\xbf\xbdt\xef\xbf\xbd").constData(), 0700), 0);
    QCOMPARE(chdir(Bytes(cwd).constData()), 0);

    MessageBoxRecorder boxes;
    FileDialogAnswers answers;
    answers.Next({answer.startsWith("\ufffd") ? m_dir.filePath(answer) : answer});
    QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    QCOMPARE(answers.calls.size(), 1);
    const QString home = QDir::homePath();
    QCOMPARE(answers.calls[0].strFolder, startsAtHome ? home : QFile::decodeName(Bytes(cwd)));
    if (startsAtHome) {
        QCOMPARE(m_pDlg->OutputPath().bytes(), QFile::encodeName(home) + "/new.bin");
    } else if (output.isEmpty()) {
        QVERIFY(m_pDlg->OutputFile().isEmpty());
        QCOMPARE(boxes.calls.size(), 1);
        QVERIFY(boxes.calls[0].strText.contains(answer));
    } else {
        QCOMPARE(m_pDlg->OutputPath().bytes(), Bytes(output));
        QCOMPARE(m_pDlg->OutputFile(), QFile::decodeName(Bytes(output)));
    }
#endif
}

QTEST_MAIN(TestFileNames)
#include "tst_filenames.moc"
