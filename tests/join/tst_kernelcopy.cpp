// The kernel copies inside a join (copy_file_range, then sendfile): inputs they cannot take mixed
// with ones they can, and faults in the middle of a copy, which must either stop the join with a
// message or hand over to the next way of copying.
#include "join/JoinFiles.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

JoinKernelCopies s_real{};              // the join's own
JoinKernelCopy s_pfnRealCopy = nullptr; // the one being probed
qint64 s_nCopied = 0;                   // bytes it copied
qint64 s_nBudget = -1;                  // past this many bytes every call fails; -1: never
int s_nFault = 0;                       // the errno of those calls; 0: they report the end
// Faults that report the end: the input is cut short; its reading stops early with the file
// intact (a network file system's early end); the same after a change of status alone.
constexpr int kShrink = -1, kEndEarly = -2, kEndEarlyAndChmod = -3;
QString s_strInput; // the file kShrink cuts

// Changes the file's status alone (chmod to the mode it has), until its ctime shows it: the
// clock behind it moves in ticks.
void TouchStatus(int fd) {
    struct stat before {};
    ::fstat(fd, &before);
    for (struct stat now = before; now.st_ctim.tv_sec == before.st_ctim.tv_sec &&
                                   now.st_ctim.tv_nsec == before.st_ctim.tv_nsec;) {
        ::fchmod(fd, before.st_mode & 07777);
        ::fstat(fd, &now);
    }
}

std::ptrdiff_t ProbedCopy(int fdIn, int fdOut, std::size_t count) {
    if (s_nBudget >= 0) {
        if (s_nCopied >= s_nBudget) {
            if (s_nFault == kShrink)
                QFile::resize(s_strInput, 1000);
            if (s_nFault == kEndEarlyAndChmod)
                TouchStatus(fdIn);
            if (s_nFault <= kEndEarly)
                ::lseek(fdIn, 0, SEEK_END); // what is read from here on is the end
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

// Probes the way the join copies first: "copy_file_range" or "sendfile" (the ways before it
// left out), or none at all for "block loop".
void CopyFirstWith(const QString& path) {
    g_joinKernelCopies = s_real;
    if (path == "copy_file_range") {
        s_pfnRealCopy = s_real.copyRange;
        g_joinKernelCopies.copyRange = ProbedCopy;
    } else {
        g_joinKernelCopies.copyRange = nullptr;
        s_pfnRealCopy = s_real.sendFile;
        g_joinKernelCopies.sendFile = path == "sendfile" ? ProbedCopy : nullptr;
    }
}

} // namespace

class TestKernelCopy : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { g_joinKernelCopies = s_real; }

    void mixedInputsComeOutExact_data();
    void mixedInputsComeOutExact();
    void faultInTheMiddleOfACopy_data();
    void faultInTheMiddleOfACopy();
};

void TestKernelCopy::initTestCase() {
    QVERIFY(m_dir.isValid());
    s_real = g_joinKernelCopies;
    if (!s_real.copyRange || !s_real.sendFile)
        QSKIP("no kernel copy on this system");
    init();
    WriteFile(Path("probe"), "probe");
    QVERIFY(Join(Path("probe.out"), {Path("probe")}).ok());
    if (s_nCopied != 5)
        QSKIP("the kernel does not copy between files in the temporary folder");
}

void TestKernelCopy::init() {
    CopyFirstWith("copy_file_range");
    s_nCopied = 0;
    s_nBudget = -1;
    s_nFault = 0;
}

void TestKernelCopy::mixedInputsComeOutExact_data() {
    QTest::addColumn<QString>("kinds"); // f: regular file, p: named pipe
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QString>("path");

    for (const char* path : {"copy_file_range", "sendfile", "block loop"}) {
        QTest::addRow("file, pipe, file (%s)", path)
            << "fpf" << QList<int>{5000, 300000, 4097} << path;
        QTest::addRow("pipe, then block-aligned files (%s)", path)
            << "pff" << QList<int>{6, 8192, 4096} << path;
        QTest::addRow("empty file, pipe, empty pipe, file (%s)", path)
            << "fppf" << QList<int>{0, 70000, 0, 1} << path;
        QTest::addRow("files of several blocks (%s)", path)
            << "ff" << QList<int>{int(3 * kJoinBlockSize) + 1, int(kJoinBlockSize) - 1} << path;
    }
}

void TestKernelCopy::mixedInputsComeOutExact() {
    QFETCH(QString, kinds);
    QFETCH(QList<int>, sizes);
    QFETCH(QString, path);
    CopyFirstWith(path);

    QStringList inputs;
    QByteArray expected;
    qint64 inFiles = 0;
    std::vector<std::unique_ptr<ChildRun>> writers; // each waits in open() for the join
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        const QString input = Path(QString("in%1").arg(i));
        const QByteArray data = PatternBytes(sizes[i], quint32(20 + i));
        QFile::remove(input);
        if (kinds[i] == 'p') {
            QCOMPARE(::mkfifo(Std(input).c_str(), 0600), 0);
            writers.push_back(std::make_unique<ChildRun>(PipeWriter(input, data)));
        } else {
            WriteFile(input, data);
            inFiles += data.size();
        }
        inputs << input;
        expected += data;
    }

    const JoinResult result = Join(Path("out.bin"), inputs);
    QVERIFY2(result.ok(), result.message().c_str());
    for (const auto& writer : writers)
        QCOMPARE(QString::fromStdString(writer->Result(20000)), QString("wrote all"));
    QCOMPARE(ReadFile(Path("out.bin")), expected);
    QCOMPARE(s_nCopied, path == "block loop" ? 0 : inFiles); // files through the kernel only
}

