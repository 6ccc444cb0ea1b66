#include "CBannerSanitizer.h"

#include "BannerLimits.h"
#include "BannerParse.h"

#include <gumbo.h>

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrlQuery>

#include <algorithm>
#include <vector>

using namespace BannerLimits;

namespace {

// Bound on the emitted document as a whole (text and markup): links and attributes are
// bounded one by one, this bounds what Qt's own HTML reader gets.
constexpr int kMaxHtml = 128 * 1024;
// Markup set aside for each table row or cell or list item reserved in advance.
constexpr int kMarkupPerCell = 96;

enum class Kind {
    Skip,
    Transparent,
    Block,
    Div,
    Inline,
    Font,
    Anchor,
    Break,
    Image,
    Table,
    List,
    Item
};

Kind KindOf(GumboTag tag) {
    static const std::vector<Kind> kKinds = [] {
        std::vector<Kind> kinds(GUMBO_TAG_LAST + 1, Kind::Transparent);
        const auto set = [&kinds](Kind kind, std::initializer_list<GumboTag> tags) {
            for (GumboTag t : tags)
                kinds[t] = kind;
        };
        set(Kind::Skip,
            {GUMBO_TAG_HEAD,     GUMBO_TAG_TITLE,    GUMBO_TAG_SCRIPT,   GUMBO_TAG_STYLE,
             GUMBO_TAG_TEMPLATE, GUMBO_TAG_NOSCRIPT, GUMBO_TAG_NOFRAMES, GUMBO_TAG_NOEMBED,
             GUMBO_TAG_IFRAME,   GUMBO_TAG_OBJECT,   GUMBO_TAG_EMBED,    GUMBO_TAG_APPLET,
             GUMBO_TAG_SELECT,   GUMBO_TAG_TEXTAREA, GUMBO_TAG_AUDIO,    GUMBO_TAG_VIDEO,
             GUMBO_TAG_CANVAS,   GUMBO_TAG_FRAMESET, GUMBO_TAG_MAP,      GUMBO_TAG_DATALIST,
             GUMBO_TAG_RP});
        set(Kind::Block, {GUMBO_TAG_P, GUMBO_TAG_DIV, GUMBO_TAG_H1, GUMBO_TAG_H2, GUMBO_TAG_H3,
                          GUMBO_TAG_H4, GUMBO_TAG_H5, GUMBO_TAG_H6});
        // Blocks Qt has no use for: their text stays apart.
        set(Kind::Div,
            {GUMBO_TAG_BLOCKQUOTE, GUMBO_TAG_CENTER,    GUMBO_TAG_SECTION,    GUMBO_TAG_ARTICLE,
             GUMBO_TAG_HEADER,     GUMBO_TAG_FOOTER,    GUMBO_TAG_NAV,        GUMBO_TAG_MAIN,
             GUMBO_TAG_ASIDE,      GUMBO_TAG_ADDRESS,   GUMBO_TAG_PRE,        GUMBO_TAG_LISTING,
             GUMBO_TAG_XMP,        GUMBO_TAG_PLAINTEXT, GUMBO_TAG_DL,         GUMBO_TAG_DT,
             GUMBO_TAG_DD,         GUMBO_TAG_FIGURE,    GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FORM,
             GUMBO_TAG_FIELDSET,   GUMBO_TAG_LEGEND,    GUMBO_TAG_DETAILS,    GUMBO_TAG_SUMMARY,
             GUMBO_TAG_HGROUP});
        set(Kind::Inline,
            {GUMBO_TAG_B, GUMBO_TAG_I, GUMBO_TAG_U, GUMBO_TAG_EM, GUMBO_TAG_STRONG, GUMBO_TAG_SMALL,
             GUMBO_TAG_BIG, GUMBO_TAG_SUB, GUMBO_TAG_SUP, GUMBO_TAG_SPAN});
        set(Kind::Font, {GUMBO_TAG_FONT});
        set(Kind::Anchor, {GUMBO_TAG_A});
        set(Kind::Break, {GUMBO_TAG_BR});
        set(Kind::Image, {GUMBO_TAG_IMG, GUMBO_TAG_IMAGE});
        set(Kind::Table, {GUMBO_TAG_TABLE});
        set(Kind::List, {GUMBO_TAG_UL, GUMBO_TAG_OL, GUMBO_TAG_MENU, GUMBO_TAG_DIR});
        set(Kind::Item, {GUMBO_TAG_LI});
        return kinds;
    }();
    return tag >= 0 && tag <= GUMBO_TAG_LAST ? kKinds[tag] : Kind::Transparent;
}

const GumboVector& ChildrenOf(const GumboNode* node) {
    return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
}

const GumboNode* Child(const GumboNode* node, unsigned i) {
    return static_cast<const GumboNode*>(ChildrenOf(node).data[i]);
}

bool IsElement(const GumboNode* node, GumboTag tag) {
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag;
}

bool IsCell(const GumboNode* node) {
    return IsElement(node, GUMBO_TAG_TD) || IsElement(node, GUMBO_TAG_TH);
}

bool IsSection(const GumboNode* node) {
    return IsElement(node, GUMBO_TAG_THEAD) || IsElement(node, GUMBO_TAG_TBODY) ||
           IsElement(node, GUMBO_TAG_TFOOT);
}

QString Attribute(const GumboNode* node, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a != nullptr ? QString::fromUtf8(a->value) : QString();
}

// Letters of scripts the usual fonts carry; see kMaxWord's neighbours in BannerLimits.h.
bool IsShownScript(char32_t c) {
    switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Inherited:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
        return true;
    default:
        return false;
    }
}

