// The whole road through the real main window, driven as a user drives it: the menu and
// toolbar commands, the real file dialogs and message boxes, and the files on disk.
#include "app/CVantrelDlg.h"
#include "join/CJoinThread.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"
#include "toolbar/CTextToolBar.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <optional>

#include <sys/stat.h>

namespace {

const QString kSuccess = QStringLiteral("Joining files was successfully completed!");

void ClickToolButton(CVantrelDlg& dlg, UINT nID) {
    QToolButton* button = dlg.ToolBar()->GetButton(dlg.ToolBar()->CommandToIndex(nID));
    QVERIFY2(button != nullptr, "no such toolbar button");
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestJoinRoad : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_config; // the user's settings folder, where nothing may appear
    CVantrelDlg* m_pDlg = nullptr;

    // Chooses the output through the "..." button, its dialog answered through the seam.
    void ChooseOutput(const QString& name);

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void init();
    void cleanup();

    void wholeRoad();
    void joinWithEmptyListSaysSoEvenWithAnOutput();
    void joinWithoutOutputAnsweredNo();
    void joinWithoutOutputAnsweredYesThenCancelled();
    void chooserNamesTheOutput_data();
    void chooserNamesTheOutput();
    void chooserCancelKeepsAndOkReplacesWhileAJoinRuns();
    void dialogsJudgeFilesByTheirNames_data();
    void dialogsJudgeFilesByTheirNames();
    void addFilesStopsAtTheCap_data();
    void addFilesStopsAtTheCap();
    void addFilesTakesNamesAsTheSystemGivesThem_data();
    void addFilesTakesNamesAsTheSystemGivesThem();
    void dialogsStartWhereTheLastChoiceWas();
    void newList();
    void removeFiles();
    void twoJoinsInQuickSuccession();
    void failingJoinThenAWorkingOne();
    void closingDuringALongJoin_data();
    void closingDuringALongJoin();
};

void TestJoinRoad::init() {
    QVERIFY(m_dir.isValid());
    ResetUiThreadCallsForTesting();
    m_pDlg = new CVantrelDlg;
    AfxSetMainWnd(m_pDlg);
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
}

void TestJoinRoad::cleanup() {
    QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    AfxSetMainWnd(nullptr);
    delete m_pDlg;
    m_pDlg = nullptr;
    CloseTopLevelsAfterTest();
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

void TestJoinRoad::ChooseOutput(const QString& name) {
    FileDialogAnswers answers;
    answers.Next({Path(name)});
    QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    QCOMPARE(answers.calls.size(), 1);
}

void TestJoinRoad::wholeRoad() {
    const QByteArray a = PatternBytes(5000, 1), b = PatternBytes(4096, 2),
                     c = PatternBytes(70000, 3);
    WriteFile(Path("c.bin"), c);
    WriteFile(Path("a.bin"), a);
    WriteFile(Path("b.bin"), b);

    // The real dialogs, typed into as a user would.
    QString addTitle;
    {
        const CTopLevelWatch watch = WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
            addTitle = fd->windowTitle();
            TypeIntoFileDialog(fd, m_dir.path(), {"c.bin", "a.bin", "b.bin"});
        });
        ClickToolButton(*m_pDlg, ID_FILE_ADDFILES);
    }
    QCOMPARE(addTitle, QString("Add Files to Join"));
    QCOMPARE(RowNames(m_pDlg->FileList()), QStringList({"c.bin", "a.bin", "b.bin"}));

