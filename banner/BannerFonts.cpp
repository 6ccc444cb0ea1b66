#include "banner/BannerFonts.h"

#include "banner/BannerLimits.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QRawFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

// Sizes a page may use, as factors of the document's own: those of HTML's font sizes and a few
// beyond them.
constexpr std::array<qreal, 11> kSizeSteps = {0.5, 0.7, 0.8, 1, 1.2, 1.5, 2, 2.4, 3, 4, 6};
constexpr int kSameSize = 3;

struct FontKey {
    int nStep;
    bool bBold;
    bool bItalic;
    bool operator==(const FontKey&) const = default;
};

qreal PixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96 / 72;
}

int NearestStep(qreal factor) {
    if (!(factor > 0))
        return kSameSize;
    int best = 0;
    for (int i = 1; i < int(kSizeSteps.size()); ++i) {
        if (std::abs(std::log(factor / kSizeSteps[i])) <
            std::abs(std::log(factor / kSizeSteps[best])))
            best = i;
    }
    return best;
}

// The page's fonts: the first kMaxFonts it asks for, in document order; after them, the
// nearest of those.
class FontBound {
public:
    explicit FontBound(const QFont& base) : m_base(base) {}

    QTextCharFormat Apply(QTextCharFormat format) {
        const QFont font = format.font(); // resolved against the document's font
        const qreal base = PixelSize(m_base);
        FontKey key{NearestStep(base > 0 ? PixelSize(font) / base : 1),
                    font.weight() >= QFont::DemiBold, font.style() != QFont::StyleNormal};
        if (!m_used.contains(key)) {
            if (m_used.size() < BannerLimits::kMaxFonts)
                m_used.append(key);
            else
                key = Nearest(key);
        }
        // Families, stretches, spacing and the like go: each would be another font.
        for (int property = QTextFormat::FirstFontProperty;
             property <= QTextFormat::LastFontProperty; ++property) {
            if (property < QTextFormat::FontUnderline || property > QTextFormat::FontStrikeOut)
                format.clearProperty(property);
        }
        const qreal factor = kSizeSteps[key.nStep];
        if (m_base.pointSizeF() > 0)
            format.setFontPointSize(m_base.pointSizeF() * factor);
        else
            format.setProperty(QTextFormat::FontPixelSize,
                               std::max(1, qRound(m_base.pixelSize() * factor)));
        format.setFontWeight(key.bBold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(key.bItalic);
        return format;
    }

private:
    FontKey Nearest(const FontKey& key) const {
        FontKey best = m_used.first();
        int bestCost = INT_MAX;
        for (const FontKey& used : m_used) {
            const int cost = std::abs(used.nStep - key.nStep) + 2 * (used.bBold != key.bBold) +
                             2 * (used.bItalic != key.bItalic);
            if (cost < bestCost) {
                best = used;
                bestCost = cost;
            }
        }
        return best;
    }

    QFont m_base;
    QList<FontKey> m_used;
};

// Scripts Qt draws only with a font that has OpenType rules for them. Where no installed font
// has, Qt tries every font on the system for each font the page asks for, all under its lock.
struct ShapedScript {
    QChar::Script script;
    QFontDatabase::WritingSystem system;
    std::array<const char*, 2> tags; // the rules' script tags: current, then old
};
const ShapedScript kShapedScripts[] = {
    {QChar::Script_Syriac, QFontDatabase::Syriac, {"syrc", nullptr}},
    {QChar::Script_Thaana, QFontDatabase::Thaana, {"thaa", nullptr}},
    {QChar::Script_Devanagari, QFontDatabase::Devanagari, {"dev2", "deva"}},
    {QChar::Script_Bengali, QFontDatabase::Bengali, {"bng2", "beng"}},
    {QChar::Script_Gurmukhi, QFontDatabase::Gurmukhi, {"gur2", "guru"}},
    {QChar::Script_Gujarati, QFontDatabase::Gujarati, {"gjr2", "gujr"}},
    {QChar::Script_Oriya, QFontDatabase::Oriya, {"ory2", "orya"}},
    {QChar::Script_Tamil, QFontDatabase::Tamil, {"tml2", "taml"}},
    {QChar::Script_Telugu, QFontDatabase::Telugu, {"tel2", "telu"}},
    {QChar::Script_Kannada, QFontDatabase::Kannada, {"knd2", "knda"}},
    {QChar::Script_Malayalam, QFontDatabase::Malayalam, {"mlm2", "mlym"}},
    {QChar::Script_Sinhala, QFontDatabase::Sinhala, {"sinh", nullptr}},
    {QChar::Script_Khmer, QFontDatabase::Khmer, {"khmr", nullptr}},
    {QChar::Script_Nko, QFontDatabase::Nko, {"nko ", nullptr}},
};

// Whether an OpenType layout table lists one of the tags in its scripts.
bool ListsScript(const QByteArray& table, const std::array<const char*, 2>& tags) {
    const auto u16 = [&table](qsizetype at) {
        return at >= 0 && at + 2 <= table.size() ? uchar(table[at]) << 8 | uchar(table[at + 1]) : 0;
    };
    const qsizetype list = u16(4);
    for (int i = 0, count = u16(list); i < count && list + 8 + 6 * i <= table.size(); ++i) {
        const QByteArray tag = table.mid(list + 2 + 6 * i, 4);
        for (const char* wanted : tags) {
            if (wanted != nullptr && tag == wanted)
                return true;
        }
    }
    return false;
}

// What the installed fonts show, found once per process.
class FontCoverage {
public:
    bool Shown(char32_t c, const QFont& font) {
        QMutexLocker locker(&m_mutex);
        const auto known = m_chars.constFind(c);
        if (known != m_chars.cend())
            return *known;
        if (m_chars.size() >= 65536)
            m_chars.clear();
        const QChar::Script script = QChar::script(c);
        const auto shaped =
            std::find_if(std::begin(kShapedScripts), std::end(kShapedScripts),
                         [script](const ShapedScript& s) { return s.script == script; });
        bool shown = shaped == std::end(kShapedScripts) || Shaped(*shaped, c);
        // The search Qt makes for a character: every fallback font, once.
        shown = shown && QFontMetricsF(font).inFontUcs4(c);
        m_chars.insert(c, shown);
        return shown;
    }

private:
    // Whether a font has c and the rules Qt asks for its script: found by reading the fonts one
    // at a time, those that claim the script first, never by asking Qt for the script.
    bool Shaped(const ShapedScript& shaped, char32_t c) {
        const auto known = m_scripts.constFind(shaped.script);
        if (known != m_scripts.cend())
            return *known;
        bool found = false;
        QStringList families = QFontDatabase::families(shaped.system);
        families += QFontDatabase::families();
        families.removeDuplicates(); // each font is read once, in its first place
        for (const QString& family : std::as_const(families)) {
            QFont font(family);
            font.setStyleStrategy(QFont::NoFontMerging);
            const QRawFont raw = QRawFont::fromFont(font);
            // Qt's lock is taken for each load: a loop that takes it again at once would keep
            // the window's thread waiting behind it.
            QThread::usleep(100);
            found = raw.supportsCharacter(c) &&
                    (!raw.fontTable("morx").isEmpty() || !raw.fontTable("mort").isEmpty() ||
                     ListsScript(raw.fontTable("GSUB"), shaped.tags));
            if (found)
                break;
        }
        m_scripts.insert(shaped.script, found);
        return found;
    }