// A length as HTML reads it (leading digits, an optional %), held to [0, max] pixels or
// [0, 100] per cent; empty when there is no number.
QString Length(const QString& value, int max, bool allowPercent) {
    const QString s = value.trimmed();
    qsizetype i = 0;
    long long n = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        n = std::min<long long>(n * 10 + (s[i].unicode() - '0'), 1000000);
        ++i;
    }
    if (i == 0)
        return {};
    if (i < s.size() && s[i] == QLatin1Char('%'))
        return allowPercent ? QStringLiteral("%1%").arg(std::min<long long>(n, 100)) : QString();
    return QString::number(std::min<long long>(n, max));
}

int Span(const GumboNode* cell, const char* name) {
    return std::clamp(Length(Attribute(cell, name), kMaxSpan, false).toInt(), 1, kMaxSpan);
}

bool IsColor(const QString& s) {
    const auto isHex = [](QChar c) {
        return c.isDigit() || (c.toLower() >= 'a' && c.toLower() <= 'f');
    };
    if (s.startsWith(QLatin1Char('#')))
        return (s.size() == 4 || s.size() == 7) && std::all_of(s.begin() + 1, s.end(), isHex);
    return !s.isEmpty() && s.size() <= 20 && std::all_of(s.begin(), s.end(), [](QChar c) {
        return c.unicode() < 128 && c.isLetter();
    });
}

// The attributes kept, each checked: what is not understood is left out.
QString Attributes(const GumboNode* node) {
    QString out;
    const auto add = [&out](const char* name, const QString& value) {
        if (!value.isEmpty())
            out += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value);
    };
    const auto clamp = [&](const char* name, int lo, int hi) {
        const QString v = Length(Attribute(node, name), hi, false);
        if (!v.isEmpty())
            add(name, QString::number(std::max(lo, v.toInt())));
    };
    const auto keyword = [&](const char* name, const QStringList& allowed) {
        const QString v = Attribute(node, name).trimmed().toLower();
        if (allowed.contains(v))
            add(name, v);
    };
    const auto color = [&](const char* name) {
        const QString v = Attribute(node, name).trimmed();
        if (IsColor(v))
            add(name, v);
    };
    static const QStringList kAlign = {"left", "right", "center", "justify"};
    static const QStringList kVAlign = {"top", "middle", "bottom"};
    switch (node->v.element.tag) {
    case GUMBO_TAG_FONT: {
        color("color");
        const QString size = Attribute(node, "size").trimmed();
        static const QRegularExpression kSize(QStringLiteral("^[+-]?[1-7]$"));
        if (kSize.match(size).hasMatch())
            add("size", size);
        break;
    }
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
        keyword("align", kAlign);
        break;
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_IMAGE:
        add("width", Length(Attribute(node, "width"), kMaxLength, false));
        add("height", Length(Attribute(node, "height"), kMaxLength, false));
        keyword("align", kAlign);
        break;
    case GUMBO_TAG_TABLE:
        clamp("border", 0, kMaxBorder);
        clamp("cellpadding", 0, kMaxPadding);
        clamp("cellspacing", 0, kMaxPadding);
        add("width", Length(Attribute(node, "width"), kMaxLength, true));
        color("bgcolor");
        keyword("align", kAlign);
        break;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        for (const char* span : {"colspan", "rowspan"}) {
            if (Span(node, span) > 1)
                add(span, QString::number(Span(node, span)));
        }
        add("width", Length(Attribute(node, "width"), kMaxLength, true));
        color("bgcolor");
        keyword("align", kAlign);
        keyword("valign", kVAlign);
        break;
    default:
        break;
    }
    return out;
}