    // The column's header drags (a floating picture of it follows the mouse) and, being the
    // only column, lands where it was: nothing moves or sorts. A plain click sorts.
    QHeaderView* header = m_pDlg->FileList()->horizontalHeader();
    const QPoint middle(header->sectionSize(0) / 2, header->height() / 2);
    const QPoint away = middle + QPoint(QApplication::startDragDistance() + 30, 0);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, middle);
    QTest::mouseMove(header->viewport(), away - QPoint(10, 0));
    QTest::mouseMove(header->viewport(), away);
    QWidget* floating = FindTopLevel("CFHDragWnd");
    QVERIFY(floating != nullptr && floating->isVisible());
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, away);
    QCOMPARE(FindTopLevel("CFHDragWnd"), nullptr);
    QCOMPARE(RowNames(m_pDlg->FileList()), QStringList({"c.bin", "a.bin", "b.bin"}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    QCOMPARE(RowNames(m_pDlg->FileList()), QStringList({"a.bin", "b.bin", "c.bin"}));

    {
        const CTopLevelWatch watch = WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
            TypeIntoFileDialog(fd, m_dir.path(), {"joined.bin"});
        });
        QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    }
    QCOMPARE(m_pDlg->OutputFile(), QDir::toNativeSeparators(Path("joined.bin")));
    QCOMPARE(m_pDlg->findChild<QLineEdit*>("IDC_OUTPUT_FILE")->text(),
             QDir::toNativeSeparators(Path("joined.bin")));

    for (int round = 0; round < 2; ++round) { // the same join again at once
        WriteFile(Path("joined.bin"), "stale");
        QString seen;
        const CTopLevelWatch watch = WhenBoxShown(
            [&](QMessageBox* box) {
                seen = box->text();
                QCOMPARE(box->windowTitle(), QString("Vantrel"));
                QCOMPARE(box->windowModality(), Qt::NonModal);
                QCOMPARE(ReadFile(Path("joined.bin")), a + b + c);
                box->button(QMessageBox::Ok)->click();
            },
            20000);
        ClickToolButton(*m_pDlg, ID_ACTION_JOIN);
        QTRY_COMPARE_WITH_TIMEOUT(seen, kSuccess, 20000);
        QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    }
    // The dialogs stored nothing (Qt's keeps its history in QtProject.conf).
    QCOMPARE(QDir(m_config.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), {});
}

void TestJoinRoad::joinWithEmptyListSaysSoEvenWithAnOutput() {
    m_pDlg->SetOutputFile(Path("out.bin"));
    m_pDlg->UpdateData(false);
    MessageBoxRecorder boxes;
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText,
             QString("Please select or drag and drop files that you would like to join."));
    QCOMPARE(boxes.calls[0].strCaption, QString("Vantrel"));
    QCOMPARE(boxes.calls[0].nType, MB_OK);
    QVERIFY(boxes.calls[0].owner.isNull());
    QCOMPARE(CJoinThread::LiveCount(), 0);
    QVERIFY(!QFile::exists(Path("out.bin")));
}

void TestJoinRoad::joinWithoutOutputAnsweredNo() {
    WriteFile(Path("in.bin"), "x");
    QVERIFY(m_pDlg->FileList()->AddFileRow(Path("in.bin")) >= 0);
    MessageBoxRecorder boxes(IDNO);
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText,
             QString("Output file name was not specified. Would you like to "
                     "set output file name now and join files?"));
    QCOMPARE(boxes.calls[0].nType, MB_YESNO | MB_ICONQUESTION);
    QCOMPARE(CJoinThread::LiveCount(), 0);
    QVERIFY(FindTopLevel("QFileDialog") == nullptr);
}

void TestJoinRoad::joinWithoutOutputAnsweredYesThenCancelled() {
    WriteFile(Path("in.bin"), "x");
    QVERIFY(m_pDlg->FileList()->AddFileRow(Path("in.bin")) >= 0);
    MessageBoxRecorder boxes(IDYES);
    FileDialogAnswers chooser; // no answer: cancelled
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QCOMPARE(chooser.calls.size(), 1);
    QCOMPARE(boxes.calls.size(), 2);
    QCOMPARE(boxes.calls[1].strText,
             QString("Output file was not selected, join operation canceled."));
    QCOMPARE(m_pDlg->OutputFile(), QString());
    QCOMPARE(CJoinThread::LiveCount(), 0);
}

