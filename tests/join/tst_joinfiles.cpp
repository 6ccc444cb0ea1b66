// The copy routine on real files: byte-exact joins, the refusals that protect data, and the
// failures that must never be reported as success.
#include "join/JoinFiles.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <future>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace {

// A path in the engine's form: bytes on Linux, UTF-16 on Windows.
JoinPath Std(const QString& s) {
#ifdef Q_OS_WIN
    return s.toStdWString();
#else
    return s.toStdString();
#endif
}

std::list<JoinPath> StdList(const QStringList& paths) {
    std::list<JoinPath> result;
    for (const QString& p : paths)
        result.push_back(Std(p));
    return result;
}

// A file's bytes under exactly its name: Qt, like the system's clean-up of a path on Windows,
// would drop a trailing dot or space there.
std::filesystem::path ExactPath(const QString& path) {
#ifdef Q_OS_WIN
    return L"\\\\?\\" + QDir::toNativeSeparators(path).toStdWString();
#else
    return Std(path);
#endif
}

void WriteExactly(const QString& path, const QByteArray& data) {
    std::ofstream(ExactPath(path), std::ios::binary).write(data.constData(), data.size());
}

QByteArray ReadExactly(const QString& path) {
    std::ifstream file(ExactPath(path), std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(file), {}));
}

bool MakeHardLink(const QString& target, const QString& link) {
#ifdef Q_OS_WIN
    return ::CreateHardLinkW(Std(link).c_str(), Std(target).c_str(), nullptr);
#else
    return ::link(Std(target).c_str(), Std(link).c_str()) == 0;
#endif
}

#ifdef Q_OS_UNIX

// True while the process waits for the other end of a pipe: a writer inside open(), the join
// polling it.
bool WaitingOnPipe(int pid) {
    QFile file(QString("/proc/%1/syscall").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const long nr = file.readAll().split(' ').value(0).trimmed().toLong(&ok);
    if (!ok)
        return false;
#ifdef SYS_open
    if (nr == SYS_open || nr == SYS_poll)
        return true;
#endif
    return nr == SYS_openat || nr == SYS_ppoll;
}

// A join in a child process, so one that hangs or never stops cannot take the test with it.
std::function<std::string()> JoinInChild(const QString& output, const QStringList& inputs,
                                         rlim_t fileSizeLimit = RLIM_INFINITY) {
    return [=] {
        rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        const JoinResult result = JoinFiles(Std(output), StdList(inputs));
        return result.ok() ? std::string("ok") : result.message();
    };
}
#endif

} // namespace

class TestJoinFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase();
    void init();

    void joinsInputsByteForByte_data();
    void joinsInputsByteForByte();
    void longerExistingOutputHoldsOnlyTheJoinedData();
    void namesEndingInDotsOrSpaces_data();
    void namesEndingInDotsOrSpaces();

    void outputOpenFailures_data();
    void outputOpenFailures();
    void readOnlyOutputIsAccessViolation();
    void tooManyOpenFilesIsNoHandlesAvailable();

    void refusedInputsLeaveOutputUntouched_data();
    void refusedInputsLeaveOutputUntouched();
    void unreadableInputIsRefused_data();
    void unreadableInputIsRefused();
    void outputThatIsAnInputIsRefused_data();
    void outputThatIsAnInputIsRefused();

    void fullDiskReportsIncompleteOutput();
    void fileSizeLimitStopsAtWhatWasWritten();
    void readErrorStopsAndNamesTheInput();
    void systemFilesJoinAsTheyRead_data();
    void systemFilesJoinAsTheyRead();
    void inputVanishedDuringTheCopy();
    void pipeInputsGetAllTheWritersData_data();
    void pipeInputsGetAllTheWritersData();
    void inputSwappedForTheOutputStopsTheCopy_data();
    void inputSwappedForTheOutputStopsTheCopy();

    void readingBackWhatItWritesStops();
    void inputsLargerThanFourGiB();
};

