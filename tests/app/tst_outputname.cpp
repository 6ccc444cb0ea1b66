// The output chooser's naming rule on its own, including the cases a file dialog cannot
// produce (short names, Windows paths).
#include "app/OutputName.h"

#include <QTest>

class TestOutputName : public QObject {
    Q_OBJECT

private slots:
    void rule_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("output");
        QTest::newRow("no extension") << "D:\\out\\part"
                                      << "D:\\out\\part.txt";
        QTest::newRow("three letters") << "D:\\out\\whole.bin"
                                       << "D:\\out\\whole.bin";
        QTest::newRow("four letters") << "D:\\out\\photo.jpeg"
                                      << "D:\\out\\photo.jpeg.txt";
        QTest::newRow("two letters") << "D:\\out\\a.7z"
                                     << "D:\\out\\a.7z.txt";
        QTest::newRow("period in a folder") << "D:\\d.e\\f"
                                            << "D:\\d.e\\f";
        QTest::newRow("already .txt") << "/tmp/x.txt"
                                      << "/tmp/x.txt";
        QTest::newRow("three characters") << "a.b"
                                          << "a.b.txt";
        QTest::newRow("period first of four") << ".abc"
                                              << ".abc";
        QTest::newRow("empty") << ""
                               << ".txt";
        QTest::newRow("non-ASCII counts characters") << "/tmp/é.ñ€ü"
                                                     << "/tmp/é.ñ€ü";
    }
    void rule() {
        QFETCH(QString, chosen);
        QFETCH(QString, output);
        QCOMPARE(OutputPathForChoice(chosen), output);
    }
};

QTEST_GUILESS_MAIN(TestOutputName)
#include "tst_outputname.moc"