void TestJoinRoad::chooserNamesTheOutput_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("realDialog"); // else answered through the seam
    QTest::newRow("no extension") << "part"
                                  << "part.txt" << false;
    QTest::newRow("no extension, real dialog") << "part"
                                               << "part.txt" << true;
    QTest::newRow("three-letter extension") << "whole.bin"
                                            << "whole.bin" << false;
    QTest::newRow("four-letter extension") << "photo.jpeg"
                                           << "photo.jpeg.txt" << false;
    QTest::newRow("two-letter extension") << "a.7z"
                                          << "a.7z.txt" << false;
    QTest::newRow("period in the folder") << "d.e/f"
                                          << "d.e/f" << false;
    QTest::newRow("period in the folder, real dialog") << "d.e/f"
                                                       << "d.e/f" << true;
    QTest::newRow("existing file, real dialog") << "exists.dat"
                                                << "exists.dat" << true;
}

void TestJoinRoad::chooserNamesTheOutput() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, realDialog);
    QVERIFY(QDir(m_dir.path()).mkpath("d.e"));
    WriteFile(Path("exists.dat"), "keep");

    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    QString startFolder;
    if (realDialog) {
        const CTopLevelWatch watch = WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
            startFolder = static_cast<QFileDialog*>(fd)->directory().absolutePath();
            TypeIntoFileDialog(fd, m_dir.path(), {typed});
        });
        QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    } else {
        FileDialogAnswers chooser;
        chooser.Next({typed});
        QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
        QCOMPARE(chooser.calls.size(), 1);
        startFolder = chooser.calls[0].strFolder;
        QCOMPARE(chooser.calls[0].nFileMode, int(QFileDialog::AnyFile));
    }
    QDir::setCurrent(oldCurrent);

    QCOMPARE(startFolder, QDir(m_dir.path()).absolutePath()); // starts in the current folder
    QCOMPARE(m_pDlg->OutputFile(), QDir::toNativeSeparators(Path(stored)));
    QCOMPARE(m_pDlg->findChild<QLineEdit*>("IDC_OUTPUT_FILE")->text(),
             QDir::toNativeSeparators(Path(stored)));
    QCOMPARE(ReadFile(Path("exists.dat")), QByteArray("keep")); // choosing writes nothing
}

void TestJoinRoad::chooserCancelKeepsAndOkReplacesWhileAJoinRuns() {
#ifndef Q_OS_UNIX
    QSKIP("keeps a join waiting on a named pipe (POSIX)");
#else
    // A join that waits on a pipe is running while the user picks another output.
    const QString pipe = Path("pipe");
    QVERIFY(mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
    if (m_pDlg->FileList()->AddFileRow(pipe) < 0)
        QSKIP("the shell gives no icon for a pipe, so it cannot be listed");
    ChooseOutput("first.bin");
    MessageBoxRecorder boxes;
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QCOMPARE(CJoinThread::LiveCount(), 1);

    {
        FileDialogAnswers chooser; // cancelled
        QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
        QCOMPARE(chooser.calls.size(), 1);
    }
    QCOMPARE(m_pDlg->OutputFile(), QDir::toNativeSeparators(Path("first.bin")));

    ChooseOutput("second.bin");
    QCOMPARE(m_pDlg->OutputFile(), QDir::toNativeSeparators(Path("second.bin")));

    QFile fifo(pipe);
    QVERIFY(fifo.open(QIODevice::WriteOnly));
    fifo.write("through the pipe");
    fifo.close();
    QTRY_COMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText, kSuccess);
    QCOMPARE(ReadFile(Path("first.bin")), QByteArray("through the pipe")); // the request was a copy
    QVERIFY(!QFile::exists(Path("second.bin")));
#endif
}

void TestJoinRoad::dialogsJudgeFilesByTheirNames_data() {
    QTest::addColumn<bool>("addFiles"); // else the output chooser
    QTest::newRow("Add Files") << true;
    QTest::newRow("output chooser") << false;
}

