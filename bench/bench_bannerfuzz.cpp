// Feeds random HTML to the banner page's sanitiser for a while and shows each result as the
// pane does (pictures decoded, document set into a pane-sized view, laid out and painted on
// the thread pool, shown). Prints how many pages it tried and the worst times: the work done
// on the user-interface thread (setting the document, showing its picture) in thread CPU
// time, and off it (parsing, reducing, decoding in thread CPU time, and the wall time of
// laying out and painting), and the longest the user-interface thread waited for Qt's font lock
// while a page was laid out.
//   bench_bannerfuzz [seconds] [first seed]
// Built with -fsanitize=address,undefined, any fault ends it with a report. The hostile corpus
// comes first (its pages take the first seed numbers), then random pages.
#include "banner/BannerLayout.h"
#include "banner/BannerPictures.h"
#include "banner/BannerSanitizer.h"
#include "tests/support/HostilePages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QRandomGenerator>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

struct Worst {
    double ms = 0;
    quint32 nSeed = 0;
    int nBytes = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? atoi(argv[1]) : 10;
    quint32 seed = argc > 2 ? quint32(atoll(argv[2])) : 1;
    QTextBrowser view;
    auto* document = new BannerDocument(&view);
    auto* layout = new BannerLayout(document);
    document->setDocumentLayout(layout);
    view.setDocument(document);
    view.document()->setDocumentMargin(0);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setFrameStyle(0);
    view.resize(64, 26);
    const QUrl base(QStringLiteral("http://www.vantrel.example/bnvtl.html"));

    Worst worstUi, worstOff, worstLock;
    int pages = 0, refused = 0, pictures = 0;
    // The hostile corpus first, pictures and given-up parses included.
    QList<QByteArray> corpus;
    // Newest first: the pages that found the last faults.
    QList<HostilePage> hostile = HostileCorpus(QStringLiteral(BANNER_DATA_DIR));
    std::reverse(hostile.begin(), hostile.end());
    for (const HostilePage& page : std::as_const(hostile)) {
        corpus.append(page.html);
        for (const QByteArray& file : page.files)
            corpus.append("<img src=\"data:image/png;base64," + file.toBase64() + "\">");
    }
    qsizetype largestHtml = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 nextReport = 60000;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QRandomGenerator sizes(seed);
        // Sizes from 64 bytes to 512 KiB, small ones more often.
        const int bytes = int(64 << sizes.bounded(14));
        const QByteArray html =
            corpus.isEmpty() ? TagSoup(seed, std::min(bytes, 512 * 1024)) : corpus.takeFirst();

        const double off0 = ThreadCpuMs();
        const BannerPage page = BannerSanitizer::Sanitize(html, base);
        QList<QByteArray> data;
        for (const BannerPicture& picture : page.pictures)
            data.append(picture.data);
        const QList<QImage> images = BannerPictures::Decode(data);
        const double offParse = ThreadCpuMs() - off0;

        const double ui0 = ThreadCpuMs();
        document->images.clear();
        for (qsizetype i = 0; i < images.size(); ++i)
            document->images.insert(BannerSanitizer::PictureName(int(i)), images[i]);
        view.setHtml(page.strHtml);
        QElapsedTimer painting;
        painting.start();
        QEventLoop wait;
        QObject::connect(layout, &BannerLayout::PictureReady, &wait, [&] {
            if (layout->IsCurrent())
                wait.quit();
        });
        QTimer::singleShot(10000, &wait, &QEventLoop::quit);
        // What a menu's text waits for Qt's font lock while the worker lays the page out.
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            QElapsedTimer lock;
            lock.start();
            QFontMetrics(QApplication::font()).horizontalAdvance(QStringLiteral("File"));
            if (const double ms = double(lock.nsecsElapsed()) / 1e6; ms > worstLock.ms)
                worstLock = {ms, seed, int(html.size())};
        });
        probe.start(2);
        wait.exec();
        probe.stop();
        const double offPaint = double(painting.nsecsElapsed()) / 1e6;
        view.grab();
        const double ui = ThreadCpuMs() - ui0;
        const double off = offParse + offPaint;

        ++pages;
        refused += page.bParsed ? 0 : 1;
        pictures += int(std::count_if(images.begin(), images.end(),
                                      [](const QImage& i) { return !i.isNull(); }));
        largestHtml = std::max(largestHtml, page.strHtml.size());
        if (ui > worstUi.ms)
            worstUi = {ui, seed, int(html.size())};
        if (off > worstOff.ms)
            worstOff = {off, seed, int(html.size())};
        ++seed;
        if (clock.elapsed() > nextReport) {
            std::printf("%lld s: %d pages, worst UI %.1f ms\n", clock.elapsed() / 1000, pages,
                        worstUi.ms);
            std::fflush(stdout);
            nextReport += 60000;
        }
    }
    std::printf("pages tried: %d (seeds up to %u), given up as too costly: %d, pictures "
                "decoded: %d, largest document emitted: %lld characters\n",
                pages, seed - 1, refused, pictures, (long long)largestHtml);
    std::printf("worst user-interface thread time (set and paint): %.2f ms (seed %u, %d bytes)\n",
                worstUi.ms, worstUi.nSeed, worstUi.nBytes);
    std::printf("worst wait for the font lock during a layout: %.2f ms (seed %u, %d bytes)\n",
                worstLock.ms, worstLock.nSeed, worstLock.nBytes);
    std::printf("worst off-thread time (parse, reduce, decode, lay out, paint): %.2f ms (seed %u, "
                "%d bytes)\n",
                worstOff.ms, worstOff.nSeed, worstOff.nBytes);
    return 0;
}
