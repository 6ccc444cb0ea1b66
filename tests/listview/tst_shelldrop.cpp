// Files dropped onto the file list from a file manager, as real drag-and-drop events carrying
// URLs: the cap, the order, folders, vanished items, what is refused, and the action the drop
// answers with, which never lets a source remove its files.
#include "listview/CFlatListCtrl.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// Hands a drop to the list's own handler. Qt delivers a drop only to the widget that accepted
// the drag's enter, so a drop sent to a list that refused the enter would never reach it.
void DropWithoutEnter(CFlatListCtrl& list, QDropEvent& drop) {
    struct Access : CFlatListCtrl {
        static void Drop(CFlatListCtrl& target, QDropEvent* e) { (target.*&Access::dropEvent)(e); }
    };
    Access::Drop(list, &drop);
}

// A drop adds its rows and shows its boxes from a call it queues on the list, once the source
// has its answer; this runs any such call now.
void RunQueuedDropCalls(CFlatListCtrl& list) {
    QCoreApplication::sendPostedEvents(&list, QEvent::MetaCall);
}

QMimeData* UrlData(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

// The rows' texts with "/" between the parts, as the tests name files.
QStringList RowTexts(const CFlatListCtrl& list) {
    QStringList texts;
    for (int i = 0; i < list.GetItemCount(); ++i)
        texts << QDir::fromNativeSeparators(list.GetItemText(i, 0));
    return texts;
}

} // namespace

class TestShellDrop : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CFlatListCtrl> m_list;

    QString File(const QString& name) {
        const QString path = m_dir.filePath(name);
        if (!QFile::exists(path))
            WriteFile(path, name.toUtf8());
        return path;
    }