void TestJoinRoad::dialogsJudgeFilesByTheirNames() {
#ifndef Q_OS_UNIX
    QSKIP("its file that would block a reader is a named pipe (POSIX)");
#else
    QFETCH(bool, addFiles);
    // Reading a listed file to learn its type could hold the dialog for good (a pipe, a file
    // such as /proc/kmsg); a file whose contents say more than its name shows whether it does.
    QVERIFY(mkfifo(Path("x.txt").toLocal8Bit().constData(), 0600) == 0);
    WriteFile(Path("notes"), "%PDF-1.4\n");
    QString type;
    {
        const CTopLevelWatch watch = WhenTopLevelShown("QFileDialog", [&](QWidget* fd) {
            static_cast<QFileDialog*>(fd)->setDirectory(m_dir.path());
            const auto* model = fd->findChild<QFileSystemModel*>();
            const auto typeShown = [&] {
                return model->index(Path("notes")).siblingAtColumn(2).data().toString();
            };
            QTRY_VERIFY_WITH_TIMEOUT(!typeShown().isEmpty(), 1000);
            type = typeShown();
            static_cast<QFileDialog*>(fd)->reject();
        });
        if (addFiles)
            ClickToolButton(*m_pDlg, ID_FILE_ADDFILES);
        else
            QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    }
    QVERIFY(!type.isEmpty());
    QVERIFY2(!type.contains("PDF"), qPrintable(type));
#endif
}

void TestJoinRoad::addFilesStopsAtTheCap_data() {
    QTest::addColumn<int>("rowsBefore");
    QTest::addColumn<int>("rowsAfter");
    QTest::newRow("499 rows, two chosen") << 499 << 500;
    QTest::newRow("500 rows, one chosen") << 500 << 500;
}

void TestJoinRoad::addFilesStopsAtTheCap() {
    QFETCH(int, rowsBefore);
    QFETCH(int, rowsAfter);
    WriteFile(Path("filler.bin"), "f");
    WriteFile(Path("one.bin"), "1");
    WriteFile(Path("two.bin"), "2");
    for (int i = 0; i < rowsBefore; ++i)
        QVERIFY(m_pDlg->FileList()->AddFileRow(Path("filler.bin")) >= 0);

    MessageBoxRecorder boxes;
    FileDialogAnswers addFiles;
    addFiles.Next(rowsBefore == 499 ? QStringList{Path("one.bin"), Path("two.bin")}
                                    : QStringList{Path("one.bin")});
    ClickToolButton(*m_pDlg, ID_FILE_ADDFILES);
    QCOMPARE(addFiles.calls.size(), 1);
    QCOMPARE(addFiles.calls[0].strTitle, QString("Add Files to Join"));
    QCOMPARE(addFiles.calls[0].nFileMode, int(QFileDialog::ExistingFiles));

    CFlatListCtrl* list = m_pDlg->FileList();
    QCOMPARE(list->GetItemCount(), rowsAfter);
    if (rowsBefore == 499)
        QCOMPARE(QFileInfo(list->GetItemText(499, 0)).fileName(), QString("one.bin"));
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText,
             QString("This version does not allow joining more than 500 files at once \nPlease "
                     "join files in batches not exceeding 500 count."));
    QCOMPARE(boxes.calls[0].strCaption, QString("Vantrel"));
    QCOMPARE(boxes.calls[0].nType, MB_OK | MB_ICONEXCLAMATION);
    QCOMPARE(boxes.calls[0].owner.data(), m_pDlg);
}

void TestJoinRoad::addFilesTakesNamesAsTheSystemGivesThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("device"); // on Windows: refused, and named in the box
    QTest::newRow("U+FFFD") << "a\ufffdb.bin" << false;
    QTest::newRow("NUL") << "NUL" << true;
    QTest::newRow("aux.txt") << "aux.txt" << true;
}

