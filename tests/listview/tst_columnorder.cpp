// Moving a column in the display order, against a plain erase-and-insert model, for every
// start position and gap of up to six columns.
#include "listview/ColumnOrder.h"

#include <QTest>

#include <vector>

namespace {

// The column leaves its place; the gap it was dropped in shifts left by one when the gap lies
// beyond that place.
std::vector<int> Expected(std::vector<int> order, int from, int to) {
    const int moved = order[static_cast<std::size_t>(from)];
    order.erase(order.begin() + from);
    order.insert(order.begin() + (to > from ? to - 1 : to), moved);
    return order;
}

QString Text(const std::vector<int>& order) {
    QString s;
    for (int v : order)
        s += QChar('A' + v);
    return s;
}

} // namespace

class TestColumnOrder : public QObject {
    Q_OBJECT

private slots:
    void everyMoveOfUpToSixColumns() {
        int checked = 0;
        for (int n = 1; n <= 6; ++n)
            for (int from = 0; from < n; ++from)
                for (int to = 0; to <= n; ++to) {
                    // A shuffled start, so the rule is seen to carry values, not positions.
                    std::vector<int> order;
                    for (int i = 0; i < n; ++i)
                        order.push_back((i * 5 + 3) % n);
                    const std::vector<int> want = Expected(order, from, to);
                    QVERIFY(MoveColumnToGap(order, from, to));
                    if (order != want)
                        QFAIL(qPrintable(QString("n %1, from %2, to %3: %4, expected %5")
                                             .arg(n)
                                             .arg(from)
                                             .arg(to)
                                             .arg(Text(order), Text(want))));
                    ++checked;
                }
        QCOMPARE(checked, 1 * 2 + 2 * 3 + 3 * 4 + 4 * 5 + 5 * 6 + 6 * 7);
    }

    void namedExamples_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("result");
        QTest::newRow("E into the gap between G and H") << 0 << 3 << "FGEH";
        QTest::newRow("H into the gap between E and F") << 3 << 1 << "EHFG";
        QTest::newRow("E after the last") << 0 << 4 << "FGHE";
        QTest::newRow("H before the first") << 3 << 0 << "HEFG";
        QTest::newRow("the gap before itself") << 2 << 2 << "EFGH";
        QTest::newRow("the gap after itself") << 2 << 3 << "EFGH";
    }
    void namedExamples() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, result);
        std::vector<int> order{4, 5, 6, 7};
        QVERIFY(MoveColumnToGap(order, from, to));
        QCOMPARE(Text(order), result);
    }

    void outOfRangeLeavesTheOrder_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("from before the first") << 4 << -1 << 2;
        QTest::newRow("from past the last") << 4 << 4 << 1;
        QTest::newRow("gap before the first") << 4 << 1 << -1;
        QTest::newRow("gap past the end") << 4 << 1 << 5;
        QTest::newRow("no columns") << 0 << 0 << 0;
    }
    void outOfRangeLeavesTheOrder() {
        QFETCH(int, count);
        QFETCH(int, from);
        QFETCH(int, to);
        std::vector<int> order;
        for (int i = 0; i < count; ++i)
            order.push_back(count - 1 - i);
        const std::vector<int> before = order;
        QVERIFY(!MoveColumnToGap(order, from, to));
        QVERIFY(order == before);
    }
};

QTEST_APPLESS_MAIN(TestColumnOrder)
#include "tst_columnorder.moc"