void TestJoinFiles::initTestCase() {
    // Registered once per way of copying: copy_file_range first (the default), sendfile
    // first, or every input through the block loop.
    const QByteArray path = qgetenv("VANTREL_TEST_COPY_PATH");
    if (path == "sendfile" || path == "loop")
        g_joinKernelCopies.copyRange = nullptr;
    if (path == "loop")
        g_joinKernelCopies.sendFile = nullptr;
    QVERIFY2(path.isEmpty() || path == "sendfile" || path == "loop", path.constData());
    QVERIFY(m_dir.isValid());
    // Readable by the unprivileged user of the permission tests.
    QVERIFY(QFile::setPermissions(
        m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                          QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
}

void TestJoinFiles::init() {
    QDir dir(m_dir.path());
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        QFileInfo info(dir.filePath(name));
        if (info.isDir() && !info.isSymLink()) {
            QDir(info.filePath()).removeRecursively();
            continue;
        }
        if (!info.isSymLink()) // Windows deletes no read-only file, and a test leaves one
            QFile::setPermissions(info.filePath(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(info.filePath());
    }
}

void TestJoinFiles::joinsInputsByteForByte_data() {
    QTest::addColumn<QList<QByteArray>>("contents");
    QTest::addColumn<QList<int>>("order"); // which content each listed path holds
    QTest::addColumn<QString>("name");     // of each input, a number added

    const QByteArray a = PatternBytes(10, 1), b = PatternBytes(20, 2);
    QTest::newRow("no inputs") << QList<QByteArray>{} << QList<int>{} << "in";
    QTest::newRow("one empty input") << QList<QByteArray>{""} << QList<int>{0} << "in";
    QTest::newRow("empty input between two")
        << QList<QByteArray>{a, "", b} << QList<int>{0, 1, 2} << "in";
    for (int size : {1, 4095, 4096, 4097, 8192, 8193})
        QTest::addRow("%d bytes", size)
            << QList<QByteArray>{PatternBytes(size, 3)} << QList<int>{0} << "in";
    QTest::newRow("several megabytes") << QList<QByteArray>{PatternBytes(3 * 1024 * 1024 + 123, 4),
                                                            PatternBytes(1024 * 1024 + 1, 5)}
                                       << QList<int>{0, 1} << "in";
    QByteArray lineEnds;
    for (int i = 0; i < 3000; ++i)
        lineEnds += QByteArray("\x1a\n\r\r\n\x00", 6);
    QTest::newRow("line ends, ctrl-Z and zero bytes")
        << QList<QByteArray>{lineEnds, QByteArray("\n"), QByteArray("\x1a")} << QList<int>{0, 1, 2}
        << "in";
    QTest::newRow("same path listed twice")
        << QList<QByteArray>{PatternBytes(5000, 6), b} << QList<int>{0, 1, 0} << "in";
    // Windows keeps names as UTF-16 (a pair of units for the last character) and takes paths
    // of 260 characters and more only in its long-path form.
    QTest::newRow("names beyond Latin-1")
        << QList<QByteArray>{a, b} << QList<int>{0, 1}
        << QString::fromUtf8("\u65e5\u672c\u8a9e \u00fc\u00df \U0001F642 ");
    QTest::newRow("path over 260 characters")
        << QList<QByteArray>{a, b} << QList<int>{0, 1}
        << QString(120, 'd') + "/" + QString(120, 'e') + "/" + QString(30, 'f');
}

void TestJoinFiles::joinsInputsByteForByte() {
    QFETCH(QList<QByteArray>, contents);
    QFETCH(QList<int>, order);
    QFETCH(QString, name);

    QStringList inputs;
    QByteArray expected;
    for (int index : order) {
        const QString path = Path(QString("%1%2.bin").arg(name).arg(index));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        WriteFile(path, contents[index]);
        inputs << path;
        expected += contents[index];
    }
    const QString output = Path(name + "out.bin");

    const JoinResult result = JoinFiles(Std(output), StdList(inputs));
    QVERIFY2(result.ok(), result.message().c_str());
    QCOMPARE(result.message(), std::string());
    QVERIFY(QFile::exists(output));
    QCOMPARE(ReadFile(output), expected);
}

void TestJoinFiles::longerExistingOutputHoldsOnlyTheJoinedData() {
    const QString input = Path("in.bin"), output = Path("out.bin");
    WriteFile(input, PatternBytes(100, 7));
    WriteFile(output, PatternBytes(100000, 8));
    QVERIFY(JoinFiles(Std(output), {Std(input)}).ok());
    QCOMPARE(ReadFile(output), PatternBytes(100, 7));
}

void TestJoinFiles::namesEndingInDotsOrSpaces_data() {
    // Side by side, each a file of its own (NTFS keeps such names too, as do shares written
    // from Linux): each is joined as the very file named.
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    for (const char* name : {"data.", "data ", "data"})
        QTest::addRow("input \"%s\"", name) << name << "out.bin";
    QTest::newRow("output \"data.\"") << "data "
                                      << "data.";
}

void TestJoinFiles::namesEndingInDotsOrSpaces() {
    QFETCH(QString, input);
    QFETCH(QString, output);
    QMap<QString, QByteArray> files;
    const auto removeThem = qScopeGuard([&] { // Qt would remove "data" for "data."
        for (const QString& name : files.keys())
            std::filesystem::remove(ExactPath(Path(name)));
    });
    for (const QString name : {"data", "data.", "data "}) {
        files[name] = PatternBytes(100 + files.size(), quint32(40 + files.size()));
        WriteExactly(Path(name), files[name]);
    }
    const JoinResult result = JoinFiles(Std(Path(output)), {Std(Path(input))});
    QVERIFY2(result.ok(), result.message().c_str());
    files[output] = files[input];
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QCOMPARE(ReadExactly(Path(it.key())), it.value());
}

void TestJoinFiles::outputOpenFailures_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("exact");

    QTest::newRow("folder that does not exist")
        << Path("missing/out.bin") << "File not found" << true;
    QTest::newRow("empty path") << QString() << "File not found" << true;
#ifdef Q_OS_WIN
    QTest::newRow("output is a folder") << m_dir.path() << "Access violation" << true;
#else
    QTest::newRow("output is a folder") << m_dir.path() << "Is a directory" << false;
#endif
    QTest::newRow("path too long") << Path(QString(40000, 'x')) << "too long" << false;
    QTest::newRow("zero byte in path") << Path("a") + QChar(0) + "b"
                                       << "zero byte" << false;
#ifdef Q_OS_WIN // the system would open the device instead of a file
    for (const char* name : {"aux.txt", "nul.txt", "con", "COM1.bin"})
        QTest::addRow("named like a device: %s", name)
            << Path(name)
            << "has the name of a device (" + QString(name).section('.', 0, 0).toUpper() << false;
#endif
}

void TestJoinFiles::outputOpenFailures() {
    QFETCH(QString, output);
    QFETCH(QString, expected);
    QFETCH(bool, exact);

    const QString input = Path("in.bin");
    WriteFile(input, "data");
    const JoinResult result = JoinFiles(Std(output), {Std(input)});
    QVERIFY(!result.ok());
    if (exact)
        QCOMPARE(QString::fromStdString(result.message()), expected);
    else
        QVERIFY2(QString::fromStdString(result.message()).contains(expected),
                 result.message().c_str());
    QCOMPARE(ReadFile(input), QByteArray("data"));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"in.bin"});
}