void TestJoinRoad::addFilesTakesNamesAsTheSystemGivesThem() {
    QFETCH(QString, name);
    QFETCH(bool, device);
    const QString path = QDir::toNativeSeparators(Path(name));
#ifdef Q_OS_WIN
    const std::filesystem::path exact = L"\\\\?\\" + path.toStdWString();
#else
    device = false;
    const std::filesystem::path exact = QFile::encodeName(path).toStdString();
#endif
    const QByteArray data = PatternBytes(3000, 7);
    std::ofstream(exact, std::ios::binary).write(data.constData(), data.size());
    const auto removeInput = qScopeGuard([&] { std::filesystem::remove(exact); });

    MessageBoxRecorder boxes;
    FileDialogAnswers addFiles;
    addFiles.Next({path});
    ClickToolButton(*m_pDlg, ID_FILE_ADDFILES);
    QCOMPARE(m_pDlg->FileList()->GetItemCount(), device ? 0 : 1);
    if (device) {
        QCOMPARE(boxes.calls.size(), 1);
        QVERIFY2(boxes.calls[0].strText.endsWith("\n" + path + " (the name of a device, " +
                                                 name.section('.', 0, 0).toUpper() +
                                                 ", on Windows)"),
                 qPrintable(boxes.calls[0].strText));
        return;
    }
    m_pDlg->SetOutputFile(Path("out.bin"));
    m_pDlg->UpdateData(false);
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText, kSuccess);
    QCOMPARE(ReadFile(Path("out.bin")), data);
}

void TestJoinRoad::dialogsStartWhereTheLastChoiceWas() {
    QVERIFY(QDir(m_dir.path()).mkpath("A"));
    WriteFile(Path("A/one.bin"), "1");
    const QString folder = QDir(Path("A")).absolutePath();
    FileDialogAnswers answers;
    answers.Next({Path("A/one.bin")});
    answers.Next({}); // cancelled: the folder stays
    answers.Next({"out.bin"});
    ClickToolButton(*m_pDlg, ID_FILE_ADDFILES);
    ClickToolButton(*m_pDlg, ID_FILE_ADDFILES);
    QTest::mouseClick(m_pDlg->findChild<QPushButton*>("IDC_BROWSE_OUTPUT"), Qt::LeftButton);
    QCOMPARE(answers.calls.size(), 3);
    QCOMPARE(answers.calls[0].strFolder, QDir::currentPath()); // the first time
    QCOMPARE(answers.calls[1].strFolder, folder);
    QCOMPARE(answers.calls[2].strFolder, folder);
    QCOMPARE(m_pDlg->OutputFile(), QDir::toNativeSeparators(Path("A/out.bin")));
}

void TestJoinRoad::newList() {
    CFlatListCtrl* list = m_pDlg->FileList();
    MessageBoxRecorder boxes(IDYES);
    m_pDlg->GetCommandAction(ID_FILE_NEWLIST)->trigger();
    QVERIFY(boxes.calls.isEmpty()); // nothing to lose, nothing asked

    WriteFile(Path("a.bin"), "a");
    WriteFile(Path("b.txt"), "b");
    QVERIFY(list->AddFileRow(Path("a.bin")) >= 0);
    QVERIFY(list->AddFileRow(Path("b.txt")) >= 0);
    m_pDlg->SetOutputFile(Path("out.bin"));
    m_pDlg->UpdateData(false);

    boxes.nAnswer = IDNO;
    m_pDlg->GetCommandAction(ID_FILE_NEWLIST)->trigger();
    QCOMPARE(list->GetItemCount(), 2);

    boxes.nAnswer = IDYES;
    m_pDlg->GetCommandAction(ID_FILE_NEWLIST)->trigger();
    QCOMPARE(boxes.calls.size(), 2);
    QCOMPARE(boxes.calls[1].strText,
             QString("Would you like to create a new list of files to join?"));
    QCOMPARE(boxes.calls[1].nType, MB_YESNO | MB_ICONQUESTION);
    QCOMPARE(list->GetItemCount(), 0);
    QCOMPARE(m_pDlg->OutputFile(), Path("out.bin"));
    QCOMPARE(m_pDlg->findChild<QLineEdit*>("IDC_OUTPUT_FILE")->text(), Path("out.bin"));
    const int row = list->AddFileRow(Path("b.txt"));
    QCOMPARE(list->GetItemImage(row), 0);
}

