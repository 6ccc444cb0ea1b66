// The banner page's HTML parsed by libxml2's HTML parser within bounds of input and time: only
// the page's first bytes and tags are read, no tag may carry more attributes than the parser
// checks quickly, and a parse that still goes on too long is stopped and given up. No Qt
// here; it runs off the user-interface thread.
#pragma once

#include <cstddef>
#include <string>

struct _xmlDoc;
struct _xmlNode;

class BannerParse {
public:
    // Parses UTF-8 text; the text is copied, so it need not outlive this.
    explicit BannerParse(std::string utf8);
    ~BannerParse();
    BannerParse(const BannerParse&) = delete;
    BannerParse& operator=(const BannerParse&) = delete;

    // The document node, whose children are walked like an element's; null when the parse
    // was given up.
    const _xmlNode* Document() const;
    // How many bytes of the input were read (the rest lies past the bounds).
    std::size_t ParsedBytes() const { return m_strText.size(); }

    // Where the text has to be cut to keep at most nTags tags (every '<' that may open a
    // tag, comment or declaration counts, so the parser never sees more).
    static std::size_t TagBoundary(const std::string& text, int nTags);
    // Where text[0, end) has to be cut so that the parser's attribute checks stay within
    // nPairs: a start tag of n attributes costs about n * n, and every place where the parser
    // may start a tag is counted as if it did.
    static std::size_t AttributeBoundary(const std::string& text, std::size_t end,
                                         long long nPairs);

private:
    std::string m_strText;
    _xmlDoc* m_pDoc = nullptr;
};
