// The banner pane against a loopback server: the page is fetched once and shown with its
// pictures, the host's settings take away context menu, border and scroll bars, links open
// through the desktop, and no failure of the server holds up or troubles the main window.
#include "app/CVantrelDlg.h"
#include "banner/BannerLayout.h"
#include "banner/BannerLoader.h"
#include "banner/CExplorer1.h"
#include "banner/CWebCtrlInterFace.h"
#include "banner/MakerSite.h"
#include "listview/CFlatListCtrl.h"
#include "platform/core/UiThread.h"
#include "platform/widgets/ShellOpen.h"
#include "res/resource.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/HostilePages.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QWheelEvent>

#include <memory>
#include <optional>

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 160, 0);

QByteArray Png(const QSize& size, const QColor& color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

QByteArray Page(const QByteArray& body) {
    return "<html><head><title>banner</title></head><body>" + body + "</body></html>";
}

// A row's host: none, or one with these settings.
using Host = std::optional<CWebCtrlInterFace>;

QRgb CentrePixel(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    return image.pixel(image.width() / 2, image.height() / 2);
}

// A pane of the main window's size in a window of its own, with or without a host.
struct PaneHolder {
    explicit PaneHolder(const Host& host) {
        window.resize(200, 100);
        pPane = new CExplorer1(&window);
        pPane->setGeometry(10, 10, 64, 26);
        if (host)
            pPane->SetHost(*host);
        window.show();
    }
    QWidget window;
    CExplorer1* pPane = nullptr;
};

// Asks the view for its context menu as the system does, by the mouse's right button (through
// the window) or by the menu key; the request is handled before this returns. True when the
// view received the request.
bool RequestContextMenu(QWidget* window, QTextBrowser* view, bool byKey) {
    QSignalSpy requested(view, &QWidget::customContextMenuRequested);
    QWidget* viewport = view->viewport();
    const QPoint centre = viewport->rect().center();
    if (byKey) {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, centre, viewport->mapToGlobal(centre));
        QApplication::sendEvent(viewport, &event);
    } else {
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                          viewport->mapTo(window, centre));
    }
    return requested.size() == 1;
}

// Sets the server up as the row says; returns the host the banner is to be loaded from.
QString Serve(const QString& server, LocalHttpServer* pHttp, QTcpServer* pClosed) {
    constexpr qint64 k100MB = 100 * 1000 * 1000;
    LocalHttpServer& http = *pHttp;
    if (server == "none") {
        pClosed->listen(QHostAddress::LocalHost, 0);
        return QStringLiteral("127.0.0.1:%1").arg(pClosed->serverPort());
    } else if (server == "silent") {
        http.NeverAnswer("/bnvtl.html");
    } else if (server.startsWith("huge")) {
        http.Endless("/bnvtl.html", k100MB, server.endsWith("announced"));
    } else if (server == "endless head") {
        http.EndlessHead("/bnvtl.html", "HTTP/1.1 200 OK\r\n", "X-Pad: 0123456789\r\n", k100MB);
    } else if (server == "endless line") {
        http.EndlessHead("/bnvtl.html", "HTTP/1.1 200 OK\r\nX-Pad: ", "x", k100MB);
    } else if (server == "endless continue") {
        http.EndlessHead("/bnvtl.html", {}, "HTTP/1.1 100 Continue\r\n\r\n", k100MB);
    } else if (server == "served") {
        http.Serve("/bnvtl.html", "text/html", Page("<img src=\"pic.png\" width=200 height=100>"));
        http.Serve("/pic.png", "image/png", Png({200, 100}, kRed));
    } else if (server == "silent picture") {
        http.Serve("/bnvtl.html", "text/html", Page("<img src=\"pic.png\"><p>Vantrel</p>"));
        http.NeverAnswer("/pic.png");
    } else if (server.startsWith("corpus: ")) {
        for (const HostilePage& page : HostileCorpus(QStringLiteral(BANNER_DATA_DIR))) {
            if (page.strName != server.mid(8))
                continue;
            http.Serve("/bnvtl.html", "text/html", page.html);
            for (auto it = page.files.cbegin(); it != page.files.cend(); ++it)
                http.Serve(it.key(), "image/png", it.value());
        }
    }
    return http.Host();
}

} // namespace

Q_DECLARE_METATYPE(Host)

class TestBanner : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void mainWindowInstallsHostAndLoadsTheBanner();
    void pageShownOnceWithItsPicture_data();
    void pageShownOnceWithItsPicture();
    void linkInThePageOpensThroughTheDesktop();
    void contextMenuAsTheHostSays_data();
    void contextMenuAsTheHostSays();
    void borderAndScrollBarsAsTheHostSays_data();
    void borderAndScrollBarsAsTheHostSays();
    void windowUsableWhateverTheServerDoes_data();
    void windowUsableWhateverTheServerDoes();
    void programEndsSoonAfterItsWindowWhateverTheServerDoes_data();
    void programEndsSoonAfterItsWindowWhateverTheServerDoes();

