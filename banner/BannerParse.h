// The banner page's HTML parsed by gumbo within bounds of input, time and memory: only the
// first tags are read, and a parse that goes on too long or grows too big is given up and
// freed at once. No Qt here; it runs off the user-interface thread.
#pragma once

#include <cstddef>
#include <string>

struct GumboInternalNode;

class CBannerParse {
public:
    // Parses UTF-8 text; the text is copied, so it need not outlive this.
    explicit CBannerParse(std::string utf8);
    ~CBannerParse();
    CBannerParse(const CBannerParse&) = delete;
    CBannerParse& operator=(const CBannerParse&) = delete;

    // The document node; null when the parse was given up.
    const GumboInternalNode* Document() const { return m_pDocument; }
    // How many bytes of the input were read (the rest lies past the tag bound).
    std::size_t ParsedBytes() const { return m_text.size(); }

    // Where the text has to be cut to keep at most nTags tags (every '<' that may open a
    // tag, comment or declaration counts, so the parser never sees more).
    static std::size_t TagBoundary(const std::string& text, int nTags);

    struct CArena;

private:
    std::string m_text;
    CArena* m_pArena = nullptr;
    const GumboInternalNode* m_pDocument = nullptr;
};
