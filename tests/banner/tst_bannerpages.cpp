// The banner page as an attacker would serve it: every page of the hostile corpus is shown or
// refused within a few milliseconds of the user-interface thread and a bounded amount of
// memory, reads no local file, and leaves the window's commands and joins working; pictures
// are chosen the same way on every run; links reach the desktop only in a harmless form; the
// load waits for the window's first paint.
#include "app/CVantrelDlg.h"
#include "banner/BannerFonts.h"
#include "banner/BannerLayout.h"
#include "banner/BannerLimits.h"
#include "banner/BannerSanitizer.h"
#include "banner/CExplorer1.h"
#include "banner/MakerSite.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/ShellOpen.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/HostilePages.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TestSupport.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 4; // the sanitizers' own cost
#else
constexpr double kSlowdown = 1;
#endif

// A field of /proc/self/status, in bytes.
qint64 StatusBytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

// Starts a new peak of the resident set; returns the resident set now.
qint64 ResetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return StatusBytes("VmRSS:");
}

// How long each of this process's threads has waited for a core, by thread id, in ms.
QHash<QString, double> QueuedMs() {
    QHash<QString, double> queued;
    const QString tasks = QStringLiteral("/proc/self/task/");
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks + tid + QStringLiteral("/schedstat")); // ns run, ns queued, slices
        if (stat.open(QIODevice::ReadOnly))
            queued.insert(tid, stat.readAll().split(' ').value(1).toDouble() / 1e6);
    }
    return queued;
}

// Counts every open of the watched files.
class CanaryWatch {
public:
    explicit CanaryWatch(const QStringList& paths) : m_fd(inotify_init1(IN_NONBLOCK)) {
        for (const QString& path : paths)
            m_nWatched += inotify_add_watch(m_fd, QFile::encodeName(path), IN_OPEN) >= 0 ? 1 : 0;
    }
    ~CanaryWatch() { close(m_fd); }
    int Watched() const { return m_nWatched; }
    int Opens() {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                m_nOpens += (event->mask & IN_OPEN) ? 1 : 0;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return m_nOpens;
    }

private:
    int m_fd;
    int m_nWatched = 0;
    int m_nOpens = 0;
};

// A pane of the main window's size in a window of its own.
struct LoadedPane {
    QWidget window;
    CExplorer1* pPane = new CExplorer1(&window);

    // Shows the page at url; false if it did not settle.
    bool Load(const QString& url) {
        pPane->setGeometry(0, 0, 64, 26);
        window.show();
        QSignalSpy settled(pPane, &CExplorer1::PageSettled);
        pPane->Navigate(url);
        return settled.wait(10000);
    }
};

// Shows only pictures it is handed, as the pane's document does.
class BlankPictures : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return QImage(1, 1, QImage::Format_ARGB32); }
};

using PageFiles = QHash<QString, QByteArray>;

const QByteArray kPlainPage = "<html><body><p>Join files faster</p></body></html>";

} // namespace

class TestBannerPages : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hostilePageCostsTheWindowLittle_data();
    void hostilePageCostsTheWindowLittle();
    void picturesChosenInDocumentOrder_data();
    void picturesChosenInDocumentOrder();
    void documentHeldToItsBounds_data();
    void documentHeldToItsBounds();
    void linksHandedToTheDesktop_data();
    void linksHandedToTheDesktop();
    void loadStartsAfterTheFirstPaint();
    void tagSoupBriefly();
    void pageLookFillsThePane();

private:
    QString m_strOldDir;
};

void TestBannerPages::init() {
    ResetUiThreadCallsForTesting();
    m_strOldDir = QDir::currentPath();
    SetShellOpenHookForTesting([](const QUrl&) { return true; });
}

void TestBannerPages::cleanup() {
    QDir::setCurrent(m_strOldDir);
    SetShellOpenHookForTesting({});
    SetMakerSiteHostForTesting({});
    CloseTopLevelsAfterTest();
}

