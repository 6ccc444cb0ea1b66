#include "banner/BannerParse.h"

#include "banner/BannerLimits.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/SAX2.h>
#include <libxml/xmlerror.h>

#include <cstring>
#include <ctime>

// The error handlers are set for the parsing thread alone, which needs libxml2's per-thread
// state; a build without it would share them between threads.
#ifndef LIBXML_THREAD_ENABLED
#error "the banner parse needs libxml2 built with thread support"
#endif

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

// The parse's clock, read now and then from the parser's callbacks: between two of them the
// parser does little work, as the input is bounded in tags and attributes.
struct Clock {
    double startMs = ThreadCpuMs();
    unsigned nCalls = 0;
    bool bOver = false;
};

void Tick(void* ctx) {
    auto* ctxt = static_cast<htmlParserCtxtPtr>(ctx);
    auto* clock = static_cast<Clock*>(ctxt->_private);
    if (!clock->bOver && (++clock->nCalls % 1024) == 0 &&
        ThreadCpuMs() - clock->startMs > BannerLimits::kParseCpuMs) {
        clock->bOver = true;
        xmlStopParser(ctxt);
    }
}

void StartElement(void* ctx, const xmlChar* name, const xmlChar** atts) {
    xmlSAX2StartElement(ctx, name, atts);
    Tick(ctx);
}

void Characters(void* ctx, const xmlChar* text, int len) {
    xmlSAX2Characters(ctx, text, len);
    Tick(ctx);
}

void Comment(void* ctx, const xmlChar* text) {
    xmlSAX2Comment(ctx, text);
    Tick(ctx);
}

void IgnoreMessage(void*, const char*, ...) {}

// Errors are only the page's faults, and nobody reads them: errors without a parser context
// (encodings, memory) would otherwise go to standard error. libxml2 keeps these handlers per
// thread, so they are set around the parse and put back.
class QuietThread {
public:
    QuietThread()
        : m_structured(xmlStructuredError), m_pStructuredContext(xmlStructuredErrorContext),
          m_generic(xmlGenericError), m_pGenericContext(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(nullptr, [](void*, auto) {});
        xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    }
    ~QuietThread() {
        xmlSetStructuredErrorFunc(m_pStructuredContext, m_structured);
        xmlSetGenericErrorFunc(m_pGenericContext, m_generic);
    }
    QuietThread(const QuietThread&) = delete;
    QuietThread& operator=(const QuietThread&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_pStructuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_pGenericContext;
};

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
    return IsAsciiAlpha(c) || c == '_' || c == ':' || c == '.';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

// The parser reads at most this many characters of a name; the rest starts another name.
constexpr std::size_t kNameChars = 100;

// Cuts text to at most nBytes without splitting a character.
void CutUtf8(std::string& text, std::size_t nBytes) {
    if (text.size() <= nBytes)
        return;
    while (nBytes > 0 && (static_cast<unsigned char>(text[nBytes]) & 0xC0) == 0x80)
        --nBytes;
    text.resize(nBytes);
}

// Characters the parser reports an error for, each one (a page full of them costs it some
// 200 to 300 ms), or, for a NUL, may take as the end of the page. They are shown as space
// anyway.
void BlankUnreadable(std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && !IsBlank(char(c)))
            text[i] = ' ';
        else if (c == 0xEF && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                 (text[i + 2] == '\xBE' || text[i + 2] == '\xBF'))
            text[i + 2] = '\xBD'; // U+FFFE and U+FFFF become U+FFFD
    }
}

// Where text[0, end) has to be cut to keep at most nReferences '&': the parser looks each name
// up in its table one entry after another, and reports an error for many.
std::size_t ReferenceBoundary(const std::string& text, std::size_t end, int nReferences) {
    std::size_t i = 0;
    for (int seen = 0;; ++seen) {
        const void* amp = std::memchr(text.data() + i, '&', end - i);
        if (amp == nullptr)
            return end;
        const std::size_t at = static_cast<const char*>(amp) - text.data();
        if (seen == nReferences)
            return at;
        i = at + 1;
    }
}

} // namespace

std::size_t BannerParse::TagBoundary(const std::string& text, int nTags) {
    int seen = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '<')
            continue;
        const char next = text[i + 1];
        if (IsAsciiAlpha(next) || next == '/' || next == '!' || next == '?') {
            if (++seen > nTags)
                return i;
        }
    }
    return text.size();
}

