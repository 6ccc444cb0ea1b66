// The partition sort and the text order, on a plain row table: ordering against a reference,
// rows moved whole, equal texts never exchanged.
#include "listview/RowSort.h"

#include <QTest>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

struct Row {
    std::string strText;
    int nId = 0; // stands for everything else a row carries
};

class TestRows final : public IRowTable {
public:
    std::vector<Row> rows;
    int nColumns = 1;
    int nExchanges = 0;
    int nEqualExchanges = 0;

    int GetRowCount() const override { return static_cast<int>(rows.size()); }
    int GetColumnCount() const override { return nColumns; }
    std::string GetRowText(int nRow, int) const override { return rows.at(nRow).strText; }
    void ExchangeRows(int a, int b) override {
        ++nExchanges;
        if (rows.at(a).strText == rows.at(b).strText)
            ++nEqualExchanges;
        std::swap(rows.at(a), rows.at(b));
    }
};

// Short texts from a few pieces, so that equal texts, case pairs, prefixes and
// multibyte characters are all common.
std::string RandomText(std::mt19937& rng) {
    static const char* const pieces[] = {
        "a", "A", "b",   "Z", "z", "\xC3\xA9" /* e acute */, "\xC3\x89" /* E acute */,
        "/", "1", ".txt"};
    std::uniform_int_distribution<int> len(0, 3);
    std::uniform_int_distribution<int> pick(0, std::size(pieces) - 1);
    std::string s;
    for (int n = len(rng); n > 0; --n)
        s += pieces[pick(rng)];
    return s;
}

} // namespace

class TestRowSort : public QObject {
    Q_OBJECT

private slots:
    void compare_data() {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("upper case before lower") << QByteArray("Z") << QByteArray("a") << -1;
        QTest::newRow("same letters, case differs")
            << QByteArray("FILE") << QByteArray("file") << -1;
        QTest::newRow("prefix first") << QByteArray("ab") << QByteArray("abc") << -1;
        QTest::newRow("empty first") << QByteArray("") << QByteArray("a") << -1;
        QTest::newRow("equal") << QByteArray("/tmp/x") << QByteArray("/tmp/x") << 0;
        QTest::newRow("bytes above 127 after ASCII")
            << QByteArray("\xC3\xA9") << QByteArray("z") << 1;
        QTest::newRow("multibyte by code value")
            << QByteArray("\xC3\x89") << QByteArray("\xC3\xA9") << -1;
        QTest::newRow("first difference decides") << QByteArray("b") << QByteArray("abcdef") << 1;
    }
    void compare() {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, sign);
        const auto sgn = [](int v) { return (v > 0) - (v < 0); };
        QCOMPARE(sgn(CompareRowTexts(a.toStdString(), b.toStdString())), sign);
        QCOMPARE(sgn(CompareRowTexts(b.toStdString(), a.toStdString())), -sign);
    }

    void randomLists_data() {
        QTest::addColumn<bool>("ascending");
        QTest::newRow("ascending") << true;
        QTest::newRow("descending") << false;
    }
    void randomLists() {
        QFETCH(bool, ascending);
        std::mt19937 rng(ascending ? 7 : 11);
        std::uniform_int_distribution<int> size(2, 120);
        for (int round = 0; round < 400; ++round) {
            TestRows table;
            const int n = round < 20 ? round + 2 : size(rng);
            for (int i = 0; i < n; ++i)
                table.rows.push_back({RandomText(rng), i});
            const std::vector<Row> before = table.rows;

            QVERIFY(SortRows(table, 0, ascending, 0, -1));

            // Ordered by the reference order: std::string compares bytes as unsigned.
            std::vector<std::string> expected;
            for (const Row& r : before)
                expected.push_back(r.strText);
            std::sort(expected.begin(), expected.end());
            if (!ascending)
                std::reverse(expected.begin(), expected.end());
            for (int i = 0; i < n; ++i)
                QCOMPARE(table.rows[i].strText, expected[i]);
            QCOMPARE(table.nEqualExchanges, 0);
            // Every row is still there once, with what it carried.
            std::vector<bool> seen(n, false);
            for (const Row& r : table.rows) {
                QVERIFY(!seen[r.nId]);
                seen[r.nId] = true;
                QCOMPARE(r.strText, before[r.nId].strText);
            }
        }
    }

    void sortedInputIsLeftAlone() {
        // Already in order with runs of equal texts: nothing needs to move.
        TestRows table;
        for (int i = 0; i < 50; ++i)
            table.rows.push_back({std::string(1, char('A' + i / 3)), i});
        QVERIFY(SortRows(table, 0, true, 0, -1));
        QCOMPARE(table.nExchanges, 0);
    }

    void subRange() {
        TestRows table;
        for (const char* t : {"e", "d", "c", "b", "a"})
            table.rows.push_back({t, 0});
        QVERIFY(SortRows(table, 0, true, 1, 3));
        std::string order;
        for (const Row& r : table.rows)
            order += r.strText;
        QCOMPARE(QString::fromStdString(order), QStringLiteral("ebcda"));
    }

    void nothingToSort_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("no rows") << 0 << 0 << 0 << -1;
        QTest::newRow("one row") << 1 << 0 << 0 << -1;
        QTest::newRow("missing column") << 5 << 1 << 0 << -1;
        QTest::newRow("negative column") << 5 << -1 << 0 << -1;
        QTest::newRow("empty range") << 5 << 0 << 3 << 3;
        QTest::newRow("range past the end") << 5 << 0 << 0 << 9;
    }
    void nothingToSort() {
        QFETCH(int, rows);
        QFETCH(int, column);
        QFETCH(int, low);
        QFETCH(int, high);
        TestRows table;
        for (int i = 0; i < rows; ++i)
            table.rows.push_back({std::string(1, char('z' - i)), i});
        QVERIFY(!SortRows(table, column, true, low, high));
        QCOMPARE(table.nExchanges, 0);
    }
};

QTEST_APPLESS_MAIN(TestRowSort)
#include "tst_rowsort.moc"