private slots:
    void init() {
        m_list = std::make_unique<CFlatListCtrl>();
        m_list->InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        m_list->resize(500, 300);
        m_list->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
    }
    void cleanup() { m_list.reset(); }

    void filesAreAddedInTheOrderGiven() {
        MessageBoxRecorder boxes;
        const QStringList paths{File("c.txt"), File("a.txt"), File("b.bin")};
        std::unique_ptr<QMimeData> data(UrlData(paths));
#ifdef Q_OS_WIN
        // Wine passes an X file manager's own list on beside the shell's: its paths are not ours.
        data->setData("libfm/files", "file:///tmp/c.txt\r\n");
#endif
        const DropResult r = DropOnto(*m_list, *data, Qt::CopyAction | Qt::MoveAction);
        QVERIFY(r.bDropAccepted);
        QTRY_COMPARE(RowTexts(*m_list), paths);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(m_list->GetItemData(i), DWORD_PTR(kIncludeInJoin));
        // A second drop goes after them.
        std::unique_ptr<QMimeData> more(UrlData({File("a.txt")}));
        DropOnto(*m_list, *more, Qt::CopyAction);
        QTRY_COMPARE(m_list->GetItemCount(), 4);
        QCOMPARE(m_list->GetItemText(3, 0), QDir::toNativeSeparators(File("a.txt")));
        QVERIFY(boxes.calls.isEmpty());
    }

    void capRefusesTheWholeDrop_data() {
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("refused");
        QTest::newRow("499 + 2") << 2 << 499 << true;
        QTest::newRow("499 + 1") << 1 << 500 << false;
        QTest::newRow("0 + 501") << 501 << 0 << true;
    }
    void capRefusesTheWholeDrop() {
        QFETCH(int, dropped);
        QFETCH(int, rows);
        QFETCH(bool, refused);
        MessageBoxRecorder boxes;
        const QString filler = File("filler");
        if (rows == 499 || !refused) {
            for (int i = 0; i < 499; ++i)
                m_list->AddFileRow(filler);
        }
        const int before = m_list->GetItemCount();
        QStringList paths;
        for (int i = 0; i < dropped; ++i)
            paths << File(QString("d%1").arg(i));
        std::unique_ptr<QMimeData> data(UrlData(paths));
        QVERIFY(DropOnto(*m_list, *data, Qt::CopyAction).bDropAccepted);
        if (refused) {
            QTRY_COMPARE(boxes.calls.size(), 1);
            QCOMPARE(boxes.calls[0].strText,
                     QStringLiteral("This version does not allow joining more than 500 files at "
                                    "once \nPlease join files in batches not exceeding 500 "
                                    "count."));
            QCOMPARE(boxes.calls[0].nType & MB_ICONMASK, MB_ICONEXCLAMATION);
            QCOMPARE(boxes.calls[0].nType & MB_TYPEMASK, MB_OK);
            QCOMPARE(m_list->GetItemCount(), before);
        } else {
            QTRY_COMPARE(m_list->GetItemCount(), rows);
            QCOMPARE(m_list->GetItemText(rows - 1, 0), QDir::toNativeSeparators(paths.last()));
            QVERIFY(boxes.calls.isEmpty());
        }
    }

    void folderGetsTheFolderIcon() {
        const QString folder = m_dir.filePath("sub");
        QVERIFY(QDir().mkpath(folder));
        std::unique_ptr<QMimeData> data(UrlData({File("f.txt"), folder}));
        DropOnto(*m_list, *data, Qt::CopyAction);
        QTRY_COMPARE(m_list->GetItemCount(), 2);
        QCOMPARE(m_list->GetItemText(1, 0), QDir::toNativeSeparators(folder));
        QFileIconProvider provider;
        const QImage folderIcon = provider.icon(QFileIconProvider::Folder).pixmap(16).toImage();
        const QImage rowIcon = m_list->GetImageList().GetImage(m_list->GetItemImage(1)).toImage();
        const QImage fileIcon = m_list->GetImageList().GetImage(m_list->GetItemImage(0)).toImage();
        QCOMPARE(rowIcon.convertToFormat(QImage::Format_ARGB32),
                 folderIcon.convertToFormat(QImage::Format_ARGB32));
        QVERIFY(rowIcon != fileIcon);
    }

    void vanishedItemsAreSkipped() {
        MessageBoxRecorder boxes;
        const QString gone = File("gone.txt");
        const QStringList paths{File("p.txt"), gone, File("q.txt")};
        std::unique_ptr<QMimeData> data(UrlData(paths));
        QFile::remove(gone); // removed while it was being dragged
        QVERIFY(DropOnto(*m_list, *data, Qt::CopyAction).bDropAccepted);
        QTRY_COMPARE(m_list->GetItemCount(), 2);
        QCOMPARE(RowTexts(*m_list), (QStringList{paths[0], paths[2]}));
        QVERIFY(boxes.calls.isEmpty());
    }

    void longPathIsKeptWhole() {
        // Longer than the 259 characters a drop once carried; a cut path could name another
        // file.
        QString folder = m_dir.path();
        while (folder.size() < 300)
            folder += "/" + QString(60, 'l');
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/x.txt";
        WriteFile(path, "x");
        std::unique_ptr<QMimeData> data(UrlData({path}));
        DropOnto(*m_list, *data, Qt::CopyAction);
        QTRY_COMPARE(m_list->GetItemCount(), 1);
        QCOMPARE(m_list->GetItemText(0, 0), QDir::toNativeSeparators(path));
    }

    void anythingButLocalFilesIsRefusedOrNamed_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("added"); // the local file, and a box naming the links
        QTest::newRow("text") << "text" << false;
        QTest::newRow("remote URL") << "remote" << false;
        QTest::newRow("local file with remote URLs") << "mixed" << true;
        QTest::newRow("no action offered") << "noaction" << false;
    }
    void anythingButLocalFilesIsRefusedOrNamed() {
        QFETCH(QString, kind);
        QFETCH(bool, added);
        MessageBoxRecorder boxes;
        QMimeData data;
        Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        const QString longLink = "http://e.example/" + QString(100000, 'x');
        if (kind == "text") {
            data.setText(File("t.txt"));
        } else if (kind == "remote") {
            data.setUrls({QUrl("https://example.com/file.bin")});
        } else if (kind == "mixed") {
            data.setUrls(
                {QUrl("sftp://host/t.txt"), QUrl::fromLocalFile(File("t.txt")), QUrl(longLink)});
        } else {
            data.setUrls({QUrl::fromLocalFile(File("t.txt"))});
            offered = Qt::IgnoreAction;
        }
        const DropResult r = DropOnto(*m_list, data, offered);
        if (added) {
            QVERIFY(r.bDropAccepted);
            QTRY_COMPARE(boxes.calls.size(), 1);
            QCOMPARE(RowTexts(*m_list), QStringList{File("t.txt")});
            QCOMPARE(boxes.calls[0].strText, "These files could not be added to the list:\n"
                                             "sftp://host/t.txt\n" +
                                                 longLink.left(260) + "...");
            return;
        }
        QVERIFY(!r.bEnterAccepted);
        // Even a drop that arrives without an accepted enter is refused.
        QDropEvent drop(QPointF(30, 10), offered, &data, Qt::NoButton, {});
        drop.accept();
        DropWithoutEnter(*m_list, drop);
        QVERIFY(!drop.isAccepted());
        RunQueuedDropCalls(*m_list);
        QCOMPARE(m_list->GetItemCount(), 0);
        QVERIFY(boxes.calls.isEmpty());
    }

    void theDropOnlyReadsTheFiles_data() {
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("whileDragging");
        QTest::addColumn<int>("answered");
        const int copy = Qt::CopyAction, move = Qt::MoveAction, link = Qt::LinkAction;
        QTest::newRow("copy, move or link") << (copy | move | link) << copy << copy;
        QTest::newRow("copy or move") << (copy | move) << copy << copy;
        QTest::newRow("move or link") << (move | link) << link << link;
        // Some file managers offer nothing but a move: it is taken, yet answered as nothing
        // done, so the source never deletes what it thinks was moved.
        QTest::newRow("move only") << move << move << int(Qt::IgnoreAction);
    }
    void theDropOnlyReadsTheFiles() {
        QFETCH(int, offered);
        QFETCH(int, whileDragging);
        QFETCH(int, answered);
        const QString path = File("keep.txt");
        std::unique_ptr<QMimeData> data(UrlData({path}));
        const DropResult r = DropOnto(*m_list, *data, Qt::DropActions(offered));
        QVERIFY(r.bEnterAccepted);
        QCOMPARE(int(r.enterAction), whileDragging);
        QVERIFY(r.bDropAccepted);
        QCOMPARE(int(r.dropAction), answered);
        RunQueuedDropCalls(*m_list); // what the refusals rely on to see nothing added
        QCOMPARE(m_list->GetItemCount(), 1);
        QCOMPARE(m_list->GetItemText(0, 0), QDir::toNativeSeparators(path));
        QCOMPARE(ReadFile(path), QByteArray("keep.txt"));
    }
};

QTEST_MAIN(TestShellDrop)
#include "tst_shelldrop.moc"