QByteArray DataUrlBytes(const QString& src) {
    const qsizetype comma = src.indexOf(QLatin1Char(','));
    if (comma < 0)
        return {};
    const QByteArray payload = QByteArray::fromPercentEncoding(src.mid(comma + 1).toUtf8());
    if (src.left(comma).trimmed().endsWith(QLatin1String(";base64"), Qt::CaseInsensitive))
        return QByteArray::fromBase64(payload);
    return payload;
}

class CEmitter {
public:
    explicit CEmitter(const QUrl& baseUrl) : m_baseUrl(baseUrl) {}

    void Walk(const GumboNode* document);
    CBannerPage TakePage() {
        m_page.bParsed = true;
        m_page.html = std::move(m_out);
        return std::move(m_page);
    }

private:
    // What may stand among a node's children.
    enum class Ctx { Flow, Table, Row, List, FlatTable, FlatRow };

    struct CFrame {
        const GumboNode* node;
        Ctx ctx;
        QString close;
        int nTables = 0;
        int nLists = 0;
        bool bAnchor = false;
        unsigned nNext = 0;
    };

    void Visit(const GumboNode* node, Ctx ctx);
    void VisitFlow(const GumboNode* node);
    void VisitTable(const GumboNode* node);
    void VisitList(const GumboNode* node);
    void VisitImage(const GumboNode* node);
    void Text(const QString& text);
    bool CanOpen(int nDepth = 1, int nElements = 1) const {
        return m_nDepth + nDepth <= kMaxDepth &&
               m_nElements + m_nReserved + nElements <= kMaxElements &&
               m_out.size() + m_nReserved * kMarkupPerCell < kMaxHtml;
    }
    void Open(const GumboNode* node, Ctx ctx, const QString& tag, const QString& attributes = {});
    void OpenReserved(const GumboNode* node, Ctx ctx, const QString& tag,
                      const QString& attributes);
    void Enter(const GumboNode* node, Ctx ctx) { m_stack.push_back({node, ctx, QString()}); }
    void Separate(bool lineBreak);
    int PictureFor(const QString& src);

    QUrl m_baseUrl;
    QString m_out;
    CBannerPage m_page;
    QHash<QString, int> m_pictureIndex;
    std::vector<CFrame> m_stack;
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
};

void CEmitter::Walk(const GumboNode* document) {
    Enter(document, Ctx::Flow);
    while (!m_stack.empty()) {
        CFrame& frame = m_stack.back();
        if (m_bFull || frame.nNext >= ChildrenOf(frame.node).length) {
            m_out += frame.close;
            m_nDepth -= frame.close.isEmpty() ? 0 : 1;
            m_nTables -= frame.nTables;
            m_nLists -= frame.nLists;
            if (frame.bAnchor)
                m_bInAnchor = false;
            m_stack.pop_back();
            continue;
        }
        const GumboNode* child = Child(frame.node, frame.nNext++);
        Visit(child, frame.ctx); // may push, so frame is not used after this
    }
}

void CEmitter::Visit(const GumboNode* node, Ctx ctx) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
        const bool flat = ctx == Ctx::FlatTable || ctx == Ctx::FlatRow;
        if (ctx == Ctx::Flow || (flat && node->type == GUMBO_NODE_WHITESPACE))
            Text(QString::fromUtf8(node->v.text.text));
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
        return; // comments, templates, SVG and MathML
    const GumboTag tag = node->v.element.tag;
    switch (ctx) {
    case Ctx::Flow:
        VisitFlow(node);
        break;
    case Ctx::Table:
        if (IsSection(node))
            Enter(node, Ctx::Table);
        else if (tag == GUMBO_TAG_TR)
            OpenReserved(node, Ctx::Row, QStringLiteral("tr"), {});
        break;
    case Ctx::Row:
        if (IsCell(node))
            OpenReserved(node, Ctx::Flow, QString::fromUtf8(gumbo_normalized_tagname(tag)),
                         Attributes(node));
        break;
    case Ctx::List:
        if (tag == GUMBO_TAG_LI)
            OpenReserved(node, Ctx::Flow, QStringLiteral("li"), {});
        break;
    case Ctx::FlatTable:
        if (IsSection(node)) {
            Enter(node, Ctx::FlatTable);
        } else if (tag == GUMBO_TAG_TR) {
            Separate(true);
            Enter(node, Ctx::FlatRow);
        } else if (tag == GUMBO_TAG_CAPTION) {
            Separate(true);
            Enter(node, Ctx::Flow);
        }
        break;
    case Ctx::FlatRow:
        if (IsCell(node)) {
            Separate(false);
            Enter(node, Ctx::Flow);
        }
        break;
    }
}