void TestBannerPages::hostilePageCostsTheWindowLittle_data() {
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<PageFiles>("files");
    QTest::addColumn<bool>("everyLetterShown");
    for (const HostilePage& page : HostileCorpus(QStringLiteral(BANNER_DATA_DIR)))
        QTest::newRow(qPrintable(page.strName))
            << page.html << page.files << page.bEveryLetterShown;
}

void TestBannerPages::hostilePageCostsTheWindowLittle() {
    QFETCH(QByteArray, html);
    QFETCH(PageFiles, files);
    QFETCH(bool, everyLetterShown);

    // Files a broken data: picture would name, in the working folder.
    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    QVERIFY(QDir().mkdir("data:"));
    for (const char* name : {"canary", "data:,canary", "data:canary", "data:/canary"})
        WriteFile(work.filePath(QString::fromUtf8(name)), "canary");
    CanaryWatch canaries({work.filePath("canary"), work.filePath("data:,canary"),
                          work.filePath("data:canary"), work.filePath("data:/canary")});
    QCOMPARE(canaries.Watched(), 4);

    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html", kPlainPage);
    server.Serve("/hostile.html", "text/html", html);
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        server.Serve(it.key(), "image/png", it.value());
    SetMakerSiteHostForTesting(server.Host());
    CVantrelDlg dlg;
    AfxSetMainWnd(&dlg);
    CExplorer1* pane = dlg.Banner();
    QSignalSpy settled(pane, &CExplorer1::PageSettled);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(settled.wait(10000)); // the plain page of the start
    settled.clear();

    // While the page is laid out the user-interface thread takes Qt's font lock as a menu's
    // text does: its longest wait is what the worker's font searches cost the window.
    double fontWaitMs = 0, probeCpuMs = 0;
    const QString uiThread = QString::number(gettid()); // the probe's thread
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
        const double cpu = ThreadCpuMs();
        const QHash<QString, double> queuedBefore = QueuedMs();
        QElapsedTimer wait;
        wait.start();
        QFontMetrics(QGuiApplication::font()).horizontalAdvance(QStringLiteral("File"));
        double waitMs = double(wait.nsecsElapsed()) / 1e6, longestOther = 0;
        // Less what a busy machine added: this thread's wait for a core, and the longest wait
        // of any other (the lock's holder is one of them).
        const QHash<QString, double> queued = QueuedMs();
        for (auto it = queued.cbegin(); it != queued.cend(); ++it) {
            const double ms = it.value() - queuedBefore.value(it.key());
            if (it.key() == uiThread)
                waitMs -= ms;
            else
                longestOther = std::max(longestOther, ms);
        }
        fontWaitMs = std::max(fontWaitMs, waitMs - longestOther);
        probeCpuMs += ThreadCpuMs() - cpu;
    });
    const qint64 rssBefore = ResetPeakRss();
    const double cpuBefore = ThreadCpuMs();
    probe.start(2);
    pane->Navigate(server.Url("/hostile.html"));
    QVERIFY(settled.wait(30000));
    probe.stop();
    pane->grab(); // painted as it would be on screen
    const double uiMs = ThreadCpuMs() - cpuBefore - probeCpuMs;
    const qint64 growth = StatusBytes("VmHWM:") - rssBefore;
    // What stays is the page's pictures and its painting, nothing of the layout.
    auto* shown = static_cast<BannerDocument*>(pane->GetView()->document());
    const QSizeF painted = shown->documentLayout()->documentSize() * pane->devicePixelRatioF();
    qint64 kept =
        StatusBytes("VmRSS:") - rssBefore - qint64(painted.width()) * 4 * qint64(painted.height());
    for (const QImage& image : std::as_const(shown->images))
        kept -= image.sizeInBytes();
    qInfo("UI thread %.1f ms (with the loopback server's work), font lock waits up to %.1f ms, "
          "peak RSS growth %.1f MB, %.1f MB kept, %s",
          uiMs, fontWaitMs, double(growth) / 1e6, double(kept) / 1e6,
          settled.first().first().toBool() ? "shown" : "refused");

    QVERIFY2(uiMs <= 50 * kSlowdown, qPrintable(QString::number(uiMs)));
    // A long wait can be another program's (its disk, its cores): every row is then measured
    // again, once, in a process of its own, and a long wait fails only if that run fails too.
    if (fontWaitMs > 50 * kSlowdown && !qEnvironmentVariableIsSet("VANTREL_MEASURING_AGAIN")) {
        static const bool bAgainPassed = [] {
            QProcess again;
            again.setEnvironment(QProcess::systemEnvironment() << "VANTREL_MEASURING_AGAIN=1");
            again.setProcessChannelMode(QProcess::MergedChannels);
            again.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("hostilePageCostsTheWindowLittle")});
            if (again.waitForFinished(300000) && again.exitStatus() == QProcess::NormalExit &&
                again.exitCode() == 0)
                return true;
            qWarning().noquote() << again.readAll();
            return false;
        }();
        QVERIFY2(bAgainPassed, "measured again in a process of its own (its output above): failed");
    } else {
        QVERIFY2(fontWaitMs <= 50 * kSlowdown, qPrintable(QString::number(fontWaitMs)));
    }
    if (kSlowdown == 1) {
        QVERIFY2(growth < 64LL * 1024 * 1024, qPrintable(QString::number(growth)));
        QVERIFY2(kept < 8LL * 1024 * 1024, qPrintable(QString::number(kept)));
    }
    QCOMPARE(canaries.Opens(), 0);
    QTextDocument* document = pane->GetView()->document();
    QVERIFY(document->characterCount() <= BannerLimits::kMaxText + BannerLimits::kMaxElements + 1);
    if (everyLetterShown) {
        // Each letter as it came, and a font that has it (looked for only now, after the
        // measurement).
        const QString text = document->toPlainText();
        QVERIFY2(!text.contains(QChar(0xFFFD)), qPrintable(text));
        const QFontMetrics metrics(document->defaultFont());
        QString missing;
        for (const char32_t c : text.toUcs4()) {
            if (QChar::isLetter(c) && !metrics.inFontUcs4(c))
                missing += QString::fromUcs4(&c, 1);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }
    // What the layout draws: the page's text in its places, each letter a font shows as it
    // came, and a mark for what none has (U+0378 is no character yet).
    QTextDocument page, drawn;
    for (QTextDocument* copy : {&page, &drawn}) {
        copy->setDefaultFont(document->defaultFont());
        copy->setHtml(document->toHtml());
    }
    BannerFonts::Bound(drawn);
    QCOMPARE(drawn.characterCount(), page.characterCount());
    QVERIFY(!drawn.toPlainText().contains(QChar(0x0378)));
    if (everyLetterShown)
        QCOMPARE(drawn.toPlainText(), page.toPlainText());

    // The window still answers: a menu command and a whole join.
    MessageBoxRecorder boxes;
    dlg.GetCommandAction(ID_FILE_REMOVEFILES)->trigger();
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText, QString("There are no files to remove!"));
    QTemporaryDir joinDir;
    const QString input = joinDir.filePath("in.bin");
    WriteFile(input, PatternBytes(5000, 7));
    QVERIFY(dlg.FileList()->AddFileRow(input) >= 0);
    dlg.SetOutputFile(joinDir.filePath("out.bin"));
    dlg.UpdateData(false);
    dlg.GetCommandAction(ID_ACTION_JOIN)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.calls.size(), 2, 20000);
    QCOMPARE(boxes.calls[1].strText, QString("Joining files was successfully completed!"));
    QCOMPARE(ReadFile(joinDir.filePath("out.bin")), PatternBytes(5000, 7));
    AfxSetMainWnd(nullptr);
}