void TestJoinFiles::readOnlyOutputIsAccessViolation() {
    const QString input = Path("in.bin"), output = Path("out.bin");
    WriteFile(input, "new");
    WriteFile(output, "keep");
    QVERIFY(QFile::setPermissions(output, QFile::ReadOwner | QFile::ReadOther | QFile::ReadGroup));
#ifdef Q_OS_UNIX
    const std::string message =
        RunInChild([&] { return JoinFiles(Std(output), {Std(input)}).message(); }, true);
#else // a read-only file is read-only to its owner too
    if (QFile probe(output); probe.open(QIODevice::Append))
        QSKIP("this user may write read-only files here (Wine run as root)");
    const std::string message = JoinFiles(Std(output), {Std(input)}).message();
#endif
    QCOMPARE(QString::fromStdString(message), QString("Access violation"));
    QCOMPARE(ReadFile(output), QByteArray("keep"));
}

void TestJoinFiles::tooManyOpenFilesIsNoHandlesAvailable() {
#ifndef Q_OS_UNIX
    QSKIP("needs a limit on open descriptors (POSIX rlimits)");
#else
    const QString output = Path("out.bin");
    const std::string message = RunInChild([&] {
        rlimit limit{32, 32};
        setrlimit(RLIMIT_NOFILE, &limit);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        return JoinFiles(Std(output), {}).message();
    });
    QCOMPARE(QString::fromStdString(message), QString("No handles available"));
    QVERIFY(!QFile::exists(output));
#endif
}

