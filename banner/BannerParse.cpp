#include "BannerParse.h"

#include "BannerLimits.h"

#include <gumbo.h>

#include <csetjmp>
#include <cstdlib>
#include <ctime>

// Every block the parser takes is linked here, so a parse given up half-way (by a jump out
// of the allocator) can still be freed, and a finished one freed without the parser's own
// recursive walk over the tree.
struct CBannerParse::CArena {
    struct alignas(16) CBlock {
        CBlock* pPrev;
        CBlock* pNext;
        std::size_t nSize;
    };
    CBlock head{&head, &head, 0};
    std::size_t nLive = 0;
    unsigned nCalls = 0;
    double startCpuMs = 0;
    std::jmp_buf giveUp;

    ~CArena() {
        for (CBlock* p = head.pNext; p != &head;) {
            CBlock* next = p->pNext;
            std::free(p);
            p = next;
        }
    }
};

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

using CArena = CBannerParse::CArena;

void* Allocate(void* pUser, std::size_t nSize) {
    auto* arena = static_cast<CArena*>(pUser);
    // The clock is read now and then: between two allocations the parser does work in
    // proportion to what it holds, so this bounds the time well enough.
    const bool overTime = (++arena->nCalls % 64) == 0 &&
                          ThreadCpuMs() - arena->startCpuMs > BannerLimits::kParseCpuMs;
    if (overTime || arena->nLive + nSize > BannerLimits::kMaxParseBytes)
        std::longjmp(arena->giveUp, 1);
    auto* block = static_cast<CArena::CBlock*>(std::malloc(sizeof(CArena::CBlock) + nSize));
    if (block == nullptr)
        std::longjmp(arena->giveUp, 1);
    block->nSize = nSize;
    block->pPrev = &arena->head;
    block->pNext = arena->head.pNext;
    arena->head.pNext->pPrev = block;
    arena->head.pNext = block;
    arena->nLive += nSize;
    return block + 1;
}

void Deallocate(void* pUser, void* p) {
    if (p == nullptr)
        return;
    auto* arena = static_cast<CArena*>(pUser);
    auto* block = static_cast<CArena::CBlock*>(p) - 1;
    block->pPrev->pNext = block->pNext;
    block->pNext->pPrev = block->pPrev;
    arena->nLive -= block->nSize;
    std::free(block);
}

// Kept apart so that nothing with a destructor lies between setjmp and the jump.
GumboOutput* ParseOrGiveUp(CArena* arena, const GumboOptions* options, const char* data,
                           std::size_t size) {
    if (setjmp(arena->giveUp) != 0)
        return nullptr;
    return gumbo_parse_with_options(options, data, size);
}

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

std::size_t CBannerParse::TagBoundary(const std::string& text, int nTags) {
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

CBannerParse::CBannerParse(std::string utf8) : m_text(std::move(utf8)) {
    m_text.resize(TagBoundary(m_text, BannerLimits::kMaxParsedTags));
    m_pArena = new CArena;
    m_pArena->startCpuMs = ThreadCpuMs();
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = Allocate;
    options.deallocator = Deallocate;
    options.userdata = m_pArena;
    options.max_errors = 0; // nobody reads them
    if (GumboOutput* output = ParseOrGiveUp(m_pArena, &options, m_text.data(), m_text.size()))
        m_pDocument = output->document;
}

CBannerParse::~CBannerParse() {
    delete m_pArena; // the tree and everything else the parser took
}