void TestJoinRoad::removeFiles() {
    CFlatListCtrl* list = m_pDlg->FileList();
    MessageBoxRecorder boxes(IDYES);
    m_pDlg->GetCommandAction(ID_FILE_REMOVEFILES)->trigger();
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText, QString("There are no files to remove!"));
    QCOMPARE(boxes.calls[0].nType, MB_OK);

    QStringList names;
    for (int i = 0; i < 9; ++i) {
        names << QString("f%1.bin").arg(i);
        WriteFile(Path(names.last()), "x");
        QVERIFY(list->AddFileRow(Path(names.last())) >= 0);
    }
    list->clearSelection();
    m_pDlg->GetCommandAction(ID_FILE_REMOVEFILES)->trigger(); // Yes with nothing selected
    QCOMPARE(boxes.calls.size(), 2);
    QCOMPARE(boxes.calls[1].strText,
             QString("Would you like to remove selected files from the list?"));
    QCOMPARE(RowNames(list), names);

    for (int row : {2, 5, 7})
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    boxes.nAnswer = IDNO;
    m_pDlg->GetCommandAction(ID_FILE_REMOVEFILES)->trigger();
    QCOMPARE(RowNames(list), names);
    boxes.nAnswer = IDYES;
    m_pDlg->GetCommandAction(ID_FILE_REMOVEFILES)->trigger();
    QCOMPARE(RowNames(list),
             QStringList({"f0.bin", "f1.bin", "f3.bin", "f4.bin", "f6.bin", "f8.bin"}));
}

void TestJoinRoad::twoJoinsInQuickSuccession() {
    const QByteArray data = PatternBytes(6 << 20, 4);
    WriteFile(Path("in.bin"), data);
    QVERIFY(m_pDlg->FileList()->AddFileRow(Path("in.bin")) >= 0);
    WriteFile(Path("out1.bin"), "sentinel");
    WriteFile(Path("out2.bin"), "sentinel");
    ChooseOutput("out1.bin");

    QList<QByteArray> secondOutputWhileFirstBoxUp;
    int successes = 0;
    std::optional<CTopLevelWatch> secondWatch;
    std::function<void(QMessageBox*)> answer = [&](QMessageBox* box) {
        if (box->text() != kSuccess)
            return;
        if (++successes == 1) {
            // The first join holds the lock while its box is up, so the second, already
            // started, cannot have written.
            const bool lockHeld = !g_csJoin.tryLock();
            if (!lockHeld)
                g_csJoin.unlock();
            QVERIFY(lockHeld);
            QCOMPARE(CJoinThread::LiveCount(), 2);
            secondOutputWhileFirstBoxUp << ReadFile(Path("out2.bin"));
            secondWatch.emplace(WhenBoxShown(answer, 20000));
        }
        box->button(QMessageBox::Ok)->click();
    };
    const CTopLevelWatch firstWatch = WhenBoxShown(answer, 20000);
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    ChooseOutput("out2.bin");
    m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(successes, 2, 20000);
    QCOMPARE(secondOutputWhileFirstBoxUp, QList<QByteArray>{"sentinel"});
    QCOMPARE(ReadFile(Path("out1.bin")), data);
    QCOMPARE(ReadFile(Path("out2.bin")), data);
}

