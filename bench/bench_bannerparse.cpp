// The banner parser's worst cases, for the numbers beside the bounds in banner/BannerLimits.h:
// each page is parsed as the banner's is (BannerParse: bounded input, libxml2's HTML
// parser), median of 3 in thread CPU time, with the peak of libxml2's own memory, counted
// through its allocator hooks (set here, in this program only). With --whole, each page is
// also parsed whole by libxml2 alone, without the bounds, in the same run.
//   bench_bannerparse [--whole] [part of a page's name]
#include "banner/BannerLimits.h"
#include "banner/BannerParse.h"
#include "tests/support/HostilePages.h"

#include <libxml/HTMLparser.h>
#include <libxml/xmlmemory.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

std::size_t g_live = 0;
std::size_t g_peak = 0;

struct alignas(16) CHeader {
    std::size_t nSize;
};

void* CountedMalloc(std::size_t n) {
    auto* h = static_cast<CHeader*>(std::malloc(sizeof(CHeader) + n));
    if (h == nullptr)
        return nullptr;
    h->nSize = n;
    g_live += n;
    g_peak = std::max(g_peak, g_live);
    return h + 1;
}

void CountedFree(void* p) {
    if (p == nullptr)
        return;
    auto* h = static_cast<CHeader*>(p) - 1;
    g_live -= h->nSize;
    std::free(h);
}

void* CountedRealloc(void* p, std::size_t n) {
    if (p == nullptr)
        return CountedMalloc(n);
    auto* h = static_cast<CHeader*>(p) - 1;
    const std::size_t old = h->nSize;
    h = static_cast<CHeader*>(std::realloc(h, sizeof(CHeader) + n));
    if (h == nullptr)
        return nullptr;
    h->nSize = n;
    g_live = g_live - old + n;
    g_peak = std::max(g_peak, g_live);
    return h + 1;
}

char* CountedStrdup(const char* s) {
    const std::size_t n = std::strlen(s) + 1;
    auto* d = static_cast<char*>(CountedMalloc(n));
    if (d != nullptr)
        std::memcpy(d, s, n);
    return d;
}

// Pieces repeated to fill the parser's input bound.
QByteArray Fill(const QByteArray& head, const QByteArray& piece, const QByteArray& tail = {}) {
    const auto n = qsizetype(BannerLimits::kMaxParseBytes) - head.size() - tail.size();
    return head + piece.repeated(int(n / piece.size())) + tail;
}

QByteArray Attributes(int count, bool distinct) {
    QByteArray tag = "<p";
    for (int i = 0; i < count; ++i)
        tag += distinct ? " a" + QByteArray::number(i) : QByteArray(" a");
    return tag + ">";
}

struct Result {
    double ms;
    std::size_t nPeakBytes;
    std::size_t nReadBytes;
    bool bParsed;
};

Result Median(const std::function<Result()>& once) {
    QList<Result> runs;
    for (int i = 0; i < 3; ++i)
        runs.append(once());
    std::sort(runs.begin(), runs.end(), [](auto& a, auto& b) { return a.ms < b.ms; });
    return runs[1];
}

Result Bounded(const QByteArray& page) {
    return Median([&page] {
        g_peak = g_live;
        const std::size_t base = g_live;
        const double t0 = ThreadCpuMs();
        const BannerParse parse(page.toStdString());
        const double ms = ThreadCpuMs() - t0;
        return Result{ms, g_peak - base, parse.ParsedBytes(), parse.Document() != nullptr};
    });
}

Result Whole(const QByteArray& page) {
    return Median([&page] {
        g_peak = g_live;
        const std::size_t base = g_live;
        const double t0 = ThreadCpuMs();
        htmlDocPtr doc = htmlReadMemory(page.constData(), int(page.size()), nullptr, "UTF-8",
                                        HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                            HTML_PARSE_NOWARNING | HTML_PARSE_NODEFDTD |
                                            HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE);
        const bool parsed = doc != nullptr;
        xmlFreeDoc(doc);
        const double ms = ThreadCpuMs() - t0;
        return Result{ms, g_peak - base, std::size_t(page.size()), parsed};
    });
}

} // namespace