void TestJoinFiles::refusedInputsLeaveOutputUntouched_data() {
    QTest::addColumn<QString>("badInput");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing input") << Path("gone.bin") << "does not exist";
    QTest::newRow("folder as input") << m_dir.path() << "is a folder";
    QTest::newRow("input path too long") << Path(QString(40000, 'y')) << "too long";
    QTest::newRow("zero byte in input path") << Path("in") + QChar(0) + "x"
                                             << "zero byte";
#ifdef Q_OS_UNIX
    QTest::newRow("socket as input") << Path("sock") << "cannot be read";
#else // opening one would wait on a serial port or read nothing
    for (const char* name : {"NUL", "aux.txt", "COM1.bin", "lpt2 .log"})
        QTest::addRow("input named like a device: %s", name) << Path(name) << "name of a device";
#endif
}

void TestJoinFiles::refusedInputsLeaveOutputUntouched() {
    QFETCH(QString, badInput);
    QFETCH(QString, expected);

    const QString good = Path("good.bin"), output = Path("out.bin");
    WriteFile(good, "good");
#ifdef Q_OS_UNIX
    if (badInput == Path("sock")) { // a socket cannot be opened at all, so cannot be read
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, Std(badInput).c_str(), sizeof addr.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
    }
#endif
    WriteFile(output, "previous output");
    const JoinResult result = JoinFiles(Std(output), {Std(good), Std(badInput)});
    QVERIFY(!result.ok());
    const QString message = QString::fromStdString(result.message());
    QVERIFY2(message.contains(expected), qPrintable(message));
    QVERIFY2(message.contains("Nothing was joined"), qPrintable(message));
    QCOMPARE(ReadFile(output), QByteArray("previous output"));
}

void TestJoinFiles::unreadableInputIsRefused_data() {
    QTest::addColumn<bool>("pipe"); // else a regular file
    QTest::newRow("file") << false;
    QTest::newRow("named pipe") << true; // judged without opening it
}

void TestJoinFiles::unreadableInputIsRefused() {
#ifndef Q_OS_UNIX
    QSKIP("Windows has no read permission that its owner lacks (POSIX permissions)");
#else
    QFETCH(bool, pipe);
    const QString secret = Path("secret.bin"), output = Path("out.bin");
    if (pipe)
        QCOMPARE(mkfifo(Std(secret).c_str(), 0600), 0);
    else
        WriteFile(secret, "secret");
    QVERIFY(QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner));
    WriteFile(output, "previous output");
    QVERIFY(QFile::setPermissions(output, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                              QFile::WriteOther));
    const std::string message =
        RunInChild([&] { return JoinFiles(Std(output), {Std(secret)}).message(); }, true);
    QVERIFY2(QString::fromStdString(message).contains("cannot be read: Permission denied"),
             message.c_str());
    QVERIFY(QString::fromStdString(message).contains(secret));
    QCOMPARE(ReadFile(output), QByteArray("previous output"));
