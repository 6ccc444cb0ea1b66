#include "tests/support/HostilePages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

#include <ctime>
#include <string>

namespace {

QByteArray Repeat(const QByteArray& piece, int count) {
    QByteArray out;
    out.reserve(piece.size() * count);
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

QByteArray Page(const QByteArray& body) {
    return "<html><body>" + body + "</body></html>";
}

QByteArray PngChunk(const QByteArray& type, const QByteArray& body) {
    const QByteArray typed = type + body;
    quint32 crc = 0xFFFFFFFF; // CRC-32, as PNG checks it
    for (const char ch : typed) {
        crc ^= quint8(ch);
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? 0xEDB88320 ^ (crc >> 1) : crc >> 1;
    }
    const auto be32 = [](quint32 v) {
        const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    return be32(quint32(body.size())) + typed + be32(~crc);
}

// A 16 x 16 PNG whose 60 compressed comments inflate to 7.9 MB each (libpng allows 8 MB).
QByteArray PngTextBomb() {
    const QByteArray png = PngBytes(16, 16);
    const QByteArray text = PngChunk("zTXt", QByteArray("Comment\0\0", 9) +
                                                 qCompress(QByteArray(7900000, 'x'), 9).mid(4));
    return png.left(33) + Repeat(text, 60) + png.mid(33); // after the signature and IHDR
}

// A 4096 x 1024 progressive JPEG whose last scan is repeated until the file is near 500 KB.
QByteArray JpegOfManyScans() {
    QImage image(4096, 1024, QImage::Format_RGB32);
    image.fill(0xff2080c0);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    const QByteArray lastScan = jpeg.mid(jpeg.lastIndexOf("\xff\xda"));
    const QByteArray scan = lastScan.chopped(2); // without the end-of-image marker
    return jpeg.chopped(2) + Repeat(scan, int(440000 / scan.size())) + "\xff\xd9";
}

} // namespace

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

QByteArray PngBytes(int width, int height, bool mono) {
    QImage image(width, height, mono ? QImage::Format_Mono : QImage::Format_RGB32);
    image.fill(mono ? 1 : 0xff2080c0);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

QList<HostilePage> HostileCorpus(const QString& dataDir) {
    QList<HostilePage> pages;
    for (const QString& name : QDir(dataDir).entryList({"*.html"}, QDir::Files, QDir::Name)) {
        QFile file(QDir(dataDir).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            pages.append({name, file.readAll(), {}});
    }
    pages.append({"500,000-character word", Page(Repeat("w", 500000)), {}});
    // Each within the 512 KiB the loader takes, so that all of it reaches the parser.
    for (const char* tag : {"div", "b", "i", "em"})
        pages.append({QStringLiteral("100,000 nested <%1>").arg(tag),
                      Page(Repeat(QByteArray("<") + tag + ">", 100000) + "x"),
                      {}});
    pages.append({"80,000 nested <font>", Page(Repeat("<font>", 80000) + "x"), {}});
    pages.append({"40,000 nested <blockquote>", Page(Repeat("<blockquote>", 40000) + "x"), {}});
    pages.append({"60,000 nested lists", Page(Repeat("<ul><li>", 60000) + "x"), {}});
    pages.append({"30,000 nested tables", Page(Repeat("<table><tr><td>", 30000) + "x"), {}});
    pages.append({"60,000 <b>", Page(Repeat("<b>x</b>", 60000)), {}});
    pages.append({"60,000 <br>", Page(Repeat("<br>", 60000)), {}});
    pages.append({"60,000 paragraph separators", Page(Repeat("\xe2\x80\xa9", 60000)), {}});
    pages.append({"formatting reopened in every paragraph",
                  Page(Repeat("<font size=1>", 1000) + Repeat("<p>x", 1000)),
                  {}});
    QByteArray attributes = "<p";
    for (int i = 0; attributes.size() < 500000; ++i)
        attributes += " a" + QByteArray::number(i);
    pages.append({"one tag, 70,000 attributes", Page(attributes + ">x"), {}});
    // References are looked up one table entry after another; a '<' before a letter starts a
    // tag wherever it stands, and a tag can run to the end of the page.
    pages.append({"70,000 references", Page(Repeat("&diams;", 70000)), {}});
    pages.append({"2,048 tags reaching to the page's end",
                  Page(Repeat("<x'", 2048) + Repeat("y", 400000)),
                  {}});
    QByteArray longLinks;
    for (int i = 0; i < 200; ++i)
        longLinks += "<a href=\"http://e.example/" + Repeat("x", 2000) + "\">" +
                     QByteArray::number(i) + "</a>";
    pages.append({"200 links of 2,000 characters", Page(longLinks), {}});
    pages.append({"200,000-character link",
                  Page("<a href=\"mailto:x@example.org?body=" + Repeat("x", 200000) + "\">x</a>"),
                  {}});
    for (quint32 seed = 1; seed <= 4; ++seed)
        pages.append({QStringLiteral("tag soup %1").arg(seed), TagSoup(seed, 400000), {}});

    // Pictures: ten 5000 x 5000 in the page, sixteen 4096 x 4096 fetched, one just under the
    // bounds, and twenty to choose from.
    const QByteArray bomb =
        "<img src=\"data:image/png;base64," + PngBytes(5000, 5000, true).toBase64() + "\">";
    pages.append({"ten data: pictures of 5000 x 5000", Page(Repeat(bomb, 10)), {}});
    // A page of count pictures named prefixN.png, all served with the same body.
    const auto fetched = [](const QString& name, int count, const QByteArray& prefix,
                            const QByteArray& png, const QByteArray& attributes) {
        HostilePage page{name, {}, {}};
        for (int i = 0; i < count; ++i) {
            const QByteArray file = prefix + QByteArray::number(i) + ".png";
            page.html += "<img src=\"" + file + "\"" + attributes + ">";
            page.files.insert(QLatin1Char('/') + QString::fromLatin1(file), png);
        }
        page.html = Page(page.html);
        return page;
    };
    pages.append(fetched("sixteen fetched 4096 x 4096", 16, "big", PngBytes(4096, 4096, true), {}));
    pages.append(fetched("sixteen fetched 2048 x 2048", 16, "l", PngBytes(2048, 2048, true),
                         " width=2000 height=2000"));
    pages.append(fetched("20 pictures", 20, "p", PngBytes(8, 8), {}));
    pages.append(fetched("PNG of 60 compressed comments", 1, "z", PngTextBomb(), {}));
    pages.append(fetched("JPEG of many scans", 1, "s", JpegOfManyScans(), {}));
    // A word in each of 36 scripts: Qt looks for a font for each, which must cost the window
    // nothing.
    pages.append({"words in 36 scripts",
                  Page("<p>Join ενώνω объединить միացնել לחבר دمج ܩܘܕܡܐ "
                       "जोड़ें যোগ ਜੋੜੋ જોડો ଯୋଗ இணை "
                       "చేరు ಜೋಡಿಸಿ ചേർക്കുക එකු รวม ລວມ སྦོར "
                       "ဆက် შერთვა መቀላቀል ᎠᏍᎦᎯ ភ្ជាប់ "
                       "ᠠᠳᠷᠠ 合并 つなぐ カタ ᐅᓂᖅ ᚏᚓᚅ ᚱᚢᚾ ⵣⵓⵏ "
                       "ߓߌ߬ ꦧꦸꦠ ᬲᬸᬳ</p>"),
                  {},
                  true});
    // Spans each at a size of its own: every size is another font in every script. In the
    // first, characters no installed font has (each would be a search of every font).
    const auto sizes = [](int count, const auto& letters) {
        QByteArray body;
        for (int i = 0; i < count; ++i)
            body += "<span style=\"font-size:" + QByteArray::number(6 + i / 10.0, 'f', 1) +
                    "pt\">" + QString::fromUcs4(letters(char32_t(i)).data()).toUtf8() + "</span>";
        return Page(body);
    };
    pages.append(
        {"500 sizes of letters no font has",
         sizes(500,
               [](char32_t i) {
                   return std::u32string{0x0780 + i % 38, 0xE000 + i, 0xF0000 + i, 0x0378, 0x1FFFD};
               }),
         {}});
    pages.append({"512 sizes of 8 scripts",
                  sizes(512,
                        [](char32_t i) {
                            return std::u32string{0x3B1 + i % 24,  0x431 + i % 31, 0x5D0 + i % 27,
                                                  0x628 + i % 18,  0x915 + i % 37, 0xE01 + i % 46,
                                                  0x10D0 + i % 43, 0x531 + i % 38};
                        }),
                  {},
                  true});
    return pages;
}

QByteArray TagSoup(quint32 seed, int nBytes) {
    QRandomGenerator random(seed);
    static const QList<QByteArray> kTags = {
        "p",      "div",      "b",      "i",          "u",     "em",       "strong",    "small",
        "big",    "sub",      "sup",    "span",       "font",  "a",        "img",       "br",
        "table",  "tr",       "td",     "th",         "tbody", "caption",  "ul",        "ol",
        "li",     "h1",       "h3",     "blockquote", "pre",   "center",   "nobr",      "select",
        "option", "textarea", "script", "style",      "svg",   "math",     "template",  "title",
        "form",   "input",    "hr",     "dl",         "dd",    "xmp",      "plaintext", "frameset",
        "iframe", "base",     "head",   "body",       "html",  "noscript", "colgroup"};
    static const QList<QByteArray> kAttributes = {
        "colspan", "rowspan", "cellpadding", "cellspacing", "border", "width",
        "height",  "size",    "color",       "bgcolor",     "align",  "valign",
        "href",    "src",     "alt",         "style",       "start",  "type"};
    static const QList<QByteArray> kValues = {"1",
                                              "8",
                                              "60000",
                                              "100000000",
                                              "-5",
                                              "50%",
                                              "999%",
                                              "+9",
                                              "red",
                                              "#12345g",
                                              "#abc",
                                              "javascript:alert(1)",
                                              "mailto:a@b.example?attach=/etc/passwd&subject=s",
                                              "http://e.example/a",
                                              "data:,canary",
                                              "file:///etc/passwd",
                                              "//e.example/x",
                                              "",
                                              "data:image/png;base64,iVBORw0KGgo=",
                                              "\"unclosed",
                                              "'",
                                              "&amp;&#0;&#x110000;&bogus"};
    const QByteArray smallPng = "data:image/png;base64," + PngBytes(3, 2).toBase64();
    const QByteArray claimsHuge = "data:image/png;base64," + PngBytes(6000, 10, true).toBase64();
    QByteArray out;
    while (out.size() < nBytes) {
        const int pick = random.bounded(100);
        if (pick < 40) { // an opening tag with attributes
            out += "<" + kTags[random.bounded(kTags.size())];
            for (int n = random.bounded(4); n > 0; --n) {
                out += " " + kAttributes[random.bounded(kAttributes.size())] + "=";
                const int v = random.bounded(20);
                out += v == 0   ? smallPng
                       : v == 1 ? claimsHuge
                                : "\"" + kValues[random.bounded(kValues.size())] + "\"";
            }
            out += random.bounded(10) == 0 ? "/>" : ">";
        } else if (pick < 58) {
            out += "</" + kTags[random.bounded(kTags.size())] + ">";
        } else if (pick < 62) { // a burst of nesting
            const QByteArray tag = kTags[random.bounded(kTags.size())];
            out += Repeat("<" + tag + ">", 1 + random.bounded(3000));
        } else if (pick < 64) {
            out += Repeat("w", 1 + random.bounded(5000));
        } else if (pick < 66) {
            out += "<!-- " + Repeat("-", random.bounded(10)) + (random.bounded(2) ? "-->" : "");
        } else if (pick < 68) {
            for (int n = random.bounded(40); n > 0; --n)
                out += char(random.bounded(256)); // bytes of any kind
        } else {
            static const QList<QByteArray> kText = {"banner ", "Join ",        "&lt;",  "&nbsp;",
                                                    "&#8233;", "\xe2\x80\xa8", " \t\n", "<",
                                                    "&",       "\"",           "'"};
            out += kText[random.bounded(kText.size())];
        }
    }
    return out;
}