std::size_t BannerParse::AttributeBoundary(const std::string& text, std::size_t end,
                                           long long nPairs) {
    // A start tag is read the parser's way from every '<' before a letter, also from those
    // the parser would take as text, a comment or inside a quoted value: which of them it
    // really reads depends on all that comes before, and counting them all can only cut
    // sooner. The reading itself is held to a few passes over the text.
    const auto at = [&text, end](std::size_t i) { return i < end ? text[i] : '\0'; };
    const auto skip = [&at](std::size_t i, auto stop) {
        while (at(i) != '\0' && !stop(at(i), at(i + 1)))
            ++i;
        return i;
    };
    const auto blank = [](char c, char) { return !IsBlank(c); };
    const auto name = [&at](std::size_t i) {
        const std::size_t start = i;
        while (i - start < kNameChars && IsNameChar(at(i)))
            ++i;
        return i;
    };
    long long pairs = 0;
    std::size_t work = 0;
    const std::size_t maxWork = 8 * end + 4096;
    for (std::size_t p = 0; p + 1 < end; ++p) {
        if (text[p] != '<' || !IsAsciiAlpha(text[p + 1]))
            continue;
        long long n = 0;
        std::size_t i = skip(name(p + 1), blank);
        while (at(i) != '\0' && at(i) != '>' && !(at(i) == '/' && at(i + 1) == '>')) {
            if (!IsNameStart(at(i))) { // not an attribute: passed over up to a blank
                i = skip(i, [](char c, char next) {
                    return IsBlank(c) || c == '>' || (c == '/' && next == '>');
                });
            } else {
                i = skip(name(i), blank);
                ++n;
                if (at(i) == '=') {
                    i = skip(i + 1, blank);
                    const char quote = at(i);
                    if (quote == '"' || quote == '\'') {
                        const void* close = std::memchr(text.data() + i + 1, quote, end - i - 1);
                        i = close != nullptr ? static_cast<const char*>(close) - text.data() + 1
                                             : end;
                    } else {
                        i = skip(i, [](char c, char) { return IsBlank(c) || c == '>'; });
                    }
                }
            }
            i = skip(i, blank);
        }
        pairs += n * n;
        work += i - p;
        if (pairs > nPairs || work > maxWork)
            return p;
    }
    return end;
}

BannerParse::BannerParse(std::string utf8) : m_strText(std::move(utf8)) {
    static const bool initialized = (xmlInitParser(), true);
    (void)initialized;
    CutUtf8(m_strText, BannerLimits::kMaxParseBytes);
    BlankUnreadable(m_strText);
    std::size_t end = TagBoundary(m_strText, BannerLimits::kMaxParsedTags);
    end = ReferenceBoundary(m_strText, end, BannerLimits::kMaxParsedReferences);
    m_strText.resize(AttributeBoundary(m_strText, end, BannerLimits::kMaxAttributePairs));

    const QuietThread quiet;
    htmlParserCtxtPtr ctxt = htmlNewParserCtxt();
    if (ctxt == nullptr)
        return;
    Clock clock;
    ctxt->_private = &clock;
    ctxt->sax->startElement = StartElement;
    ctxt->sax->characters = Characters;
    ctxt->sax->comment = Comment;
    // Errors of this parse go to the context's own handler, which drops them.
    ctxt->sax->initialized = XML_SAX2_MAGIC;
    ctxt->sax->serror = [](void*, auto) {};
    // The text is UTF-8 already, decoded by the caller as the page asked: named so, and with
    // the page's own charset ignored, the parser never decodes it again. The depth limit is
    // lifted so that text below it stays (the tag bound holds the depth); no network, no
    // external entities (the HTML parser reads none).
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                        HTML_PARSE_NOWARNING | HTML_PARSE_NODEFDTD | HTML_PARSE_IGNORE_ENC |
                        XML_PARSE_HUGE;
    m_pDoc = htmlCtxtReadMemory(ctxt, m_strText.data(), int(m_strText.size()), nullptr, "UTF-8",
                                options);
    htmlFreeParserCtxt(ctxt);
    // Also a parse that went over in one long step between two callbacks.
    clock.bOver = clock.bOver || ThreadCpuMs() - clock.startMs > BannerLimits::kParseCpuMs;
    if (clock.bOver && m_pDoc != nullptr) {
        xmlFreeDoc(m_pDoc);
        m_pDoc = nullptr;
    } else if (!clock.bOver && m_pDoc == nullptr) {
        m_pDoc = htmlNewDocNoDtD(nullptr, nullptr); // an empty page is an empty document
    }
}

BannerParse::~BannerParse() {
    if (m_pDoc != nullptr)
        xmlFreeDoc(m_pDoc);
}

const _xmlNode* BannerParse::Document() const {
    // A document begins like a node, and libxml2 walks it as one.
    return reinterpret_cast<const _xmlNode*>(m_pDoc);
}