#endif
}

void TestJoinFiles::outputThatIsAnInputIsRefused_data() {
    QTest::addColumn<QString>("outputName"); // how the output reaches the input "in.bin"
    QTest::newRow("same path") << "in.bin";
    QTest::newRow("relative path") << "./sub/../in.bin";
    QTest::newRow("symbolic link") << "link.bin";
    QTest::newRow("hard link") << "hard.bin";
    QTest::newRow("through a linked folder") << "linkdir/in.bin";
#ifdef Q_OS_WIN // names that differ only in case, or in form, are one file there
    QTest::newRow("other case") << "IN.bin";
    QTest::newRow("long-path form") << "\\\\?\\" + QDir::toNativeSeparators(Path("in.bin"));
    QTest::newRow("hard link on another drive letter") << "T:";
#endif
}

void TestJoinFiles::outputThatIsAnInputIsRefused() {
    QFETCH(QString, outputName);

    const QString input = Path("in.bin"), other = Path("other.bin");
    WriteFile(input, "precious");
    WriteFile(other, "other");
    QVERIFY(QDir(m_dir.path()).mkdir("sub"));
    QVERIFY(MakeHardLink(input, Path("hard.bin")));
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(input, Path("link.bin")));
    QVERIFY(QFile::link(m_dir.path(), Path("linkdir")));
#else
    if (outputName.startsWith("link"))
        QSKIP("Qt makes shortcuts, not symbolic links, on Windows");
    // Drive T: maps a folder of C: (scripts/build-windows): Wine gives the files in it a volume
    // serial of their own.
    std::optional<QTemporaryDir> onT;
    if (outputName == "T:") {
        if (!QFileInfo("T:/").isDir())
            QSKIP("no drive T: (scripts/build-windows maps one under Wine)");
        onT.emplace("T:/tst_joinfiles-XXXXXX");
        outputName = onT->filePath("hard.bin");
        QVERIFY(MakeHardLink(input, outputName));
    }
#endif

    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    const JoinResult result = JoinFiles(Std(outputName), {Std(other), Std(input)});
    QDir::setCurrent(oldCurrent);

    QVERIFY(!result.ok());
    QVERIFY2(result.message().find("is also one of the files to join") != std::string::npos,
             result.message().c_str());
    QCOMPARE(ReadFile(input), QByteArray("precious"));
}

void TestJoinFiles::fullDiskReportsIncompleteOutput() {
#ifdef Q_OS_WIN
    // S: is a drive of 1000 KiB (scripts/build-windows mounts one when it may): the write that
    // fills it is written in part.
    const QString output = "S:/full.bin";
    if (!QFileInfo("S:/").isDir())
        QSKIP("no small drive S: (scripts/build-windows maps one when run as root)");
    const auto removeOutput = qScopeGuard([&] { QFile::remove(output); });
#else
    const QString output = "/dev/full";
    if (!QFile::exists(output))
        QSKIP("no /dev/full on this system");
#endif
    const QString input = Path("in.bin");
    WriteFile(input, PatternBytes(3 << 20, 9));
    const JoinResult result = JoinFiles(Std(output), {Std(input)});
    QVERIFY(!result.ok());
    const QString message = QString::fromStdString(result.message());
    QVERIFY2(message.contains("No space left on device"), qPrintable(message));
    QVERIFY2(message.contains("is incomplete"), qPrintable(message));
}