private:
    QList<QUrl> m_opened;
};

void TestBanner::init() {
    ResetUiThreadCallsForTesting();
    m_opened.clear();
    SetShellOpenHookForTesting([this](const QUrl& url) {
        m_opened << url;
        return true;
    });
}

void TestBanner::cleanup() {
    SetShellOpenHookForTesting({});
    SetMakerSiteHostForTesting({});
    CloseTopLevelsAfterTest();
}

void TestBanner::mainWindowInstallsHostAndLoadsTheBanner() {
    CVantrelDlg dlg;
    CExplorer1* pane = dlg.Banner();
    QCOMPARE(pane->objectName(), QString("IDC_BANNER"));
    QCOMPARE(pane->GetLocationURL(), QString("http://%1/bnvtl.html").arg(MakerSiteHost()));
    // The window's host: no frame, no scroll bars, no context menu.
    QTextBrowser* view = pane->GetView();
    QCOMPARE(view->frameWidth(), 0);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(RequestContextMenu(&dlg, view, true));
    QCOMPARE(FindTopLevel("QMenu"), nullptr);
}

void TestBanner::pageShownOnceWithItsPicture_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("one picture") << QByteArray("<img src=\"pic.png\" width=200 height=100>");
    QTest::newRow("picture twice, a missing one, local files")
        << QByteArray("<img src=\"/pic.png\" width=200 height=100><img src=\"pic.png\">"
                      "<img src=\"missing.png\"><img src=\"file:///dev/zero\">"
                      "<img src=\"file:///etc/passwd\">");
}

void TestBanner::pageShownOnceWithItsPicture() {
    QFETCH(QByteArray, body);
    // Where Qt would look for the picture at twice the scale (tst_banner_2x): never read.
    QTemporaryDir work;
    const QString oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    const auto restore = qScopeGuard([&oldDir] { QDir::setCurrent(oldDir); });
    WriteFile(work.filePath("picture:0@2x"), Png({200, 100}, kGreen));
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html", Page(body));
    server.Serve("/pic.png", "image/png", Png({200, 100}, kRed));
    PaneHolder holder(CWebCtrlInterFace{});
    QVERIFY(QTest::qWaitForWindowExposed(&holder.window));
    QVERIFY(holder.pPane->GetView()->isHidden());
    holder.pPane->Navigate(server.Url("/bnvtl.html"));
    QTRY_VERIFY_WITH_TIMEOUT(holder.pPane->GetView()->isVisible(), 10000);
    QCOMPARE(QColor(CentrePixel(holder.pPane)), kRed);
    QCOMPARE(server.RequestCount("/bnvtl.html"), 1);
    QCOMPARE(server.RequestCount("/pic.png"), 1);
    QTRY_COMPARE(server.OpenConnections(), 0);
    QCOMPARE(server.RequestCount("/bnvtl.html"), 1);
}

void TestBanner::linkInThePageOpensThroughTheDesktop() {
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html",
                 "<body vlink=#00a000><a href=\"/offer.html\"><img src=\"pic.png\" width=200 "
                 "height=100>Offer</a> <a href=\"/other.html\">Other</a></body>");
    server.Serve("/pic.png", "image/png", Png({200, 100}, kRed));
    PaneHolder holder(CWebCtrlInterFace{});
    holder.pPane->Navigate(server.Url("/bnvtl.html"));
    QTRY_VERIFY_WITH_TIMEOUT(holder.pPane->GetView()->isVisible(), 10000);
    QWidget* viewport = holder.pPane->GetView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->rect().center());
    QTRY_COMPARE(m_opened, QList<QUrl>({QUrl(server.Url("/offer.html"))}));
    QCOMPARE(server.RequestCount("/offer.html"), 0); // the desktop opens it, not the pane
    // From now on in the page's colour for visited links; the other link keeps its own.
    const auto textColor = [&](const QString& text) {
        QTextDocument* document = holder.pPane->GetView()->document();
        QTextCursor cursor = document->find(text);
        cursor.clearSelection(); // the format of the text's last letter
        return cursor.charFormat().foreground().color();
    };
    QCOMPARE(textColor("Offer"), kGreen);
    QVERIFY(textColor("Other") != kGreen);

    // By the keyboard as well: Tab marks the first link on the painted page, Return opens it.
    QTextBrowser* view = holder.pPane->GetView();
    const auto* layout = qobject_cast<BannerLayout*>(view->document()->documentLayout());
    QTRY_VERIFY(layout->IsCurrent()); // repainted in the visited colour
    view->setFocus();
    view->setTextCursor(QTextCursor(view->document())); // from the page's start
    const QImage unmarked = viewport->grab().toImage();
    QTest::keyClick(view, Qt::Key_Tab);
    QVERIFY(viewport->grab().toImage() != unmarked);
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_COMPARE(m_opened.size(), 2);
    QCOMPARE(m_opened.last(), QUrl(server.Url("/offer.html")));
}