void TestBannerPages::picturesChosenInDocumentOrder_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<int>>("fetched"); // of p0.png ... p19.png
    QByteArray twenty;
    for (int i = 0; i < 20; ++i)
        twenty += "<img src=\"p" + QByteArray::number(i) + ".png\">";
    QList<int> first16;
    for (int i = 0; i < 16; ++i)
        first16 << i;
    QTest::newRow("20 pictures: the first 16") << twenty << first16;
    const QByteArray inlined = "<img src=\"data:image/png;base64," + PngBytes(2, 2).toBase64();
    QByteArray fourInline;
    for (int i = 0; i < 4; ++i)
        fourInline += inlined + QByteArray(i, 'A') + "\">"; // four different data: pictures
    QTest::newRow("data: pictures take their places") << fourInline + twenty << first16.mid(0, 12);
    QTest::newRow("a picture repeated counts once")
        << QByteArray("<img src=\"p3.png\"><img src=\"/p3.png\"><img src=\"p3.png\">") + twenty
        << first16;
    // OTHER: another server on this machine; SELF: this server's port.
    QTest::newRow("only from the page's host and port")
        << QByteArray("<img src=\"http://OTHER/p0.png\"><img src=\"http://localhost:SELF/p1.png\">"
                      "<img src=\"https://127.0.0.1:SELF/p3.png\"><img src=\"p2.png\">")
        << QList<int>{2};
    QTest::newRow("redirects kept on the page's host and port")
        << QByteArray("<img src=\"off.png\"><img src=\"on.png\">") << QList<int>{1};
}