void TestJoinFiles::fileSizeLimitStopsAtWhatWasWritten() {
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit (POSIX rlimits)");
#else
    // The system accepts part of the second block, then refuses: the join must stop and say
    // so rather than report success with a short file, or die of SIGXFSZ.
    const QString input = Path("in.bin"), output = Path("out.bin");
    const QByteArray data = PatternBytes(10000, 10);
    WriteFile(input, data);
    const std::string message = RunInChild([&] {
        rlimit limit{6000, 6000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const JoinResult result = JoinFiles(Std(output), {Std(input)});
        return result.ok() ? std::string("<reported success>") : result.message();
    });
    QVERIFY2(QString::fromStdString(message).contains("File too large"), message.c_str());
    QVERIFY2(QString::fromStdString(message).contains("is incomplete"), message.c_str());
    QCOMPARE(ReadFile(output), data.left(6000));
#endif
}

void TestJoinFiles::readErrorStopsAndNamesTheInput() {
    // Reading a process's memory at address 0 fails with an I/O error.
    if (!QFile::exists("/proc/self/mem"))
        QSKIP("needs /proc/self/mem (Linux)");
    const QString first = Path("first.bin"), last = Path("last.bin"), output = Path("out.bin");
    WriteFile(first, "first");
    WriteFile(last, "last");
    const JoinResult result =
        JoinFiles(Std(output), {Std(first), Std("/proc/self/mem"), Std(last)});
    QVERIFY(!result.ok());
    const QString message = QString::fromStdString(result.message());
    QVERIFY2(message.contains("Reading the input file \"/proc/self/mem\" failed"),
             qPrintable(message));
    QVERIFY2(message.contains("is incomplete"), qPrintable(message));
    QCOMPARE(ReadFile(output), QByteArray("first"));
}

void TestJoinFiles::systemFilesJoinAsTheyRead_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("/sys, reports 4096 bytes, gives fewer") << "/sys/class/net/lo/address";
    QTest::newRow("/proc, reports 0 bytes, gives more") << "/proc/version";
}

void TestJoinFiles::systemFilesJoinAsTheyRead() {
    QFETCH(QString, file);
#ifndef Q_OS_LINUX // Wine shows them too, but to a Windows program they are plain files
    QSKIP("Linux's /proc and /sys");
#endif
    if (!QFile::exists(file))
        QSKIP("no such file on this system");
    const QString output = Path("out.bin");
    const JoinResult result = JoinFiles(Std(output), {Std(file), Std(file)});
    QVERIFY2(result.ok(), result.message().c_str());
    const QByteArray contents = ReadFile(file);
    QVERIFY(!contents.isEmpty() && contents.size() != QFileInfo(file).size());
    QCOMPARE(ReadFile(output), contents + contents);
}

void TestJoinFiles::inputVanishedDuringTheCopy() {
    const QString first = Path("first.bin"), gone = Path("gone.bin"), output = Path("out.bin");
    WriteFile(first, "first");
    const JoinResult result = CopyJoinInputs(Std(output), {Std(first), Std(gone)});
    QVERIFY(!result.ok());
    const QString message = QString::fromStdString(result.message());
    QVERIFY2(message.contains(gone) && message.contains("could not be opened"),
             qPrintable(message));
    QVERIFY2(message.contains("is incomplete"), qPrintable(message));
    QCOMPARE(ReadFile(output), QByteArray("first"));
}

void TestJoinFiles::pipeInputsGetAllTheWritersData_data() {
    QTest::addColumn<bool>("writerWaitsFirst"); // else it opens once the join reads the pipe
    QTest::addColumn<int>("size");
    QTest::newRow("writer waiting, one line") << true << 6;
    QTest::newRow("writer waiting, more than a pipe holds") << true << 300000;
    QTest::newRow("writer after the check, one line") << false << 6;
    QTest::newRow("writer after the check, more than a pipe holds") << false << 300000;
}