int main(int argc, char** argv) {
    // Before libxml2 is used at all, so that every block it takes is counted.
    xmlMemSetup(CountedFree, CountedMalloc, CountedRealloc, CountedStrdup);
    xmlInitParser();
    bool whole = false;
    QString only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--whole") == 0)
            whole = true;
        else
            only = QString::fromLocal8Bit(argv[i]);
    }

    // kMaxAttributePairs shared by every tag the tag bound lets through.
    int perTag = 1;
    while (2048LL * (perTag + 1) * (perTag + 1) <= BannerLimits::kMaxAttributePairs)
        ++perTag;
    int atBound = 1;
    while (1LL * (atBound + 1) * (atBound + 1) <= BannerLimits::kMaxAttributePairs)
        ++atBound;
    QList<QPair<QString, QByteArray>> pages = {
        {"plain page", "<html><body><a href=\"/offer.html\"><img src=\"pic.png\" width=64 "
                       "height=26></a><p>Join files faster</p></body></html>"},
        {"nested <div> (1 MiB)", Fill({}, "<div>", "x")},
        {"nested <ul><li> (1 MiB)", Fill({}, "<ul><li>", "x")},
        {"nested <table><tr><td> (1 MiB)", Fill({}, "<table><tr><td>", "x")},
        {"<font> x 80,000, then <p>x", QByteArray("<font>").repeated(80000) + Fill({}, "<p>x")},
        {"misnested <b><i>x</b></i> (1 MiB)", Fill({}, "<b><i>x</b></i>")},
        {"<b> x 1,024, then </i> x 1,024",
         QByteArray("<b>").repeated(1024) + QByteArray("</i>").repeated(1024)},
        {"<div> x 1,024, then <body> x 1,024",
         QByteArray("<div>").repeated(1024) + QByteArray("<body>").repeated(1024)},
        {"one tag, 70,000 attributes", Attributes(70000, true)},
        {"one tag, 8,192 attributes", Attributes(8192, true)},
        {"one tag, 4,096 attributes", Attributes(4096, true)},
        {"one tag, 2,048 attributes", Attributes(2048, true)},
        {QStringLiteral("one tag, %1 attributes (at the bound)").arg(atBound),
         Attributes(atBound, true)},
        {QStringLiteral("2,048 tags of %1 attributes").arg(perTag),
         Attributes(perTag, true).repeated(2048)},
        {"one tag, one attribute 200,000 times", Attributes(200000, false)},
        {"2,048 tags each read to the page's end", Fill(QByteArray("<x'").repeated(2048), "y")},
        {"one quoted value to the page's end", Fill(QByteArray("<p a='").repeated(2048), " b")},
        {"1 MiB word", Fill("<p>", "w")},
        {"&amp; flood", Fill("<p>", "&amp;")},
        {"&#65; flood", Fill("<p>", "&#65;")},
        {"&diams; flood (last in libxml2's table)", Fill("<p>", "&diams;")},
        {"unknown entity flood", Fill("<p>", "&bogus;")},
        {"bare & flood", Fill("<p>", "&")},
        {"control characters", Fill("<p>", "\x01")},
        {"<!--x--> flood", Fill({}, "<!--x-->")},
        {"unterminated comment", Fill("<!--", "x")},
        {"</x> flood", Fill("<b>", "</x>")},
        {"< before a digit flood", Fill("<p>", "<1")},
    };
    for (const HostilePage& page : HostileCorpus(QStringLiteral(BANNER_DATA_DIR)))
        pages.append({"corpus: " + page.strName, page.html});

    std::printf("%-46s %8s %9s %9s %7s", "page", "bytes", "read", "ms", "peak MB");
    if (whole)
        std::printf(" %10s %8s", "whole ms", "peak MB");
    std::printf("\n");
    for (const auto& [name, html] : pages) {
        if (!name.contains(only))
            continue;
        const Result r = Bounded(html);
        std::printf("%-46s %8lld %9zu %9.2f %7.1f%s", qPrintable(name.left(46)),
                    (long long)html.size(), r.nReadBytes, r.ms, double(r.nPeakBytes) / 1e6,
                    r.bParsed ? "" : " (given up)");
        if (whole) {
            const Result w = Whole(html);
            std::printf(" %10.1f %8.1f", w.ms, double(w.nPeakBytes) / 1e6);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
