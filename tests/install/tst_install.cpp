// The installed program: the layout that cmake --install gives in a prefix and in a staging
// DESTDIR, the installed vantrel started (offscreen) with Help > Contents opened through its
// menu, also from a copy of the tree moved elsewhere, and the desktop files checked by the
// desktop's own validators and against the running program.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString kAppId = QStringLiteral(VANTREL_APP_ID);

struct RunResult {
    int nExitCode = -1;
    QString strOut;
};

RunResult Run(const QString& program, const QStringList& args,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    RunResult run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.strOut = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
        return run;
    }
    run.strOut = QString::fromLocal8Bit(process.readAll());
    run.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QStringList FilesUnder(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The [Desktop Entry] group as key -> value.
QMap<QString, QString> ReadDesktopEntry(const QString& path) {
    QFile file(path);
    QMap<QString, QString> entry;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line == QLatin1String("[Desktop Entry]");
        else if (inGroup && line.contains(QLatin1Char('=')))
            entry.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return entry;
}

// Element name (or element/@attribute) -> text, for the metainfo's single-valued entries.
QMap<QString, QString> ReadMetainfo(const QString& path) {
    QFile file(path);
    QMap<QString, QString> info;
    if (!file.open(QIODevice::ReadOnly))
        return info;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        for (const QXmlStreamAttribute& a : xml.attributes())
            info.insert(name + QLatin1Char('@') + a.name().toString(), a.value().toString());
        if (name == QLatin1String("id") || name == QLatin1String("launchable") ||
            name == QLatin1String("metadata_license"))
            info.insert(name, xml.readElementText());
    }
    return info;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installedLayout_data();
    void installedLayout();
    void installedProgramRuns_data();
    void installedProgramRuns();
    void validatorsAccept_data();
    void validatorsAccept();
    void desktopFilesMatchProgram();

private:
    void AddTreeRows();
    QString Probe(const QString& exe, int* exitCode,
                  QProcessEnvironment env = QProcessEnvironment::systemEnvironment());

    QTemporaryDir m_root;
    QString m_strPrefix; // cmake --install --prefix <this>
    QString m_strStaged; // DESTDIR=<stage> cmake --install --prefix /usr: <stage>/usr
};

void TestInstall::initTestCase() {
    QVERIFY(m_root.isValid());
    m_strPrefix = m_root.filePath(QStringLiteral("prefix"));
    const QString stage = m_root.filePath(QStringLiteral("stage"));
    m_strStaged = stage + QStringLiteral("/usr");

    const QStringList install{QStringLiteral("--install"), QStringLiteral(VANTREL_BUILD_DIR)};
    RunResult run = Run(QStringLiteral(CMAKE_COMMAND),
                        install + QStringList{QStringLiteral("--prefix"), m_strPrefix});
    QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), stage);
    run = Run(QStringLiteral(CMAKE_COMMAND),
              install + QStringList{QStringLiteral("--prefix"), QStringLiteral("/usr")}, env);
    QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut));
}

void TestInstall::AddTreeRows() {
    QTest::addColumn<QString>("tree");
    QTest::newRow("prefix") << m_strPrefix;
    QTest::newRow("DESTDIR staging") << m_strStaged;
}

void TestInstall::installedLayout_data() {
    AddTreeRows();
}