void TestBanner::contextMenuAsTheHostSays_data() {
    QTest::addColumn<Host>("host");
    QTest::addColumn<bool>("byKey"); // the menu key, else the right button
    for (const bool byKey : {false, true}) {
        const char* how = byKey ? "menu key" : "right click";
        QTest::addRow("window's host, %s: no menu", how) << Host(CWebCtrlInterFace{}) << byKey;
        QTest::addRow("host allows it, %s: the view's menu", how)
            << Host(CWebCtrlInterFace{.bContextMenu = true}) << byKey;
        QTest::addRow("no host, %s: the view's menu", how) << Host() << byKey;
    }
}

void TestBanner::contextMenuAsTheHostSays() {
    QFETCH(Host, host);
    QFETCH(bool, byKey);
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html", Page("<p>Join files faster</p>"));
    PaneHolder holder(host);
    QVERIFY(QTest::qWaitForWindowExposed(&holder.window));
    holder.pPane->Navigate(server.Url("/bnvtl.html"));
    QTRY_VERIFY_WITH_TIMEOUT(holder.pPane->GetView()->isVisible(), 10000);
    QVERIFY(RequestContextMenu(&holder.window, holder.pPane->GetView(), byKey));
    // A menu, when there is one, is open by now.
    QCOMPARE(FindTopLevel("QMenu") != nullptr, !host || host->bContextMenu);
}

void TestBanner::borderAndScrollBarsAsTheHostSays_data() {
    QTest::addColumn<Host>("host");
    QTest::addColumn<QString>("when"); // the host is given
    QTest::newRow("no host: frame and scroll bars") << Host() << "never";
    QTest::newRow("window's host before navigation: flat and still")
        << Host(CWebCtrlInterFace{}) << "before navigation";
    QTest::newRow("window's host once the page is shown")
        << Host(CWebCtrlInterFace{}) << "page shown";
    QTest::newRow("window's host, deleted before navigation")
        << Host(CWebCtrlInterFace{}) << "deleted before navigation";
    QTest::newRow("frame without scroll bars")
        << Host(CWebCtrlInterFace{.bFrame = true}) << "before navigation";
    QTest::newRow("scroll bars without frame, once the page is shown")
        << Host(CWebCtrlInterFace{.bScrollBars = true}) << "page shown";
}

void TestBanner::borderAndScrollBarsAsTheHostSays() {
    QFETCH(Host, host);
    QFETCH(QString, when);
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html",
                 Page("<img src=\"big.png\" width=600 height=400><p>more below</p>"));
    server.Serve("/big.png", "image/png", Png({600, 400}, kGreen));
    PaneHolder holder(when == "before navigation" ? host : Host());
    if (when == "deleted before navigation") {
        auto owned = std::make_unique<CWebCtrlInterFace>(*host);
        holder.pPane->SetHost(*owned);
        owned.reset();
    }
    holder.pPane->Navigate(server.Url("/bnvtl.html"));
    QTextBrowser* view = holder.pPane->GetView();
    QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 10000);
    if (when == "page shown")
        holder.pPane->SetHost(*host);
    const bool frame = !host || host->bFrame;
    const bool scrollBars = !host || host->bScrollBars;
    QVERIFY(view->document()->size().width() > holder.pPane->width());
    QVERIFY(view->document()->size().height() > holder.pPane->height());
    QCOMPARE(view->frameWidth() > 0, frame);
    QCOMPARE(view->horizontalScrollBar()->isVisible(), scrollBars);
    QCOMPARE(view->verticalScrollBar()->isVisible(), scrollBars);
    // Without frame and scroll bars the page reaches every edge of the pane.
    const auto* layout = qobject_cast<BannerLayout*>(view->document()->documentLayout());
    QTRY_VERIFY(layout->IsCurrent());
    const QImage image = holder.pPane->grab().toImage();
    QCOMPARE(QColor(image.pixel(0, 0)) == kGreen, !frame);
    QCOMPARE(QColor(image.pixel(image.width() - 1, image.height() - 1)) == kGreen,
             !frame && !scrollBars);
    // Nor does the wheel move a page that has no scroll bars.
    QWidget* viewport = view->viewport();
    const QPointF at = viewport->rect().center();
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    QCOMPARE(view->verticalScrollBar()->value() > 0, scrollBars);
}

