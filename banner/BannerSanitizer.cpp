#include "banner/BannerSanitizer.h"

#include "banner/BannerLimits.h"
#include "banner/BannerNodes.h"
#include "banner/BannerParse.h"

#include <QHash>
#include <QStringDecoder>
#include <QUrlQuery>

#include <algorithm>
#include <vector>

using namespace BannerLimits;
using namespace BannerNodes;

namespace {

// Bound on the emitted document as a whole (text and markup): links and attributes are
// bounded one by one, this bounds what Qt's own HTML reader gets.
constexpr int kMaxHtml = 128 * 1024;
// Markup set aside for each table row or cell or list item reserved in advance.
constexpr int kMarkupPerCell = 96;

// Where a table's parts stand: the parser, unlike a browser, leaves anything where the page
// put it, also text and other elements among rows and cells.
enum class Part { Table, Section, Row };

// Whether a child of a table, section or row would be lost if the table kept its form.
bool IsStray(const xmlNode* child, Part part) {
    if (child->type == XML_TEXT_NODE)
        return !IsWhitespace(child);
    if (child->type != XML_ELEMENT_NODE || KindOf(child) == Kind::Skip)
        return false;
    switch (part) {
    case Part::Table:
        return !IsElement(child, "tr") && !IsSection(child) && !IsElement(child, "caption") &&
               !IsElement(child, "col") && !IsElement(child, "colgroup");
    case Part::Section:
        return !IsElement(child, "tr");
    case Part::Row:
        return !IsCell(child);
    }
    return true;
}

class Emitter {
public:
    explicit Emitter(const QUrl& baseUrl) : m_baseUrl(baseUrl) {}

    void Walk(const xmlNode* document);
    BannerPage TakePage() {
        m_page.bParsed = true;
        // The page's own colours and size, for the whole pane.
        if (!m_strBodyStyle.isEmpty())
            m_strOut = QStringLiteral("<body style=\"%1\">").arg(m_strBodyStyle) + m_strOut +
                       QLatin1String("</body>");
        m_page.strHtml = std::move(m_strOut);
        m_page.strVisitedLinkColor = m_strVisitedLinkColor;
        return std::move(m_page);
    }

private:
    // What may stand among a node's children.
    enum class Ctx { Flow, Table, Row, List, FlatTable, FlatRow };

    struct Frame {
        const xmlNode* pNext; // the next child to visit
        Ctx ctx;
        QString strClose;
        int nTables = 0;
        int nLists = 0;
        bool bAnchor = false;
    };

    void Visit(const xmlNode* node, Ctx ctx);
    void VisitFlow(const xmlNode* node);
    void VisitTable(const xmlNode* node);
    void VisitList(const xmlNode* node);
    void VisitImage(const xmlNode* node);
    void Text(const QString& text);
    bool CanOpen(int nDepth = 1, int nElements = 1) const {
        return m_nDepth + nDepth <= kMaxDepth &&
               m_nElements + m_nReserved + nElements <= kMaxElements &&
               m_strOut.size() + m_nReserved * kMarkupPerCell < kMaxHtml;
    }
    // Room for a table or list that opens nDepth levels and nParts rows, cells or items.
    bool CanReserve(int nDepth, int nParts) const {
        return CanOpen(nDepth, 1 + nParts) &&
               m_strOut.size() + (m_nReserved + nParts) * kMarkupPerCell < kMaxHtml;
    }
    void Open(const xmlNode* node, Ctx ctx, const QString& tag, const QString& attributes = {});
    void OpenReserved(const xmlNode* node, Ctx ctx, const QString& tag, const QString& attributes);
    void Push(const xmlNode* node, Ctx ctx, const QString& tag, const QString& attributes);
    void Enter(const xmlNode* node, Ctx ctx) {
        m_stack.push_back({node->children, ctx, QString()});
    }
    void Separate(bool lineBreak);
    int PictureFor(const QString& src);