void TestJoinFiles::pipeInputsGetAllTheWritersData() {
#ifndef Q_OS_UNIX
    QSKIP("needs named pipes in the file system (POSIX)");
#else
    QFETCH(bool, writerWaitsFirst);
    QFETCH(int, size);
    if (!QFile::exists("/proc/self/syscall"))
        QSKIP("cannot see where a process waits on this system");
    const QString pipe = Path("pipe"), output = Path("out.bin");
    const QByteArray data = PatternBytes(size, 12);
    QVERIFY(mkfifo(Std(pipe).c_str(), 0600) == 0);

    for (int round = 0; round < 3; ++round) { // a lost race shows in some rounds only
        QFile::remove(output);
        std::optional<ChildRun> writer, join;
        if (writerWaitsFirst) {
            writer.emplace(PipeWriter(pipe, data));
            QTRY_VERIFY_WITH_TIMEOUT(WaitingOnPipe(writer->pid()), 10000);
            join.emplace(JoinInChild(output, {pipe}));
        } else {
            join.emplace(JoinInChild(output, {pipe}));
            QTRY_VERIFY_WITH_TIMEOUT(WaitingOnPipe(join->pid()), 10000);
            writer.emplace(PipeWriter(pipe, data));
        }
        const std::string joined = join->Result(20000);
        const std::string written = writer->Result(20000);
        QCOMPARE(QString::fromStdString(joined), QString("ok"));
        QCOMPARE(QString::fromStdString(written), QString("wrote all"));
        QCOMPARE(ReadFile(output), data);
    }
#endif
}

void TestJoinFiles::inputSwappedForTheOutputStopsTheCopy_data() {
    QTest::addColumn<QString>("link"); // what the second input becomes
    QTest::newRow("symbolic link") << "symbolic";
    QTest::newRow("hard link") << "hard";
    QTest::newRow("hard link on another drive letter") << "T:";
}

void TestJoinFiles::inputSwappedForTheOutputStopsTheCopy() {
    QFETCH(QString, link);
    // The join waits on a pipe after its check has passed; meanwhile the second input becomes
    // a link to the output. Without a stop the copy would read its own output while appending
    // to it (on Linux here until the file size limit).
    QString output = Path("out.bin");
    const QString second = Path("second.bin");
    const QByteArray head = PatternBytes(5000, 13);
    WriteFile(second, "second");
#ifdef Q_OS_UNIX
    if (link == "T:")
        QSKIP("drive letters are Windows'");
    if (!QFile::exists("/proc/self/syscall"))
        QSKIP("cannot see where a process waits on this system");
    const QString pipe = Path("pipe");
    QVERIFY(mkfifo(Std(pipe).c_str(), 0600) == 0);
    ChildRun join(JoinInChild(output, {pipe, second}, 1 << 20));
    QTRY_VERIFY_WITH_TIMEOUT(WaitingOnPipe(join.pid()), 10000);
#else
    if (link == "symbolic")
        QSKIP("Qt makes shortcuts, not symbolic links, on Windows");
    std::optional<QTemporaryDir> onT; // see outputThatIsAnInputIsRefused
    if (link == "T:") {
        if (!QFileInfo("T:/").isDir())
            QSKIP("no drive T: (scripts/build-windows maps one under Wine)");
        onT.emplace("T:/tst_joinfiles-XXXXXX");
        output = onT->filePath("out.bin");
    }
    const QString pipe = QString("\\\\.\\pipe\\vantrel-swap-%1").arg(::GetCurrentProcessId());
    const HANDLE server =
        ::CreateNamedPipeW(Std(pipe).c_str(), PIPE_ACCESS_OUTBOUND, 0, 1, 1 << 16, 0, 0, nullptr);
    QVERIFY(server != INVALID_HANDLE_VALUE);
    auto join = std::async(std::launch::async, [&] {
        return JoinFiles(Std(output), {Std(pipe), Std(second)}).message();
    });
    // Closed on every way out: a failed check must not leave the join waiting on the pipe.
    std::unique_ptr<void, decltype(&::CloseHandle)> serverOpen(server, &::CloseHandle);
    QVERIFY(::ConnectNamedPipe(server, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED);
#endif
    QVERIFY(QFile::remove(second));
    if (link == "symbolic")
        QVERIFY(QFile::link(output, second));
    else
        QVERIFY(MakeHardLink(output, second));
#ifdef Q_OS_UNIX
    const int fd = ::open(Std(pipe).c_str(), O_WRONLY | O_NONBLOCK); // the join is its reader
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, head.constData(), std::size_t(head.size())), ssize_t(head.size()));
    ::close(fd);
    const QString message = QString::fromStdString(join.Result(20000));