void TestBannerPages::picturesChosenInDocumentOrder() {
    QFETCH(QByteArray, body);
    QFETCH(QList<int>, fetched);
    LocalHttpServer server, other;
    body.replace("OTHER", other.Host().toLatin1());
    body.replace("SELF", QByteArray::number(server.Port()));
    server.Serve("/bnvtl.html", "text/html", "<html><body>" + body + "</body></html>");
    server.Redirect("/off.png", other.Url("/p0.png").toLatin1());
    server.Redirect("/on.png", "/p1.png");
    for (int i = 0; i < 20; ++i) {
        server.Serve(QStringLiteral("/p%1.png").arg(i), "image/png", PngBytes(4, 4));
        other.Serve(QStringLiteral("/p%1.png").arg(i), "image/png", PngBytes(4, 4));
    }
    for (int run = 1; run <= 3; ++run) {
        LoadedPane loaded;
        QVERIFY(loaded.Load(server.Url("/bnvtl.html")));
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(server.RequestCount(QStringLiteral("/p%1.png").arg(i)),
                     fetched.contains(i) ? run : 0);
            QCOMPARE(other.RequestCount(QStringLiteral("/p%1.png").arg(i)), 0);
        }
    }
}

void TestBannerPages::documentHeldToItsBounds_data() {
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("scripts, styles and frames go, text stays")
        << QByteArray("<head><style>p{}</style><script>alert(1)</script></head><p>Hi "
                      "<blink>there</blink><iframe src=x>no</iframe></p>")
        << QStringList{"<p>Hi there</p>"} << QStringList{"alert", "style", "iframe", "no"};
    QTest::newRow("nesting held to the bound")
        << QByteArray(2000, 'x').replace("x", "<b>") + "deep"
        << QStringList{QString("<b>").repeated(BannerLimits::kMaxDepth) + "deep"}
        << QStringList{QString("<b>").repeated(BannerLimits::kMaxDepth + 1)};
    QTest::newRow("spans, lengths and padding clamped")
        << QByteArray("<table cellpadding=100000000 width=99999999><tr><td colspan=60000 "
                      "rowspan=60000>x</td></tr></table><img src=a.png width=1e9 height=-3>")
        << QStringList{"cellpadding=\"64\"", "width=\"2000\"", "colspan=\"8\"", "rowspan=\"8\""}
        << QStringList{"60000", "100000000", "-3"};
    QTest::newRow("tables nested at most two deep")
        << QByteArray("<table><tr><td><table><tr><td><table><tr><td>in</td></tr></table>"
                      "</td></tr></table></td></tr></table>")
        << QStringList{"<table><tr><td><table><tr><td><br>in"}
        << QStringList{"<td><table><tr><td><table"};
    QTest::newRow("a long word gets break opportunities")
        << QByteArray(200, 'w')
        << QStringList{QString(80, 'w') + QChar(0x200B) + QString(80, 'w') + QChar(0x200B)}
        << QStringList{QString(81, 'w')};
    QTest::newRow("the page's look kept")
        << QByteArray("<body bgcolor=#ffffe0 text=navy link=red style=\"margin:0;font-size:8px\">"
                      "<a href=\"http://e.example/\">L</a><p style=\"font-weight:bold;"
                      "text-align:center;background:url(x) #123;padding:2px 4px\">p</p>")
        << QStringList{"<body "
                       "style=\"background-color:#ffffe0;color:navy;margin:0px;font-size:8px\">",
                       "style=\"color:red\">L</a>",
                       "style=\"font-weight:bold;text-align:center;background-color:#123;"
                       "padding:2px 4px\""}
        << QStringList{"url("};
    QTest::newRow("hostile style values bounded or dropped")
        << QByteArray("<p style=\"font-size:1e9px;margin:-1e9px;color:expression(alert(1));"
                      "font-size:900000px;") +
               QByteArray("color:red;").repeated(10000) + QByteArray(1000000, ' ') +
               "font-style:italic\">x</p>"
        << QStringList{"font-size:72px;color:red;color:red"}
        << QStringList{"1e9", "expression", "italic",
                       "color:red;" + QString("color:red;").repeated(31)};
    QTest::newRow("unknown attributes and values dropped")
        << QByteArray("<font color=\"red;background:url(x)\" size=9 face=x "
                      "onclick=alert(1)>f</font><p style=x align=center>c</p>")
        << QStringList{"<font>f</font>", "<p align=\"center\">c</p>"}
        << QStringList{"url(", "alert", "face", "style="};
    QTest::newRow("letters of every script kept")
        << QByteArray("<p>Join \xd7\x90\xe0\xa4\x95 \xce\xb1\xd0\xb1</p>")
        << QStringList{QString("Join ") + QChar(0x5d0) + QChar(0x915) + " " + QChar(0x3b1) +
                       QChar(0x431)}
        << QStringList{QChar(0xFFFD)};
    QTest::newRow("pictures by key; base and local names ignored")
        << QByteArray("<base href=\"file:///\"><img src=\"a.png\"><img src=\"file:///etc/passwd\" "
                      "alt=\"local\"><img src=\"data:,x\">")
        << QStringList{"<img src=\"picture:0\">", "local", "<img src=\"picture:1\">"}
        << QStringList{"passwd", "data:", "a.png"};
    // The page is decoded once, by its charset; the parser must not decode it again.
    QTest::newRow("charset of the page read once")
        << QByteArray("<meta charset=\"iso-8859-1\"><p>caf\xe9</p>")
        << QStringList{QString("<p>caf") + QChar(0xe9) + "</p>"} << QStringList{};
    QTest::newRow("UTF-16 named without a byte-order mark: read as UTF-8")
        << QByteArray("<meta charset=\"utf-16\"><p>caf\xc3\xa9</p>")
        << QStringList{QString("<p>caf") + QChar(0xe9) + "</p>"} << QStringList{};
    QTest::newRow("UTF-7 not decoded") << QByteArray("<meta charset=\"utf-7\"><p>+ADw-b+AD4-x</p>")
                                       << QStringList{"+ADw-b+AD4-x"} << QStringList{"<b>"};
    QTest::newRow("direction overrides and isolates dropped")
        << QByteArray("<a href=\"http://e.example/\">\xe2\x80\xaegpj.exe</a>\xe2\x81\xa6x")
        << QStringList{"gpj.exe</a>x"}
        << QStringList{QString(QChar(0x202E)), QString(QChar(0x2066))};
    QTest::newRow("references") << QByteArray("<p>Join &amp; split &copy;&#233;&#x20AC;&nbsp;x</p>")
                                << QStringList{QString("<p>Join &amp; split ") + QChar(0xa9) +
                                               QChar(0xe9) + QChar(0x20ac) + " x</p>"}
                                << QStringList{};
    QTest::newRow("NUL and control characters do not end the page")
        << QByteArray("<p>") + '\0' +
               "a\x01"
               "b</p><p>after</p>"
        << QStringList{"after"} << QStringList{};
    QTest::newRow("cells without rows, text among rows")
        << QByteArray("<table><td>loose</td><td>cell</td></table><table>stray<tr><td>row</td>"
                      "</tr></table>")
        << QStringList{"loose", "cell", "stray", "row"} << QStringList{};
    QTest::newRow("drawings go")
        << QByteArray("<svg><text>drawn</text></svg><math><mi>formula</mi></math><p>shown</p>")
        << QStringList{"shown"} << QStringList{"drawn", "formula"};
    QByteArray attributes = "<p>before</p><p a=\">\"";
    for (int i = 0; i < 70000; ++i)
        attributes += " b" + QByteArray::number(i);
    QTest::newRow("page ends before a tag of 70,000 attributes, some past a quoted '>'")
        << attributes + ">after</p>" << QStringList{"before"} << QStringList{"after"};
}

