// The file list's costs at its largest: 500 rows added from real files, 500 rows sorted,
// one full paint of the header. Run with QT_QPA_PLATFORM=offscreen.
#include "listview/CFlatHeaderCtrl.h"
#include "listview/CFlatListCtrl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <random>
#include <vector>

class BenchListView : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_paths;

private slots:
    void initTestCase() {
        const char* suffixes[] = {".txt", ".bin", ".jpg", ".part", ".log", ""};
        for (int i = 0; i < kMaxFilesPerJoin; ++i) {
            const QString path =
                m_dir.filePath(QString("part%1%2").arg((i * 7919) % 1000).arg(suffixes[i % 6]));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
            m_paths << path;
        }
    }

    void addFileRow500() {
        QBENCHMARK {
            CFlatListCtrl list;
            list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
            for (const QString& path : m_paths)
                list.AddFileRow(path);
            QCOMPARE(list.GetItemCount(), kMaxFilesPerJoin);
        }
    }

    void sortRows500() {
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        for (const QString& path : m_paths)
            list.AddFileRow(path);
        list.resize(500, 400);
        list.show();
        std::mt19937 rng(1);
        std::vector<qint64> times;
        for (int run = 0; run < 30; ++run) {
            // A fresh random order each time, not timed.
            QStringList texts = m_paths;
            std::shuffle(texts.begin(), texts.end(), rng);
            for (int r = 0; r < list.GetItemCount(); ++r)
                list.item(r, 0)->setText(texts[r]);
            QElapsedTimer timer;
            timer.start();
            list.SortRows(0, true, 0, -1);
            times.push_back(timer.nsecsElapsed());
        }
        std::sort(times.begin(), times.end());
        qInfo("SortRows over 500 rows: median %.2f ms, min %.2f ms, max %.2f ms (30 runs)",
              times[times.size() / 2] / 1e6, times.front() / 1e6, times.back() / 1e6);
    }

    void headerPaint() {
        CFlatListCtrl list;
        list.InsertColumn(0, "Files to join", LVCFMT_LEFT, 470);
        list.resize(500, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.GetHeaderCtrl()->SetSortIndicator(0, true);
        QWidget* vp = list.GetHeaderCtrl()->viewport();
        QBENCHMARK {
            vp->repaint();
        }
    }
};

QTEST_MAIN(BenchListView)
#include "bench_listview.moc"