    QUrl m_baseUrl;
    QString m_strOut;
    BannerPage m_page;
    QHash<QString, int> m_pictureIndex;
    std::vector<Frame> m_stack;
    int m_nDepth = 0;
    int m_nTables = 0;
    int m_nLists = 0;
    int m_nElements = 0;
    int m_nReserved = 0; // rows, cells and items of open tables and lists still to come
    int m_nCells = 0;    // of all tables emitted
    int m_nText = 0;
    int m_nRun = 0; // characters since the last break opportunity
    bool m_bSpace = true;
    bool m_bInAnchor = false;
    bool m_bFull = false;
    bool m_bBody = false; // the first body's look taken
    QString m_strBodyStyle;
    QString m_strLinkColor;
    QString m_strVisitedLinkColor;
};

void Emitter::Walk(const xmlNode* document) {
    Enter(document, Ctx::Flow);
    while (!m_stack.empty()) {
        Frame& frame = m_stack.back();
        if (m_bFull || frame.pNext == nullptr) {
            m_strOut += frame.strClose;
            m_nDepth -= frame.strClose.isEmpty() ? 0 : 1;
            m_nTables -= frame.nTables;
            m_nLists -= frame.nLists;
            if (frame.bAnchor)
                m_bInAnchor = false;
            m_stack.pop_back();
            continue;
        }
        const xmlNode* child = frame.pNext;
        frame.pNext = child->next;
        Visit(child, frame.ctx); // may push, so frame is not used after this
    }
}

void Emitter::Visit(const xmlNode* node, Ctx ctx) {
    // Text the parser left among a table's rows or cells, or a list's items, only reaches
    // here when they are laid out flat (see VisitTable, VisitList).
    if (node->type == XML_TEXT_NODE) {
        if (ctx == Ctx::Flow || ctx == Ctx::FlatTable || ctx == Ctx::FlatRow)
            Text(QString::fromUtf8(reinterpret_cast<const char*>(node->content)));
        return;
    }
    if (node->type != XML_ELEMENT_NODE)
        return; // comments, processing instructions, the document type
    switch (ctx) {
    case Ctx::Flow:
        VisitFlow(node);
        break;
    case Ctx::Table:
        if (IsSection(node))
            Enter(node, Ctx::Table);
        else if (IsElement(node, "tr"))
            OpenReserved(node, Ctx::Row, QStringLiteral("tr"), {});
        break;
    case Ctx::Row:
        if (IsCell(node))
            OpenReserved(node, Ctx::Flow, QString::fromUtf8(ElementName(node)), Attributes(node));
        break;
    case Ctx::List:
        if (IsElement(node, "li"))
            OpenReserved(node, Ctx::Flow, QStringLiteral("li"), {});
        break;
    case Ctx::FlatTable:
    case Ctx::FlatRow:
        // The parser leaves cells without rows, and whatever else stood in the table, where
        // they were: cells are run together like those of rows, the rest read as text.
        if (IsSection(node)) {
            Enter(node, Ctx::FlatTable);
        } else if (IsElement(node, "tr")) {
            Separate(true);
            Enter(node, Ctx::FlatRow);
        } else if (IsElement(node, "caption")) {
            Separate(true);
            Enter(node, Ctx::Flow);
        } else if (IsCell(node)) {
            Separate(false);
            Enter(node, Ctx::Flow);
        } else {
            VisitFlow(node);
        }
        break;
    }
}

void Emitter::VisitFlow(const xmlNode* node) {
    switch (KindOf(node)) {
    case Kind::Skip:
        return;
    case Kind::Transparent:
        if (IsElement(node, "body") && !m_bBody) {
            m_bBody = true;
            QStringList style;
            if (const QString c = Color(Attribute(node, "bgcolor")); !c.isEmpty())
                style << QStringLiteral("background-color:") + c;
            if (const QString c = Color(Attribute(node, "text")); !c.isEmpty())
                style << QStringLiteral("color:") + c;
            if (const QString own = Style(Attribute(node, "style")); !own.isEmpty())
                style << own;
            m_strBodyStyle = style.join(QLatin1Char(';'));
            m_strLinkColor = Color(Attribute(node, "link"));
            m_strVisitedLinkColor = Color(Attribute(node, "vlink"));
        }
        Enter(node, Ctx::Flow);
        return;
    case Kind::Block:
    case Kind::Inline:
    case Kind::Font:
        Open(node, Ctx::Flow, QString::fromUtf8(ElementName(node)), Attributes(node));
        return;
    case Kind::Div:
        Open(node, Ctx::Flow, QStringLiteral("div"));
        return;
    case Kind::Anchor: {
        const QUrl link = BannerSanitizer::SafeLink(m_baseUrl, Attribute(node, "href"));
        if (link.isEmpty() || m_bInAnchor) {
            Enter(node, Ctx::Flow);
            return;
        }
        QString attributes =
            QStringLiteral(" href=\"%1\"").arg(link.toString(QUrl::FullyEncoded).toHtmlEscaped());
        if (!m_strLinkColor.isEmpty())
            attributes += QStringLiteral(" style=\"color:%1\"").arg(m_strLinkColor);
        Open(node, Ctx::Flow, QStringLiteral("a"), attributes);
        if (!m_stack.back().strClose.isEmpty()) {
            m_stack.back().bAnchor = true;
            m_bInAnchor = true;
        }
        return;
    }
    case Kind::Break:
        Separate(true);
        return;
    case Kind::Image:
        VisitImage(node);
        return;
    case Kind::Table:
        VisitTable(node);
        return;
    case Kind::List:
        VisitList(node);
        return;
    case Kind::Item:
        Separate(true);
        Enter(node, Ctx::Flow);
        return;
    }
}

void Emitter::Open(const xmlNode* node, Ctx ctx, const QString& tag, const QString& attributes) {
    if (!CanOpen()) {
        Enter(node, ctx); // too deep or too many: only the text is kept
        return;
    }
    Push(node, ctx, tag, attributes);
}

void Emitter::OpenReserved(const xmlNode* node, Ctx ctx, const QString& tag,
                           const QString& attributes) {
    // Set aside when the table or list was opened, so its structure is never cut short.
    --m_nReserved;
    Push(node, ctx, tag, attributes);
}

void Emitter::Push(const xmlNode* node, Ctx ctx, const QString& tag, const QString& attributes) {
    m_strOut += QLatin1Char('<') + tag + attributes + QLatin1Char('>');
    ++m_nElements;
    ++m_nDepth;
    m_stack.push_back({node->children, ctx, QStringLiteral("</%1>").arg(tag)});
}

void Emitter::Separate(bool lineBreak) {
    if (lineBreak && CanOpen(0)) {
        m_strOut += QLatin1String("<br>");
        ++m_nElements;
        m_bSpace = true;
        m_nRun = 0;
    } else {
        Text(QStringLiteral(" "));
    }
}

void Emitter::VisitTable(const xmlNode* node) {
    // The table keeps its form only if all of it fits the bounds and nothing stands in it
    // that the form would lose; otherwise its cells are run together as text.
    std::vector<const xmlNode*> rows;
    bool stray = false;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        stray = stray || IsStray(child, Part::Table);
        if (IsElement(child, "tr"))
            rows.push_back(child);
        if (!IsSection(child))
            continue;
        for (const xmlNode* row = child->children; row != nullptr; row = row->next) {
            stray = stray || IsStray(row, Part::Section);
            if (IsElement(row, "tr"))
                rows.push_back(row);
        }
    }
    // The grid as HTML lays it out: a cell goes to the first column its row has free, so
    // rowspans push later cells to the right.
    int nCells = 0;
    int nColumns = 0;
    bool fits = !stray && !rows.empty() && int(rows.size()) <= kMaxTableRows;
    std::vector<std::vector<bool>> taken(rows.size() + kMaxSpan);
    for (std::size_t r = 0; r < rows.size() && fits; ++r) {
        int column = 0;
        int nRowCells = 0;
        for (const xmlNode* cell = rows[r]->children; cell != nullptr && fits; cell = cell->next) {
            fits = !IsStray(cell, Part::Row);
            if (!IsCell(cell))
                continue;
            const int colspan = Span(cell, "colspan");
            const int rowspan = Span(cell, "rowspan");
            while (column < int(taken[r].size()) && taken[r][column])
                ++column;
            for (int y = 0; y < rowspan; ++y) {
                auto& line = taken[r + y];
                line.resize(std::max<std::size_t>(line.size(), column + colspan));
                std::fill(line.begin() + column, line.begin() + column + colspan, true);
            }
            column += colspan;
            nColumns = std::max(nColumns, column);
            ++nRowCells;
            fits = nColumns <= kMaxTableColumns && m_nCells + nCells + nRowCells <= kMaxTableCells;
        }
        fits = fits && nRowCells > 0;
        nCells += nRowCells;
    }
    const int nParts = int(rows.size()) + nCells;
    if (fits && m_nTables < kMaxTableDepth && CanReserve(3, nParts)) {
        Open(node, Ctx::Table, QStringLiteral("table"), Attributes(node));
        m_stack.back().nTables = 1;
        ++m_nTables;
        m_nCells += nCells;
        m_nReserved += nParts;
    } else {
        Enter(node, Ctx::FlatTable);
    }
}