void TestBannerPages::documentHeldToItsBounds() {
    QFETCH(QByteArray, html);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const BannerPage page = BannerSanitizer::Sanitize(html, QUrl("http://e.example/b.html"));
    QVERIFY(page.bParsed);
    for (const QString& s : present)
        QVERIFY2(page.strHtml.contains(s), qPrintable(page.strHtml.left(2000)));
    for (const QString& s : absent)
        QVERIFY2(!page.strHtml.contains(s), qPrintable(page.strHtml.left(2000)));
    for (const BannerPicture& picture : page.pictures)
        QVERIFY(picture.url.isEmpty() || picture.url == QUrl("http://e.example/a.png"));
}

void TestBannerPages::linksHandedToTheDesktop_data() {
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("opened"); // empty: not a link
    QTest::newRow("relative") << "/offer.html?a=1"
                              << "http://e.example/offer.html?a=1";
    QTest::newRow("https") << "https://e.example/x"
                           << "https://e.example/x";
    QTest::newRow("mailto attach dropped")
        << "mailto:x@example.org?attach=/etc/passwd&subject=Hi%20there&body=a%26b"
        << "mailto:x@example.org?subject=Hi%20there&body=a%26b";
    QTest::newRow("mailto other headers dropped")
        << "mailto:x@example.org?cc=y@example.org&BCC=z@example.org&In-Reply-To=1"
        << "mailto:x@example.org";
    QTest::newRow("mailto address with a line break") << "mailto:x@example.org%0Abcc:y"
                                                      << "";
    QTest::newRow("file") << "file:///etc/passwd"
                          << "";
    QTest::newRow("javascript") << "javascript:alert(1)"
                                << "";
    QTest::newRow("no host") << "http:///x"
                             << "";
    QTest::newRow("2,048 characters")
        << "http://e.example/" + QString(2031, 'x') << "http://e.example/" + QString(2031, 'x');
    QTest::newRow("200,000 characters")
        << "mailto:x@example.org?body=" + QString(200000, 'x') << "";
}