void TestJoinRoad::failingJoinThenAWorkingOne() {
    WriteFile(Path("in.bin"), "abc");
    QVERIFY(m_pDlg->FileList()->AddFileRow(Path("in.bin")) >= 0);
    m_pDlg->SetOutputFile(Path("missing/out.bin"));
    QStringList shown;
    const auto answer = [&](QMessageBox* box) {
        // The worker waits for the user, holding the join lock; a failure is a real warning on
        // the window.
        const bool held = !g_csJoin.tryLock();
        if (!held)
            g_csJoin.unlock();
        const bool warning = box->icon() == QMessageBox::Warning && box->parentWidget() == m_pDlg &&
                             box->windowTitle() == QString("Vantrel") &&
                             box->windowModality() == Qt::WindowModal;
        shown << box->text() + (warning ? " (warning)" : "");
        box->button(QMessageBox::Ok)->click();
        QVERIFY(held);
    };
    for (const char* output : {"missing/out.bin", "out.bin"}) {
        const CTopLevelWatch watch = WhenBoxShown(answer);
        m_pDlg->SetOutputFile(Path(output));
        m_pDlg->GetCommandAction(ID_ACTION_JOIN)->trigger();
        QTRY_COMPARE(CJoinThread::LiveCount(), 0);
    }
    QCOMPARE(shown, QStringList({"File not found (warning)", kSuccess})); // no success with it
    QCOMPARE(ReadFile(Path("out.bin")), QByteArray("abc"));
}

void TestJoinRoad::closingDuringALongJoin_data() {
    // Names: "pipe" is made a named pipe; "head" and "tail" hold data.
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("copy");  // the helper's --copy, if any
    QTest::addColumn<int>("out1Bytes"); // how much of head + tail the first join left in out1
    QTest::addColumn<int>("endWithinMs");
    QTest::newRow("pipe input with no writer")
        << "out1" << QStringList{"head", "pipe", "tail"} << "" << 100000 << 3000;
    QTest::newRow("pipe output with no reader")
        << "pipe" << QStringList{"head", "tail"} << "" << -1 << 3000;
    QTest::newRow("endless device input")
        << "/dev/null" << QStringList{"/dev/zero", "tail"} << "" << -1 << 3000;
    // The second join waits for the stalled one's lock: it never starts.
    QTest::newRow("regular input whose read stalls")
        << "out1" << QStringList{"head", "tail"} << "stalled" << 65536 << 3000;
    QTest::newRow("slow regular files, longer than a stall")
        << "out1" << QStringList{"head", "tail"} << "slow" << 105000 << 15000;
}

void TestJoinRoad::closingDuringALongJoin() {
#ifndef Q_OS_UNIX
    QSKIP("keeps a join waiting on a named pipe or /dev/zero (POSIX)");
#else
    QFETCH(QString, output);
    QFETCH(QStringList, inputs);
    QFETCH(QString, copy);
    QFETCH(int, out1Bytes);
    QFETCH(int, endWithinMs);
    // The application's own exit path, in a process of its own: see appexit_helper. The first
    // join waits or runs without end; the closed program must not wait with it, and the second
    // join, of regular files, still writes its whole output. No box comes after the close.
    const QByteArray headData = PatternBytes(100000, 4), tailData = PatternBytes(5000, 5);
    WriteFile(Path("head"), headData);
    WriteFile(Path("tail"), tailData);
    QVERIFY(mkfifo(Path("pipe").toLocal8Bit().constData(), 0600) == 0);
    const auto path = [&](const QString& name) { return name.startsWith('/') ? name : Path(name); };
    QStringList args{path(output), Path("out2")};
    if (!copy.isEmpty())
        args = QStringList{"--copy", copy} + args;
    for (const QString& input : inputs)
        args << path(input);

    const HelperRun run = RunPastWindowClose(APPEXIT_HELPER, args, endWithinMs);
    QVERIFY2(run.strFailure.isEmpty(), qPrintable(run.strFailure + "\n" + run.out + run.err));
    QVERIFY2(!run.err.contains("Destroyed while"), run.err);
    QVERIFY2(run.out.contains("boxes shown 0, windows left 0"), run.out);
    if (out1Bytes >= 0)
        QCOMPARE(ReadFile(Path("out1")), (headData + tailData).left(out1Bytes));
    if (copy == "stalled")
        QVERIFY(!QFile::exists(Path("out2")));
    else
        QCOMPARE(ReadFile(Path("out2")), tailData);
#endif
}

QTEST_MAIN(TestJoinRoad)
#include "tst_joinroad.moc"
