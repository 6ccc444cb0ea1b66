#include "BannerNodes.h"

#include "BannerLimits.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <vector>

using namespace BannerLimits;

namespace BannerNodes {

namespace {

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

} // namespace

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

int Span(const GumboNode* cell, const char* name) {
    return std::clamp(Length(Attribute(cell, name), kMaxSpan, false).toInt(), 1, kMaxSpan);
}

// The attributes kept, each checked: what is not understood is left out.
QString Attributes(const GumboNode* node) {
    QString out;
    const auto add = [&out](const char* name, const QString& value) {
        if (!value.isEmpty())
            out += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value);
    };
    const auto length = [&](const char* name, int max, bool allowPercent) {
        add(name, Length(Attribute(node, name), max, allowPercent));
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
        length("width", kMaxLength, false);
        length("height", kMaxLength, false);
        keyword("align", kAlign);
        break;
    case GUMBO_TAG_TABLE:
        length("border", kMaxBorder, false);
        length("cellpadding", kMaxPadding, false);
        length("cellspacing", kMaxPadding, false);
        length("width", kMaxLength, true);
        color("bgcolor");
        keyword("align", kAlign);
        break;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        for (const char* span : {"colspan", "rowspan"}) {
            if (const int n = Span(node, span); n > 1)
                add(span, QString::number(n));
        }
        length("width", kMaxLength, true);
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

} // namespace BannerNodes
