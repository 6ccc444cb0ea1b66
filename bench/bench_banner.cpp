// Time to show a banner page through the pane, from Navigate to the page painted, for a
// plain page and for every page of the hostile corpus, served from a loopback server, in the
// same run (median of 3). Prints wall time and the user-interface thread's CPU time (which
// includes the loopback server's own work, on the same thread).
//   QT_QPA_PLATFORM=offscreen bench_banner
#include "banner/CExplorer1.h"
#include "tests/support/HostilePages.h"
#include "tests/support/LocalHttpServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

struct Times {
    double wallMs;
    double uiMs;
    bool bShown;
};

Times ShowOnce(const HostilePage& page) {
    LocalHttpServer server;
    server.Serve("/bnvtl.html", "text/html", page.html);
    for (auto it = page.files.begin(); it != page.files.end(); ++it)
        server.Serve(it.key(), "image/png", it.value());
    QWidget window;
    window.resize(200, 100);
    auto* pane = new CExplorer1(&window);
    pane->setGeometry(10, 10, 64, 26);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("window not exposed\n");
    QSignalSpy settled(pane, &CExplorer1::PageSettled);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = ThreadCpuMs();
    pane->Navigate(server.Url("/bnvtl.html"));
    settled.wait(60000);
    pane->grab();
    return {double(wall.nsecsElapsed()) / 1e6, ThreadCpuMs() - cpu0,
            !settled.isEmpty() && settled.first().first().toBool()};
}

Times Median(const HostilePage& page) {
    QList<Times> runs;
    for (int i = 0; i < 3; ++i)
        runs.append(ShowOnce(page));
    std::sort(runs.begin(), runs.end(), [](auto& a, auto& b) { return a.wallMs < b.wallMs; });
    Times median = runs[1];
    std::sort(runs.begin(), runs.end(), [](auto& a, auto& b) { return a.uiMs < b.uiMs; });
    median.uiMs = runs[1].uiMs;
    return median;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    HostilePage plain{"plain page (text, link, picture)",
                      "<html><body><a href=\"/offer.html\"><img src=\"pic.png\" width=64 "
                      "height=26></a><p>Join files faster</p></body></html>",
                      {{"/pic.png", PngBytes(64, 26)}}};
    const Times base = Median(plain);
    std::printf("%-44s %9s %9s %7s\n", "page", "wall ms", "UI ms", "shown");
    std::printf("%-44s %9.1f %9.1f %7s\n", qPrintable(plain.strName), base.wallMs, base.uiMs,
                base.bShown ? "yes" : "no");
    QString worstName;
    Times worst{0, 0, false};
    for (const HostilePage& page : HostileCorpus(QStringLiteral(BANNER_DATA_DIR))) {
        const Times t = Median(page);
        std::printf("%-44s %9.1f %9.1f %7s\n", qPrintable(page.strName), t.wallMs, t.uiMs,
                    t.bShown ? "yes" : "no");
        std::fflush(stdout);
        if (t.uiMs > worst.uiMs) {
            worst = t;
            worstName = page.strName;
        }
    }
    std::printf("\nworst page for the UI thread: %s: %.1f ms UI (%.2f x the plain page), "
                "%.1f ms wall (%.2f x)\n",
                qPrintable(worstName), worst.uiMs, worst.uiMs / base.uiMs, worst.wallMs,
                worst.wallMs / base.wallMs);
    return 0;
}