#else
    DWORD written = 0;
    QVERIFY(::WriteFile(server, head.constData(), DWORD(head.size()), &written, nullptr));
    ::FlushFileBuffers(server); // until the join has read it all
    serverOpen.reset();
    QCOMPARE(join.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const QString message = QString::fromStdString(join.get());
#endif
    QVERIFY2(message.contains("is also one of the files to join"), qPrintable(message));
    QVERIFY2(message.contains("is incomplete"), qPrintable(message));
    QCOMPARE(ReadFile(output), head);
}

void TestJoinFiles::readingBackWhatItWritesStops() {
    // With the identity checks off, only the guard behind them can see that the second input is
    // the output (as when Wine's drive letters hid it): its growth keeps step with the output.
    const QString first = Path("first.bin"), output = Path("out.bin");
    WriteFile(first, PatternBytes(5000, 14));
    WriteFile(output, "an earlier output");
    const JoinKernelCopies kernel = g_joinKernelCopies;
    g_joinKernelCopies = {nullptr, nullptr}; // the block loop, the only copy on Windows
    g_bJoinComparesFiles = false;
    const auto restore = qScopeGuard([&] {
        g_joinKernelCopies = kernel;
        g_bJoinComparesFiles = true;
    });
#ifdef Q_OS_UNIX // a file size limit bounds what a failing guard would write
    const QString message =
        QString::fromStdString(RunInChild(JoinInChild(output, {first, output}, 64 << 20)));
#else
    const QString message =
        QString::fromStdString(JoinFiles(Std(output), {Std(first), Std(output)}).message());
#endif
    QVERIFY2(message.contains("is also one of the files to join (as") &&
                 message.contains("is incomplete"),
             qPrintable(message));
    QVERIFY(QFileInfo(output).size() < 1 << 20);
}

void TestJoinFiles::inputsLargerThanFourGiB() {
    // It writes over 4 GiB, so it has CTest entries of its own (label huge).
    if (qEnvironmentVariableIsEmpty("VANTREL_TEST_HUGE"))
        QSKIP("writes over 4 GiB: runs with VANTREL_TEST_HUGE=1");
    const qint64 big = (qint64(4) << 30) + 1000; // past every 32-bit offset
    if (QStorageInfo(m_dir.path()).bytesAvailable() < big + (qint64(1) << 30))
        QSKIP("not enough free disk space for a 4 GiB output");

    // A sparse input: only its last bytes are written.
    const QString small = Path("small.bin"), large = Path("large.bin"), output = Path("out.bin");
    WriteFile(small, "head");
    const QByteArray tail = PatternBytes(1000, 11);
    {
        QFile file(large);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.seek(big - tail.size()));
        QCOMPARE(file.write(tail), tail.size());
    }
    const JoinResult result = JoinFiles(Std(output), {Std(small), Std(large), Std(small)});
    QVERIFY2(result.ok(), result.message().c_str());

    QFile out(output);
    QCOMPARE(out.size(), big + 8);
    QVERIFY(out.open(QIODevice::ReadOnly));
    QVERIFY(out.seek(4 + big - tail.size()));
    QCOMPARE(out.read(tail.size() + 4), tail + "head");
    out.close();
    QFile::remove(output);
    QFile::remove(large);
}

QTEST_GUILESS_MAIN(TestJoinFiles)
#include "tst_joinfiles.moc"