void TestBanner::windowUsableWhateverTheServerDoes_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("shown"); // the page appears with what arrived
    QTest::newRow("page and picture served") << "served" << true;
    QTest::newRow("no server") << "none" << false;
    QTest::newRow("never answers") << "silent" << false;
    QTest::newRow("100 MB page") << "huge" << false;
    QTest::newRow("100 MB page announced") << "huge announced" << false;
    QTest::newRow("page not found") << "404" << false;
    QTest::newRow("endless header lines") << "endless head" << false;
    QTest::newRow("one endless header line") << "endless line" << false;
    QTest::newRow("endless 100 Continue") << "endless continue" << false;
    QTest::newRow("picture never answers") << "silent picture" << true;
    QTest::newRow("PNG of 60 compressed comments")
        << "corpus: PNG of 60 compressed comments" << true;
    QTest::newRow("JPEG of many scans") << "corpus: JPEG of many scans" << true;
    QTest::newRow("two 2048 x 2048 to decode") << "corpus: sixteen fetched 2048 x 2048" << true;
#ifndef Q_OS_WIN // Windows' offscreen tests have no fonts at all: the page costs nothing there
    QTest::newRow("500 sizes of letters no font has")
        << "corpus: 500 sizes of letters no font has" << true;
#endif
}

void TestBanner::windowUsableWhateverTheServerDoes() {
    QFETCH(QString, server);
    QFETCH(bool, shown);

    LocalHttpServer http;
    QTcpServer closed;
    const QString host = Serve(server, &http, &closed);
    QTemporaryDir dir;
    const QString input = dir.filePath("in.bin");
    WriteFile(input, PatternBytes(100000, 3));
    SetMakerSiteHostForTesting(host); // the window loads its banner from there
    CVantrelDlg dlg;
    dlg.Banner()->SetLoadLimits(BannerLoader::kDefaultMaxBytes, 1500);
    AfxSetMainWnd(&dlg);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    MessageBoxRecorder boxes;

    // While the banner loads, commands and a whole join work.
    dlg.GetCommandAction(ID_FILE_REMOVEFILES)->trigger();
    QCOMPARE(boxes.calls.size(), 1);
    QCOMPARE(boxes.calls[0].strText, QString("There are no files to remove!"));
    QVERIFY(dlg.FileList()->AddFileRow(input) >= 0);
    dlg.SetOutputFile(dir.filePath("out.bin"));
    dlg.UpdateData(false);
    dlg.GetCommandAction(ID_ACTION_JOIN)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.calls.size(), 2, 20000);
    QCOMPARE(boxes.calls[1].strText, QString("Joining files was successfully completed!"));
    QCOMPARE(ReadFile(dir.filePath("out.bin")), PatternBytes(100000, 3));

    // The page is asked for once, and the load ends by itself, within its bounds.
    if (server != "none")
        QTRY_COMPARE_WITH_TIMEOUT(http.RequestCount("/bnvtl.html"), 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(http.OpenConnections(), 0, 15000);
    QVERIFY2(http.BytesSent() < 32 * 1024 * 1024, qPrintable(QString::number(http.BytesSent())));
    QTRY_COMPARE_WITH_TIMEOUT(dlg.Banner()->GetView()->isVisible(), shown, 15000);
    QCOMPARE(boxes.calls.size(), 2); // nothing reported
    QCOMPARE(http.RequestCount("/bnvtl.html"), server == "none" ? 0 : 1);
    if (server == "served")
        QCOMPARE(QColor(CentrePixel(dlg.Banner())), kRed);
    AfxSetMainWnd(nullptr);
}

void TestBanner::programEndsSoonAfterItsWindowWhateverTheServerDoes_data() {
    windowUsableWhateverTheServerDoes_data();
}

void TestBanner::programEndsSoonAfterItsWindowWhateverTheServerDoes() {
    // The window closes as soon as its banner's load has started, with the load under way; the
    // program must not wait for the server or a request.
    QFETCH(QString, server);
    LocalHttpServer http;
    QTcpServer closed;
    const QString host = Serve(server, &http, &closed);
#ifdef __SANITIZE_ADDRESS__
    constexpr int kEndWithinMs = 3000; // the sanitizers' own cost
#else
    constexpr int kEndWithinMs = 1000;
#endif
    const HelperRun run = RunPastWindowClose(APPEXIT_HELPER, {"--banner", host}, kEndWithinMs);
    QVERIFY2(run.strFailure.isEmpty(), qPrintable(run.strFailure + "\n" + run.out + run.err));
    QVERIFY2(run.out.contains("boxes shown 0, windows left 0"), run.out);
}

QTEST_MAIN(TestBanner)
#include "tst_banner.moc"