void CEmitter::VisitFlow(const GumboNode* node) {
    const GumboTag tag = node->v.element.tag;
    switch (KindOf(tag)) {
    case Kind::Skip:
        return;
    case Kind::Transparent:
        Enter(node, Ctx::Flow);
        return;
    case Kind::Block:
    case Kind::Inline:
    case Kind::Font:
        Open(node, Ctx::Flow, QString::fromUtf8(gumbo_normalized_tagname(tag)), Attributes(node));
        return;
    case Kind::Div:
        Open(node, Ctx::Flow, QStringLiteral("div"));
        return;
    case Kind::Anchor: {
        const QUrl link = CBannerSanitizer::SafeLink(m_baseUrl, Attribute(node, "href"));
        if (link.isEmpty() || m_bInAnchor) {
            Enter(node, Ctx::Flow);
            return;
        }
        Open(node, Ctx::Flow, QStringLiteral("a"),
             QStringLiteral(" href=\"%1\"").arg(link.toString(QUrl::FullyEncoded).toHtmlEscaped()));
        if (!m_stack.back().close.isEmpty()) {
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

void CEmitter::Open(const GumboNode* node, Ctx ctx, const QString& tag, const QString& attributes) {
    if (!CanOpen()) {
        Enter(node, ctx); // too deep or too many: only the text is kept
        return;
    }
    m_out += QLatin1Char('<') + tag + attributes + QLatin1Char('>');
    ++m_nElements;
    ++m_nDepth;
    m_stack.push_back({node, ctx, QStringLiteral("</%1>").arg(tag)});
}

void CEmitter::OpenReserved(const GumboNode* node, Ctx ctx, const QString& tag,
                            const QString& attributes) {
    // Set aside when the table or list was opened, so its structure is never cut short.
    --m_nReserved;
    m_out += QLatin1Char('<') + tag + attributes + QLatin1Char('>');
    ++m_nElements;
    ++m_nDepth;
    m_stack.push_back({node, ctx, QStringLiteral("</%1>").arg(tag)});
}

void CEmitter::Separate(bool lineBreak) {
    if (lineBreak && CanOpen(0)) {
        m_out += QLatin1String("<br>");
        ++m_nElements;
        m_bSpace = true;
        m_nRun = 0;
    } else {
        Text(QStringLiteral(" "));
    }
}

void CEmitter::VisitTable(const GumboNode* node) {
    // The table keeps its form only if all of it fits the bounds; otherwise its cells are
    // run together as text.
    std::vector<const GumboNode*> rows;
    const auto collect = [&rows](const GumboNode* parent) {
        for (unsigned i = 0; i < ChildrenOf(parent).length; ++i) {
            if (IsElement(Child(parent, i), GUMBO_TAG_TR))
                rows.push_back(Child(parent, i));
        }
    };
    collect(node);
    for (unsigned i = 0; i < ChildrenOf(node).length; ++i) {
        if (IsSection(Child(node, i)))
            collect(Child(node, i));
    }
    // The grid as HTML lays it out: a cell goes to the first column its row has free, so
    // rowspans push later cells to the right.
    int nCells = 0;
    int nColumns = 0;
    bool fits = !rows.empty() && int(rows.size()) <= kMaxTableRows;
    std::vector<std::vector<bool>> taken(rows.size() + kMaxSpan);
    for (std::size_t r = 0; r < rows.size() && fits; ++r) {
        int column = 0;
        int nRowCells = 0;
        for (unsigned i = 0; i < ChildrenOf(rows[r]).length && fits; ++i) {
            const GumboNode* cell = Child(rows[r], i);
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
    if (fits && m_nTables < kMaxTableDepth && CanOpen(3, 1 + nParts) &&
        m_out.size() + (m_nReserved + nParts) * kMarkupPerCell < kMaxHtml) {
        Open(node, Ctx::Table, QStringLiteral("table"), Attributes(node));
        m_stack.back().nTables = 1;
        ++m_nTables;
        m_nCells += nCells;
        m_nReserved += nParts;
    } else {
        Enter(node, Ctx::FlatTable);
    }
}

void CEmitter::VisitList(const GumboNode* node) {
    int nItems = 0;
    bool onlyItems = true;
    for (unsigned i = 0; i < ChildrenOf(node).length; ++i) {
        const GumboNode* child = Child(node, i);
        if (IsElement(child, GUMBO_TAG_LI))
            ++nItems;
        else if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEXT)
            onlyItems = false; // Qt would make up items of its own for these
    }
    if (onlyItems && nItems > 0 && m_nLists < kMaxListDepth && CanOpen(2, 1 + nItems) &&
        m_out.size() + (m_nReserved + nItems) * kMarkupPerCell < kMaxHtml) {
        const bool ordered = node->v.element.tag == GUMBO_TAG_OL;
        Open(node, Ctx::List, ordered ? QStringLiteral("ol") : QStringLiteral("ul"));
        m_stack.back().nLists = 1;
        ++m_nLists;
        m_nReserved += nItems;
    } else {
        Enter(node, Ctx::Flow); // its items become lines
    }
}

void CEmitter::VisitImage(const GumboNode* node) {
    const int index = PictureFor(Attribute(node, "src").trimmed());
    if (index >= 0 && CanOpen(0)) {
        m_out += QStringLiteral("<img src=\"%1\"%2>")
                     .arg(CBannerSanitizer::PictureName(index).toString(), Attributes(node));
        ++m_nElements;
        m_bSpace = false;
        return;
    }
    Text(Attribute(node, "alt"));
}

int CEmitter::PictureFor(const QString& src) {
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
    m_page.pictures.append(inlined ? CBannerPicture{QUrl(), DataUrlBytes(src)}
                                   : CBannerPicture{url, QByteArray()});
    m_pictureIndex.insert(key, int(m_page.pictures.size() - 1));
    return int(m_page.pictures.size() - 1);
}

void CEmitter::Text(const QString& text) {
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
                m_out += QLatin1Char(' ');
                ++m_nText;
                m_bSpace = true;
            }
            m_nRun = 0;
            continue;
        }
        if (m_nRun >= kMaxWord) {
            m_out += QChar(0x200B); // a break opportunity inside a long word
            ++m_nText;
            m_nRun = 0;
        }
        if (c == '&')
            m_out += QLatin1String("&amp;");
        else if (c == '<')
            m_out += QLatin1String("&lt;");
        else if (c == '>')
            m_out += QLatin1String("&gt;");
        else if (!IsShownScript(c))
            m_out += QChar(0xFFFD);
        else
            m_out += QString::fromUcs4(&c, 1);
        ++m_nText;
        ++m_nRun;
        m_bSpace = false;
    }
}

} // namespace

CBannerPage CBannerSanitizer::Sanitize(const QByteArray& page, const QUrl& baseUrl) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(page);
    const QString text =
        decoder.isValid() ? QString(decoder.decode(page)) : QString::fromUtf8(page);
    const CBannerParse parse(text.toStdString());
    if (parse.Document() == nullptr)
        return {};
    CEmitter emitter(baseUrl);
    emitter.Walk(parse.Document());
    return emitter.TakePage();
}