void Emitter::VisitList(const xmlNode* node) {
    int nItems = 0;
    bool onlyItems = true;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsElement(child, "li"))
            ++nItems;
        else if (child->type == XML_ELEMENT_NODE ||
                 (child->type == XML_TEXT_NODE && !IsWhitespace(child)))
            onlyItems = false; // Qt would make up items of its own for these
    }
    if (onlyItems && nItems > 0 && m_nLists < kMaxListDepth && CanReserve(2, nItems)) {
        const bool ordered = IsElement(node, "ol");
        Open(node, Ctx::List, ordered ? QStringLiteral("ol") : QStringLiteral("ul"));
        m_stack.back().nLists = 1;
        ++m_nLists;
        m_nReserved += nItems;
    } else {
        Enter(node, Ctx::Flow); // its items become lines
    }
}

void Emitter::VisitImage(const xmlNode* node) {
    const int index = PictureFor(Attribute(node, "src").trimmed());
    if (index >= 0 && CanOpen(0)) {
        m_strOut += QStringLiteral("<img src=\"%1\"%2>")
                        .arg(BannerSanitizer::PictureName(index).toString(), Attributes(node));
        ++m_nElements;
        m_bSpace = false;
        return;
    }
    Text(Attribute(node, "alt"));
}

int Emitter::PictureFor(const QString& src) {
    if (src.isEmpty())
        return -1;
    const bool inlined = src.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
    QUrl url;
    if (!inlined) {
        url = m_baseUrl.resolved(QUrl(src));
        if ((url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
            url.host().isEmpty() || url.toString(QUrl::FullyEncoded).size() > kMaxLinkLength)
            return -1;
    }
    const QString key = inlined ? src : url.toString(QUrl::FullyEncoded);
    const auto found = m_pictureIndex.constFind(key);
    if (found != m_pictureIndex.cend())
        return *found;
    if (m_page.pictures.size() >= kMaxPictures)
        return -1;
    m_page.pictures.append(inlined ? BannerPicture{QUrl(), DataUrlBytes(src)}
                                   : BannerPicture{url, QByteArray()});
    m_pictureIndex.insert(key, int(m_page.pictures.size() - 1));
    return int(m_page.pictures.size() - 1);
}

void Emitter::Text(const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        if (m_nText >= kMaxText) {
            m_bFull = true;
            return;
        }
        // Line and paragraph separators would each make a line of their own; controls mean
        // nothing here. All of them count as space.
        if (QChar::isSpace(c) || c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 ||
            c == 0x2029) {
            if (!m_bSpace) {
                m_strOut += QLatin1Char(' ');
                ++m_nText;
                m_bSpace = true;
            }
            m_nRun = 0;
            continue;
        }
        // Embeddings, overrides and isolates would let text read other than it is (a link
        // text "\u202Egpj.exe" shows as "exe.jpg"); the letters keep their own direction.
        if ((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))
            continue;
        if (m_nRun >= kMaxWord) {
            m_strOut += QChar(0x200B); // a break opportunity inside a long word
            ++m_nText;
            m_nRun = 0;
        }
        if (c == '&')
            m_strOut += QLatin1String("&amp;");
        else if (c == '<')
            m_strOut += QLatin1String("&lt;");
        else if (c == '>')
            m_strOut += QLatin1String("&gt;");
        else
            m_strOut += QString::fromUcs4(&c, 1);
        ++m_nText;
        ++m_nRun;
        m_bSpace = false;
    }
}

} // namespace

BannerPage BannerSanitizer::Sanitize(const QByteArray& page, const QUrl& baseUrl) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(page);
    // As browsers read HTML: UTF-16 only from a byte-order mark (a page that names it is read
    // as UTF-8), and never UTF-7, which can hide markup in plain letters.
    const QByteArray name = QByteArray(decoder.isValid() ? decoder.name() : "").toLower();
    const bool bBom = page.startsWith("\xef\xbb\xbf") || page.startsWith("\xff\xfe") ||
                      page.startsWith("\xfe\xff");
    if ((name.startsWith("utf-16") && !bBom) || name.startsWith("utf-32") || name.contains("utf-7"))
        decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString text =
        decoder.isValid() ? QString(decoder.decode(page)) : QString::fromUtf8(page);
    const BannerParse parse(text.toStdString());
    if (parse.Document() == nullptr)
        return {};
    Emitter emitter(baseUrl);
    emitter.Walk(parse.Document());
    return emitter.TakePage();
}
