#include "banner/BannerNodes.h"

#include "banner/BannerLimits.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

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

// A CSS length in px, pt, em or %: "8px". Sizes are held to [0, max] px (or the like in the
// other units); anything else, a negative number or an exponent among them, is dropped.
QString CssLength(const QString& value, int max) {
    static const QRegularExpression kLength(
        QStringLiteral("^(\\d{1,6})(\\.\\d{1,3})?(px|pt|em|%)?$"));
    const QRegularExpressionMatch m = kLength.match(value);
    if (!m.hasMatch())
        return {};
    const double n = (m.captured(1) + m.captured(2)).toDouble();
    const QString unit = m.captured(3).isEmpty() ? QStringLiteral("px") : m.captured(3);
    const double limit = unit == QLatin1String("em")  ? max / 16.0
                         : unit == QLatin1String("%") ? 100 * max / 16.0
                                                      : max;
    return QString::number(std::min(n, limit)) + unit;
}

} // namespace

QString Color(const QString& value) {
    const QString v = value.trimmed().toLower();
    return IsColor(v) ? v : QString();
}

QString Style(const QString& style) {
    static const QStringList kWeights = {"normal", "bold", "bolder", "lighter", "100", "200", "300",
                                         "400",    "500",  "600",    "700",     "800", "900"};
    static const QStringList kStyles = {"normal", "italic", "oblique"};
    static const QStringList kDecorations = {"none", "underline", "line-through", "overline"};
    static const QStringList kAligns = {"left", "right", "center", "justify"};
    QStringList kept;
    const QStringList declarations = style.left(kMaxStyleChars).split(QLatin1Char(';'));
    for (const QString& declaration : declarations) {
        if (kept.size() >= kMaxDeclarations)
            break;
        const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        const QString name = declaration.left(colon).trimmed().toLower();
        const QString value = declaration.mid(colon + 1).trimmed().toLower();
        const QStringList words = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString out;
        if (name == QLatin1String("color") || name == QLatin1String("background-color")) {
            out = Color(value);
        } else if (name == QLatin1String("background")) {
            // Only its colour: pictures and the rest of the shorthand are not for the banner.
            for (const QString& word : words) {
                if (!Color(word).isEmpty())
                    out = word;
            }
            if (!out.isEmpty()) {
                kept << QStringLiteral("background-color:") + out;
                continue;
            }
        } else if (name == QLatin1String("font-size")) {
            out = CssLength(value, kMaxFontPx);
        } else if (name == QLatin1String("font-weight")) {
            out = kWeights.contains(value) ? value : QString();
        } else if (name == QLatin1String("font-style")) {
            out = kStyles.contains(value) ? value : QString();
        } else if (name == QLatin1String("text-decoration")) {
            out = kDecorations.contains(value) ? value : QString();
        } else if (name == QLatin1String("text-align")) {
            out = kAligns.contains(value) ? value : QString();
        } else if (name == QLatin1String("margin") || name == QLatin1String("padding") ||
                   name.startsWith(QLatin1String("margin-")) ||
                   name.startsWith(QLatin1String("padding-"))) {
            if (name.count(QLatin1Char('-')) > 1 || words.isEmpty() || words.size() > 4)
                continue;
            QStringList lengths;
            for (const QString& word : words)
                lengths << CssLength(word, kMaxPadding);
            out = lengths.contains(QString()) ? QString() : lengths.join(QLatin1Char(' '));
        } else if (name == QLatin1String("width") || name == QLatin1String("height")) {
            out = CssLength(value, kMaxLength);
        }
        if (!out.isEmpty())
            kept << name + QLatin1Char(':') + out;
    }
    return kept.join(QLatin1Char(';'));
}