void TestBannerPages::linksHandedToTheDesktop() {
    QFETCH(QString, href);
    QFETCH(QString, opened);
    const QUrl base("http://e.example/bnvtl.html");
    QCOMPARE(BannerSanitizer::SafeLink(base, href).toString(QUrl::FullyEncoded), opened);

    // And through the pane, clicked.
    QList<QUrl> desktop;
    SetShellOpenHookForTesting([&desktop](const QUrl& url) {
        desktop << url;
        return true;
    });
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html",
                 "<html><body><a href=\"" + href.toHtmlEscaped().toUtf8() +
                     "\"><img src=\"pic.png\" width=64 height=26></a></body></html>");
    server.Serve("/pic.png", "image/png", PngBytes(64, 26));
    LoadedPane loaded;
    QVERIFY(loaded.Load(server.Url("/bnvtl.html")));
    const QUrl pageUrl(server.Url("/bnvtl.html"));
    const QUrl expected = BannerSanitizer::SafeLink(pageUrl, href);
    // The click is handled before mouseClick returns: a link the page kept is clicked, and
    // whatever it opens has been opened.
    QSignalSpy clicked(loaded.pPane->GetView(), &QTextBrowser::anchorClicked);
    QWidget* viewport = loaded.pPane->GetView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->rect().center());
    QCOMPARE(clicked.size(), expected.isEmpty() ? 0 : 1);
    QCOMPARE(desktop, expected.isEmpty() ? QList<QUrl>() : QList<QUrl>{expected});
}