void TestInstall::installedLayout() {
    QFETCH(QString, tree);
    QStringList expected{
        QStringLiteral("bin/vantrel"),
        QStringLiteral(VANTREL_INSTALL_LIBDIR "/vantrel/libvantrel-banner.so"),
        QStringLiteral("share/applications/%1.desktop").arg(kAppId),
        QStringLiteral("share/doc/vantrel/changelog.gz"),
        QStringLiteral("share/doc/vantrel/copyright"),
        QStringLiteral("share/man/man1/vantrel.1.gz"),
        QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId),
        QStringLiteral("share/vantrel/vantrel-help.rcc"),
    };
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
    expected.sort();
    // Exactly these: no test program, library or build file comes along.
    QCOMPARE(FilesUnder(tree), expected);

    for (const QString& file : expected) {
        const QFileInfo info(QDir(tree).filePath(file));
        QCOMPARE(info.isExecutable(), file == QLatin1String("bin/vantrel"));
        QVERIFY2(info.size() > 0, qPrintable(file));
    }
    // Each icon holds the size its folder names.
    for (int size : {16, 48, 256}) {
        const QImage icon(QDir(tree).filePath(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
        QCOMPARE(icon.size(), QSize(size, size));
    }
}

QString TestInstall::Probe(const QString& exe, int* exitCode, QProcessEnvironment env) {
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(VANTREL_PROBE_PLUGIN_DIR));
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("vantrelprobe"));
    // Started from elsewhere, so nothing is found through the current directory.
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_root.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(exe, {});
    const bool finished = process.waitForFinished(60000);
    if (!finished)
        process.kill();
    process.waitForFinished();
    *exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

void TestInstall::installedProgramRuns_data() {
    QTest::addColumn<QString>("tree");
    QTest::addColumn<QString>("module"); // what a copy of the prefix holds as its banner module
    QTest::newRow("prefix") << m_strPrefix << QString();
    QTest::newRow("DESTDIR staging") << m_strStaged << QString();
    QTest::newRow("moved elsewhere") << QString() << QString();
    // Each leaves the banner empty; none may take the program down or be loaded from elsewhere.
    for (const char* module : {"missing", "cut short", "of an older build", "of another build",
                               "only in the current folder"})
        QTest::addRow("banner module %s", module) << QString() << module;
}

void TestInstall::installedProgramRuns() {
    QFETCH(QString, tree);
    QFETCH(QString, module);
    QString away;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString installedModule =
        QStringLiteral("/" VANTREL_INSTALL_LIBDIR "/vantrel/libvantrel-banner.so");
    if (!module.isEmpty()) {
        tree = m_root.filePath(QStringLiteral("trial"));
        QDir(tree).removeRecursively();
        const RunResult copy = Run(QStringLiteral("cp"), {QStringLiteral("-a"), m_strPrefix, tree});
        QVERIFY2(copy.nExitCode == 0, qPrintable(copy.strOut));
        const QString file = tree + installedModule;
        const QString here = m_root.filePath(QStringLiteral("libvantrel-banner.so"));
        QFile::remove(here);
        if (module == QLatin1String("cut short"))
            QVERIFY(QFile::resize(file, 1000));
        else // the current folder's copy is found by the system's search (the empty entry)
            QVERIFY(
                QFile::rename(file, module.endsWith(QLatin1String("folder")) ? here : file + 'x'));
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(":"));
        if (module == QLatin1String("of an older build"))
            QVERIFY(QFile::copy(QStringLiteral(VANTREL_FOREIGN_BANNER_OLDER), file));
        if (module == QLatin1String("of another build"))
            QVERIFY(QFile::copy(QStringLiteral(VANTREL_FOREIGN_BANNER_OTHER), file));
    } else if (tree.isEmpty()) {
        // A copy of the installed tree, moved deeper under another name; the original is
        // moved aside meanwhile, so nothing can be read from where it was installed.
        tree = m_root.filePath(QStringLiteral("elsewhere/deeper/vantrel-copy"));
        QVERIFY(QDir().mkpath(QFileInfo(tree).path()));
        const RunResult copy = Run(QStringLiteral("cp"), {QStringLiteral("-a"), m_strPrefix,
                                                          m_root.filePath(QStringLiteral("copy"))});
        QVERIFY2(copy.nExitCode == 0, qPrintable(copy.strOut));
        QVERIFY(QDir().rename(m_root.filePath(QStringLiteral("copy")), tree));
        away = m_strPrefix + QStringLiteral(".away");
        QVERIFY(QDir().rename(m_strPrefix, away));
    }
    int exitCode = -1;
    const QString out = Probe(QDir(tree).filePath(QStringLiteral("bin/vantrel")), &exitCode, env);
    if (!away.isEmpty())
        QVERIFY(QDir().rename(away, m_strPrefix));

    QVERIFY2(exitCode == 0, qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("title=Vantrel")), qPrintable(out));
    // The banner's library, from this tree: the program finds it relative to itself, and uses it
    // only when it is whole and of its own build.
    const QString treeModule = QDir(tree).canonicalPath() + installedModule;
    QString banner = QStringLiteral("banner: module=none loader=no");
    if (module.isEmpty())
        banner = QStringLiteral("banner: module=%1 loader=yes").arg(treeModule);
    else if (module.startsWith(QLatin1String("of an")))
        banner = QStringLiteral("banner: module=%1 loader=no").arg(treeModule);
    QVERIFY2(out.contains(banner), qPrintable(out));
    // The contents tree is there, with every topic, and the first page is shown.
    QVERIFY2(out.contains(QStringLiteral("help: contents=Vantrel Help topics=6 page=index.html")),
             qPrintable(out));
}