QUrl CBannerSanitizer::PictureName(int i) {
    return QUrl(QStringLiteral("picture:%1").arg(i));
}

QUrl CBannerSanitizer::SafeLink(const QUrl& baseUrl, const QString& href) {
    const QString trimmed = href.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > kMaxLinkLength)
        return {};
    QUrl url = baseUrl.resolved(QUrl(trimmed));
    if (!url.isValid())
        return {};
    if (url.scheme() == QLatin1String("mailto")) {
        // The desktop's mail program would take other fields as orders (attach a file,
        // add receivers), so only the addresses, the subject and the body go through.
        const QString address = url.path(QUrl::FullyDecoded);
        if (address.isEmpty() ||
            std::any_of(address.begin(), address.end(), [](QChar c) { return c.unicode() < 0x20; }))
            return {};
        QUrlQuery kept;
        for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyEncoded)) {
            const QString field = QUrl::fromPercentEncoding(name.toUtf8()).toLower();
            if ((field == QLatin1String("subject") || field == QLatin1String("body")) &&
                !kept.hasQueryItem(field))
                kept.addQueryItem(field, value);
        }
        QUrl mail;
        mail.setScheme(QStringLiteral("mailto"));
        mail.setPath(url.path(QUrl::FullyEncoded), QUrl::TolerantMode);
        if (!kept.isEmpty())
            mail.setQuery(kept);
        url = mail;
    } else if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return {};
    } else if (url.host().isEmpty()) {
        return {};
    }
    if (!url.isValid() || url.toString(QUrl::FullyEncoded).size() > kMaxLinkLength)
        return {};
    return url;
}