void TestBannerPages::loadStartsAfterTheFirstPaint() {
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html", kPlainPage);
    SetMakerSiteHostForTesting(server.Host());
    server.Serve("/shown.html", "text/html", kPlainPage);
    CVantrelDlg dlg;
    // While a pane that is painted loads a whole page from the same server, the window's
    // pane, not painted yet, asks for nothing.
    LoadedPane shown;
    QVERIFY(shown.Load(server.Url("/shown.html")));
    QCOMPARE(server.RequestCount("/shown.html"), 1);
    QCOMPARE(server.RequestCount("/bnvtl.html"), 0);

    struct FirstPaint : QObject {
        LocalHttpServer* pServer;
        int nRequestsAtPaint = -1;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && nRequestsAtPaint < 0)
                nRequestsAtPaint = pServer->RequestCount("/bnvtl.html");
            return false;
        }
    } firstPaint;
    firstPaint.pServer = &server;
    dlg.Banner()->installEventFilter(&firstPaint);
    dlg.show();
    QTRY_COMPARE_WITH_TIMEOUT(server.RequestCount("/bnvtl.html"), 1, 10000);
    QCOMPARE(firstPaint.nRequestsAtPaint, 0);
    QTRY_VERIFY_WITH_TIMEOUT(dlg.Banner()->GetView()->isVisible(), 10000);
}

void TestBannerPages::tagSoupBriefly() {
    // A few seconds of what bench_bannerfuzz does for minutes.
    QTextBrowser view;
    view.setDocument(new BlankPictures(&view));
    view.resize(64, 26);
    view.show();
    const auto show = [&view](quint32 seed) {
        const BannerPage page =
            BannerSanitizer::Sanitize(TagSoup(seed, 2000 + int(seed % 7) * 30000), QUrl());
        const double before = ThreadCpuMs();
        view.setHtml(page.strHtml);
        view.grab();
        return ThreadCpuMs() - before;
    };
    QElapsedTimer clock;
    clock.start();
    double worst = 0;
    quint32 worstSeed = 0;
    int pages = 0;
    for (quint32 seed = 1000; clock.elapsed() < 3000 * kSlowdown; ++seed, ++pages) {
        const double ms = show(seed);
        if (ms > worst) {
            worst = ms;
            worstSeed = seed;
        }
    }
    qInfo("%d pages, worst UI-thread time %.1f ms (seed %u)", pages, worst, worstSeed);
    QVERIFY(pages > 0);
    // On a machine busy with other work one measure can come out high; a page fails only
    // if it is too slow again.
    if (worst > 50 * kSlowdown) {
        worst = std::min(show(worstSeed), show(worstSeed));
        qInfo("seed %u again: %.1f ms", worstSeed, worst);
    }
    QVERIFY2(worst <= 50 * kSlowdown, qPrintable(QString::number(worst)));
}

void TestBannerPages::pageLookFillsThePane() {
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html",
                 "<body style=\"margin:0;background:#ffffe0;font-size:8px\">News</body>");
    LoadedPane loaded;
    QVERIFY(loaded.Load(server.Url("/bnvtl.html")));
    const QImage shot = loaded.pPane->grab().toImage();
    for (const QPoint& corner :
         {QPoint(shot.width() - 3, 2), QPoint(shot.width() - 3, shot.height() - 3)})
        QCOMPARE(shot.pixelColor(corner), QColor("#ffffe0"));
    QTextCursor cursor(loaded.pPane->GetView()->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(cursor.charFormat().font().pixelSize(), 8);
}

QTEST_MAIN(TestBannerPages)
#include "tst_bannerpages.moc"