void TestKernelCopy::faultInTheMiddleOfACopy_data() {
    QTest::addColumn<QString>("path");    // the kernel copy the fault comes from
    QTest::addColumn<qint64>("budget");   // bytes it copies before the fault
    QTest::addColumn<int>("fault");       // 0: it reports the end too early
    QTest::addColumn<QString>("failure"); // empty: the join completes

    const QString read = "Reading the input file \"<in>\" failed: Input/output error. "
                         "The output file \"<out>\" is incomplete.";
    for (const char* path : {"copy_file_range", "sendfile"}) {
        const auto row = [path](const char* name) -> QTestData& {
            return QTest::addRow("%s (%s)", name, path) << QString(path);
        };
        row("I/O error in the first input") << qint64(5000) << EIO << read;
        row("I/O error in the second input") << qint64(10000 + 65536) << EIO << read;
        row("disk full") << qint64(5000) << ENOSPC
                         << "Writing the output file failed: No space left on device. "
                            "The output file \"<out>\" is incomplete.";
        // The kernel cannot copy between these files this way: the next way goes on from there.
        row("other file system, after some bytes") << qint64(5000) << EXDEV << QString();
        row("refused at once") << qint64(0) << EINVAL << QString();
        row("no such call") << qint64(0) << ENOSYS << QString();
        row("not supported, in the second input")
            << qint64(10000 + 4097) << EOPNOTSUPP << QString();
        row("end reported early") << qint64(5000) << 0 << QString();
        // A file that shrank is not what was checked: the output must not pass for it.
        const QString changed = "The input file \"<in>\" changed while it was being joined. "
                                "The output file \"<out>\" is incomplete.";
        row("input cut short") << qint64(5000) << kShrink << changed;
        row("read ends early, file unchanged")
            << qint64(5000) << kEndEarly
            << "Reading the input file \"<in>\" failed: it ended after 5000 of its 10000 "
               "bytes. The output file \"<out>\" is incomplete.";
        row("read ends early, only the status changed")
            << qint64(5000) << kEndEarlyAndChmod << changed;
    }
}

void TestKernelCopy::faultInTheMiddleOfACopy() {
    QFETCH(QString, path);
    QFETCH(qint64, budget);
    QFETCH(int, fault);
    QFETCH(QString, failure);
    CopyFirstWith(path);

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