Kind KindOf(const xmlNode* element) {
    static const std::unordered_map<std::string_view, Kind> kKinds = [] {
        std::unordered_map<std::string_view, Kind> kinds;
        const auto set = [&kinds](Kind kind, std::initializer_list<std::string_view> names) {
            for (std::string_view name : names)
                kinds.emplace(name, kind);
        };
        // svg and math with all they hold: what they draw is not text.
        set(Kind::Skip, {"head",     "title",    "script", "style",  "template", "noscript",
                         "noframes", "noembed",  "iframe", "object", "embed",    "applet",
                         "select",   "textarea", "audio",  "video",  "canvas",   "frameset",
                         "map",      "datalist", "rp",     "svg",    "math"});
        set(Kind::Block, {"p", "div", "h1", "h2", "h3", "h4", "h5", "h6"});
        // Blocks Qt has no use for: their text stays apart.
        set(Kind::Div,
            {"blockquote", "center",  "section", "article", "header",     "footer", "nav",
             "main",       "aside",   "address", "pre",     "listing",    "xmp",    "plaintext",
             "dl",         "dt",      "dd",      "figure",  "figcaption", "form",   "fieldset",
             "legend",     "details", "summary", "hgroup"});
        set(Kind::Inline, {"b", "i", "u", "em", "strong", "small", "big", "sub", "sup", "span"});
        set(Kind::Font, {"font"});
        set(Kind::Anchor, {"a"});
        set(Kind::Break, {"br"});
        set(Kind::Image, {"img", "image"});
        set(Kind::Table, {"table"});
        set(Kind::List, {"ul", "ol", "menu", "dir"});
        set(Kind::Item, {"li"});
        return kinds;
    }();
    const char* name = ElementName(element);
    if (name == nullptr)
        return Kind::Skip;
    const auto found = kKinds.find(name);
    return found != kKinds.end() ? found->second : Kind::Transparent;
}

const char* ElementName(const xmlNode* node) {
    return node->type == XML_ELEMENT_NODE ? reinterpret_cast<const char*>(node->name) : nullptr;
}

bool IsElement(const xmlNode* node, const char* name) {
    const char* own = ElementName(node);
    return own != nullptr && std::strcmp(own, name) == 0;
}

bool IsCell(const xmlNode* node) {
    return IsElement(node, "td") || IsElement(node, "th");
}

bool IsSection(const xmlNode* node) {
    return IsElement(node, "thead") || IsElement(node, "tbody") || IsElement(node, "tfoot");
}

bool IsWhitespace(const xmlNode* node) {
    if (node->type != XML_TEXT_NODE)
        return false;
    for (const xmlChar* c = node->content; c != nullptr && *c != 0; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r' && *c != '\f')
            return false;
    }
    return true;
}

QString Attribute(const xmlNode* node, const char* name) {
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        if (std::strcmp(reinterpret_cast<const char*>(a->name), name) != 0)
            continue;
        QString value;
        for (const xmlNode* t = a->children; t != nullptr; t = t->next) {
            if (t->type == XML_TEXT_NODE && t->content != nullptr)
                value += QString::fromUtf8(reinterpret_cast<const char*>(t->content));
        }
        return value;
    }
    return {};
}

int Span(const xmlNode* cell, const char* name) {
    return std::clamp(Length(Attribute(cell, name), kMaxSpan, false).toInt(), 1, kMaxSpan);
}

// The attributes kept, each checked: what is not understood is left out.
QString Attributes(const xmlNode* node) {
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
    const std::string_view tag = ElementName(node);
    add("style", Style(Attribute(node, "style")));
    if (tag == "font") {
        color("color");
        const QString size = Attribute(node, "size").trimmed();
        static const QRegularExpression kSize(QStringLiteral("^[+-]?[1-7]$"));
        if (kSize.match(size).hasMatch())
            add("size", size);
    } else if (KindOf(node) == Kind::Block) {
        keyword("align", kAlign);
    } else if (KindOf(node) == Kind::Image) {
        length("width", kMaxLength, false);
        length("height", kMaxLength, false);
        keyword("align", kAlign);
    } else if (tag == "table") {
        length("border", kMaxBorder, false);
        length("cellpadding", kMaxPadding, false);
        length("cellspacing", kMaxPadding, false);
        length("width", kMaxLength, true);
        color("bgcolor");
        keyword("align", kAlign);
    } else if (IsCell(node)) {
        for (const char* span : {"colspan", "rowspan"}) {
            if (const int n = Span(node, span); n > 1)
                add(span, QString::number(n));
        }
        length("width", kMaxLength, true);
        color("bgcolor");
        keyword("align", kAlign);
        keyword("valign", kVAlign);
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
