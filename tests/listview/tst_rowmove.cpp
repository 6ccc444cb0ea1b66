// Moving dragged rows on a plain row list: the sequences users meet, and every selection and
// target of short lists against a model written another way.
#include "listview/RowMove.h"

#include <QTest>

#include <algorithm>
#include <vector>

namespace {

// Rows are their original indices; a copy carries the index and its selection with it.
struct Row {
    int nId = 0;
    bool bSelected = false;
};

class TestRows final : public IRowList {
public:
    std::vector<Row> rows;
    bool bOutOfRange = false;

    explicit TestRows(int n) {
        for (int i = 0; i < n; ++i)
            rows.push_back({i, false});
    }
    int GetRowCount() const override { return static_cast<int>(rows.size()); }
    void InsertRowCopy(int nSource, int nAt) override {
        if (nSource < 0 || nSource >= GetRowCount() || nAt < 0 || nAt > GetRowCount()) {
            bOutOfRange = true;
            return;
        }
        const Row copy = rows[nSource];
        rows.insert(rows.begin() + nAt, copy);
    }
    void DeleteRow(int nRow) override {
        if (nRow < 0 || nRow >= GetRowCount()) {
            bOutOfRange = true;
            return;
        }
        rows.erase(rows.begin() + nRow);
    }
    QList<int> Ids() const {
        QList<int> ids;
        for (const Row& r : rows)
            ids << r.nId;
        return ids;
    }
};

// The rows not dragged up to and including the target, then the dragged ones, then the rest.
QList<int> ExpectedOrder(int n, const std::vector<int>& dragged, int target) {
    QList<int> before, moved, after;
    for (int r = 0; r < n; ++r) {
        if (std::find(dragged.begin(), dragged.end(), r) != dragged.end())
            moved << r;
        else if (r <= target)
            before << r;
        else
            after << r;
    }
    return before + moved + after;
}

} // namespace

class TestRowMove : public QObject {
    Q_OBJECT

private slots:
    void sequences_data() {
        QTest::addColumn<QList<int>>("dragged");
        QTest::addColumn<int>("target");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("3,4 onto row 0") << QList<int>{3, 4} << 0 << QList<int>{0, 3, 4, 1, 2, 5};
        QTest::newRow("3,4 onto the row above them")
            << QList<int>{3, 4} << 2 << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("1 onto the last row") << QList<int>{1} << 5 << QList<int>{0, 2, 3, 4, 5, 1};
        QTest::newRow("1,4 onto row 2") << QList<int>{1, 4} << 2 << QList<int>{0, 2, 1, 4, 3, 5};
        QTest::newRow("1,2,4 onto dragged row 2")
            << QList<int>{1, 2, 4} << 2 << QList<int>{0, 1, 2, 4, 3, 5};
        QTest::newRow("no target yet: to the top")
            << QList<int>{2, 5} << -1 << QList<int>{2, 5, 0, 1, 3, 4};
        QTest::newRow("target past the end: to the end")
            << QList<int>{0, 1} << 9 << QList<int>{2, 3, 4, 5, 0, 1};
        QTest::newRow("stale entries are skipped")
            << QList<int>{-1, 1, 6} << 3 << QList<int>{0, 2, 3, 1, 4, 5};
    }
    void sequences() {
        QFETCH(QList<int>, dragged);
        QFETCH(int, target);
        QFETCH(QList<int>, order);
        TestRows rows(6);
        for (int r : dragged) {
            if (r >= 0 && r < 6)
                rows.rows[r].bSelected = true;
        }
        std::vector<int> drag(dragged.begin(), dragged.end());
        int nDropIndex = target;
        MoveDraggedRows(rows, drag, nDropIndex);
        QVERIFY(!rows.bOutOfRange);
        QCOMPARE(rows.Ids(), order);
        // The dragged rows are still selected, and no other row is.
        for (const Row& r : rows.rows)
            QCOMPARE(r.bSelected, dragged.contains(r.nId));
    }

    // Every non-empty selection and every target of lists of 1 to 8 rows.
    void everySelectionAndTarget() {
        int cases = 0;
        for (int n = 1; n <= 8; ++n) {
            for (unsigned mask = 1; mask < (1u << n); ++mask) {
                std::vector<int> dragged;
                for (int r = 0; r < n; ++r) {
                    if (mask & (1u << r))
                        dragged.push_back(r);
                }
                for (int target = 0; target < n; ++target) {
                    TestRows rows(n);
                    std::vector<int> drag = dragged;
                    int nDropIndex = target;
                    MoveDraggedRows(rows, drag, nDropIndex);
                    const QList<int> expected = ExpectedOrder(n, dragged, target);
                    if (rows.bOutOfRange || rows.Ids() != expected) {
                        qWarning() << "rows" << n << "dragged"
                                   << QList<int>(dragged.begin(), dragged.end()) << "target"
                                   << target << "got" << rows.Ids();
                        QFAIL("wrong order");
                    }
                    QCOMPARE(nDropIndex,
                             int(std::find(expected.begin(), expected.end(), dragged.back()) -
                                 expected.begin()) +
                                 1);
                    ++cases;
                }
            }
        }
        QCOMPARE(cases, 8 * 255 + 7 * 127 + 6 * 63 + 5 * 31 + 4 * 15 + 3 * 7 + 2 * 3 + 1);
    }
};

QTEST_APPLESS_MAIN(TestRowMove)
#include "tst_rowmove.moc"
