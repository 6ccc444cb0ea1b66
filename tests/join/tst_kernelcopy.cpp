// The kernel copy inside a join: inputs it cannot take mixed with ones it can, and faults in the
// middle of a copy, which must either stop the join with a message or hand over to the block loop.
#include "JoinFiles.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

JoinKernelCopy s_pfnRealCopy = nullptr; // the join's own
qint64 s_nCopied = 0;                   // bytes the kernel copied
qint64 s_nBudget = -1;                  // past this many bytes every call fails; -1: never
int s_nFault = 0;                       // the errno of those calls; 0: they report the end
constexpr int kShrink = -1;             // a fault: the input is cut short, and its end reported
QString s_strInput;                     // the file kShrink cuts

std::ptrdiff_t ProbedCopy(int fdIn, int fdOut, std::size_t count) {
    if (s_nBudget >= 0) {
        if (s_nCopied >= s_nBudget) {
            if (s_nFault == kShrink)
                QFile::resize(s_strInput, 1000);
            if (s_nFault <= 0)
                return 0;
            errno = s_nFault;
            return -1;
        }
        count = std::min(count, std::size_t(s_nBudget - s_nCopied));
    }
    const std::ptrdiff_t n = s_pfnRealCopy(fdIn, fdOut, count);
    if (n > 0)
        s_nCopied += n;
    return n;
}

std::string Std(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

JoinResult Join(const QString& output, const QStringList& inputs) {
    std::list<std::string> paths;
    for (const QString& input : inputs)
        paths.push_back(Std(input));
    return JoinFiles(Std(output), paths);
}

} // namespace

class TestKernelCopy : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { g_pfnJoinKernelCopy = s_pfnRealCopy; }

    void mixedInputsComeOutExact_data();
    void mixedInputsComeOutExact();
    void faultInTheMiddleOfACopy_data();
    void faultInTheMiddleOfACopy();
};

void TestKernelCopy::initTestCase() {
    QVERIFY(m_dir.isValid());
    s_pfnRealCopy = g_pfnJoinKernelCopy;
    if (!s_pfnRealCopy)
        QSKIP("no kernel copy on this system");
    init();
    WriteFile(Path("probe"), "probe");
    QVERIFY(Join(Path("probe.out"), {Path("probe")}).ok());
    if (s_nCopied != 5)
        QSKIP("the kernel does not copy between files in the temporary folder");
}

void TestKernelCopy::init() {
    g_pfnJoinKernelCopy = ProbedCopy;
    s_nCopied = 0;
    s_nBudget = -1;
    s_nFault = 0;
}

void TestKernelCopy::mixedInputsComeOutExact_data() {
    QTest::addColumn<QString>("kinds"); // f: regular file, p: named pipe
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<bool>("kernel");

    for (bool kernel : {true, false}) {
        const char* mode = kernel ? "kernel copy" : "block loop";
        QTest::addRow("file, pipe, file (%s)", mode)
            << "fpf" << QList<int>{5000, 300000, 4097} << kernel;
        QTest::addRow("pipe, then block-aligned files (%s)", mode)
            << "pff" << QList<int>{6, 8192, 4096} << kernel;
        QTest::addRow("empty file, pipe, empty pipe, file (%s)", mode)
            << "fppf" << QList<int>{0, 70000, 0, 1} << kernel;
    }
}

void TestKernelCopy::mixedInputsComeOutExact() {
    QFETCH(QString, kinds);
    QFETCH(QList<int>, sizes);
    QFETCH(bool, kernel);
    if (!kernel)
        g_pfnJoinKernelCopy = nullptr;

    QStringList inputs;
    QByteArray expected;
    qint64 inFiles = 0;
    std::vector<std::unique_ptr<CChildRun>> writers; // each waits in open() for the join
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        const QString path = Path(QString("in%1").arg(i));
        const QByteArray data = PatternBytes(sizes[i], quint32(20 + i));
        QFile::remove(path);
        if (kinds[i] == 'p') {
            QCOMPARE(::mkfifo(Std(path).c_str(), 0600), 0);
            writers.push_back(std::make_unique<CChildRun>(PipeWriter(path, data)));
        } else {
            WriteFile(path, data);
            inFiles += data.size();
        }
        inputs << path;
        expected += data;
    }

    const JoinResult result = Join(Path("out.bin"), inputs);
    QVERIFY2(result.ok(), result.message().c_str());
    for (const auto& writer : writers)
        QCOMPARE(QString::fromStdString(writer->Result(20000)), QString("wrote all"));
    QCOMPARE(ReadFile(Path("out.bin")), expected);
    QCOMPARE(s_nCopied, kernel ? inFiles : 0); // files through the kernel, pipes not
}

void TestKernelCopy::faultInTheMiddleOfACopy_data() {
    QTest::addColumn<qint64>("budget");   // bytes the kernel copies before the fault
    QTest::addColumn<int>("fault");       // 0: the kernel reports the end too early
    QTest::addColumn<QString>("failure"); // empty: the join completes

    const QString read = "Reading the input file \"<in>\" failed: Input/output error. "
                         "The output file \"<out>\" is incomplete.";
    QTest::newRow("I/O error in the first input") << qint64(5000) << EIO << read;
    QTest::newRow("I/O error in the second input") << qint64(10000 + 65536) << EIO << read;
    QTest::newRow("disk full") << qint64(5000) << ENOSPC
                               << "Writing the output file failed: No space left on device. "
                                  "The output file \"<out>\" is incomplete.";
    // The kernel cannot copy between these files: the block loop goes on from there.
    QTest::newRow("other file system, after some bytes") << qint64(5000) << EXDEV << QString();
    QTest::newRow("refused at once") << qint64(0) << EINVAL << QString();
    QTest::newRow("no such call") << qint64(0) << ENOSYS << QString();
    QTest::newRow("not supported, in the second input")
        << qint64(10000 + 4097) << EOPNOTSUPP << QString();
    QTest::newRow("end reported early") << qint64(5000) << 0 << QString();
    // A file that shrank is not what was checked: the output must not pass for it.
    QTest::newRow("input cut short") << qint64(5000) << kShrink
                                     << "The input file \"<in>\" changed while it was being "
                                        "joined. The output file \"<out>\" is incomplete.";
}

void TestKernelCopy::faultInTheMiddleOfACopy() {
    QFETCH(qint64, budget);
    QFETCH(int, fault);
    QFETCH(QString, failure);

    const QString first = Path("first.bin"), second = Path("second.bin"), output = Path("out.bin");
    const QByteArray data1 = PatternBytes(10000, 30), data2 = PatternBytes(300000, 31);
    WriteFile(first, data1);
    WriteFile(second, data2);
    s_nBudget = budget;
    s_nFault = fault;
    s_strInput = first;

    const JoinResult result = Join(output, {first, second});
    if (failure.isEmpty()) {
        QVERIFY2(result.ok(), result.message().c_str());
        QCOMPARE(ReadFile(output), data1 + data2);
    } else {
        QVERIFY(!result.ok());
        const QString failed = budget < data1.size() ? first : second;
        QCOMPARE(QString::fromStdString(result.message()),
                 failure.replace("<in>", failed).replace("<out>", output));
        QCOMPARE(ReadFile(output), (data1 + data2).left(budget));
    }
}

QTEST_GUILESS_MAIN(TestKernelCopy)
#include "tst_kernelcopy.moc"