    QMutex m_mutex;
    QHash<char32_t, bool> m_chars;
    QHash<int, bool> m_scripts;
};

FontCoverage& Coverage() {
    static FontCoverage coverage;
    return coverage;
}

// Characters that need no font of their own: controls, spaces, marks of format, the pictures'
// places and the replacement mark itself.
bool NeedsNoFont(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == QChar::ObjectReplacementCharacter || c == QChar::ReplacementCharacter;
    }
}

struct FormatEdit {
    int nAt;
    int nLength;
    QString strText; // empty: only the format changes
    QTextCharFormat format;
};

} // namespace

namespace BannerFonts {

void Bound(QTextDocument& document) {
    const QFont base = document.defaultFont();
    // Found first, changed after: a change splits and merges fragments.
    QList<FormatEdit> edits;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString text = fragment.text();
            for (qsizetype i = 0; i < text.size();) {
                const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() &&
                                  text[i + 1].isLowSurrogate();
                const char32_t c =
                    pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
                const int length = pair ? 2 : 1;
                // An unpaired surrogate has no letter at all.
                if (QChar::isSurrogate(c) || (!NeedsNoFont(c) && !Coverage().Shown(c, base))) {
                    // U+2060 keeps a pair's length and is drawn as nothing.
                    const QString mark =
                        pair ? QStringLiteral(u"\uFFFD\u2060") : QStringLiteral(u"\uFFFD");
                    const int at = fragment.position() + int(i);
                    if (!edits.isEmpty() && edits.last().nAt + edits.last().nLength == at &&
                        edits.last().format == fragment.charFormat()) {
                        edits.last().nLength += length;
                        edits.last().strText += mark;
                    } else {
                        edits.append({at, length, mark, fragment.charFormat()});
                    }
                }
                i += length;
            }
        }
    }
    QTextCursor cursor(&document);
    for (const FormatEdit& edit : edits) {
        cursor.setPosition(edit.nAt);
        cursor.setPosition(edit.nAt + edit.nLength, QTextCursor::KeepAnchor);
        cursor.insertText(edit.strText, edit.format);
    }

    FontBound fonts(base);
    edits.clear();
    QList<QPair<int, QTextCharFormat>> blockFormats;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        blockFormats.append({block.position(), fonts.Apply(block.charFormat())});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            edits.append(
                {fragment.position(), fragment.length(), {}, fonts.Apply(fragment.charFormat())});
        }
    }
    for (const auto& [at, format] : blockFormats) {
        cursor.setPosition(at);
        cursor.setBlockCharFormat(format);
    }
    for (const FormatEdit& edit : edits) {
        cursor.setPosition(edit.nAt);
        cursor.setPosition(edit.nAt + edit.nLength, QTextCursor::KeepAnchor);
        cursor.setCharFormat(edit.format);
    }
}

} // namespace BannerFonts