void TestInstall::validatorsAccept_data() {
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("file");
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList()
                                   << QStringLiteral("share/applications/%1.desktop").arg(kAppId);
    QTest::newRow("metainfo") << "appstreamcli" << QStringList{"validate", "--no-net"}
                              << QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId);
}

void TestInstall::validatorsAccept() {
    QFETCH(QString, tool);
    QFETCH(QStringList, args);
    QFETCH(QString, file);
    const QString program = QStandardPaths::findExecutable(tool);
    QVERIFY2(!program.isEmpty(), qPrintable(tool + QStringLiteral(" is missing: run "
                                                                  "scripts/install-deps")));
    const RunResult run = Run(program, args << QDir(m_strPrefix).filePath(file));
    QVERIFY2(run.nExitCode == 0, qPrintable(run.strOut));
    if (!run.strOut.trimmed().isEmpty())
        qInfo().noquote() << tool << "says:" << run.strOut.trimmed();
}

void TestInstall::desktopFilesMatchProgram() {
    int exitCode = -1;
    const QString out = Probe(QDir(m_strPrefix).filePath(QStringLiteral("bin/vantrel")), &exitCode);
    QVERIFY2(exitCode == 0, qPrintable(out));
    const QRegularExpressionMatch app =
        QRegularExpression(QStringLiteral("app: name=(\\S+) desktop=(\\S+)")).match(out);
    QVERIFY2(app.hasMatch(), qPrintable(out));

    const QString desktopFile =
        QStringLiteral("share/applications/%1.desktop").arg(app.captured(2));
    const QMap<QString, QString> entry = ReadDesktopEntry(QDir(m_strPrefix).filePath(desktopFile));
    QVERIFY2(!entry.isEmpty(), qPrintable(desktopFile + QStringLiteral(" is missing")));
    QCOMPARE(entry.value("Exec"), QStringLiteral("vantrel"));
    QCOMPARE(entry.value("Name"), QStringLiteral("Vantrel"));
    QCOMPARE(entry.value("Icon"), app.captured(2));
    // Qt names an X11 window's class after the application.
    QCOMPARE(entry.value("StartupWMClass"), app.captured(1));
    QCOMPARE(entry.value("Terminal"), QStringLiteral("false"));
    QCOMPARE(entry.value("Categories"), QStringLiteral("Utility;"));

    const QMap<QString, QString> info = ReadMetainfo(
        QDir(m_strPrefix)
            .filePath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(app.captured(2))));
    QCOMPARE(info.value("id"), app.captured(2));
    QCOMPARE(info.value("launchable"), app.captured(2) + QStringLiteral(".desktop"));
    QCOMPARE(info.value("component@type"), QStringLiteral("desktop-application"));
    QCOMPARE(info.value("release@version"), QStringLiteral(VANTREL_VERSION));
    QCOMPARE(info.value("content_rating@type"), QStringLiteral("oars-1.1"));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
