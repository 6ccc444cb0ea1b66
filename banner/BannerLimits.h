// Every bound put on the banner page, in one place. The page comes from the network at every
// start, so whoever answers decides what it holds; these numbers keep what is parsed,
// decoded and laid out small enough that no page can freeze the window or swamp memory.
// A banner is a picture, a link and a few words in a pane of about 64 x 26 pixels, so the
// bounds sit far above anything a real banner needs and far below what costs time.
#pragma once

#include <cstddef>

namespace BannerLimits {

// Parsing (off the user-interface thread), by libxml2's HTML parser. Its cost grows with the
// square of the open elements and of the attributes of one tag, and some text costs it an
// error report per character or reference, so only the page's first bytes, tags and
// references are read, up to the first tag with too many attributes; memory follows from
// these bounds. A parse that still runs too long is given up (the page is then not shown).
// Measured with bench_bannerparse --whole on the development machine: the bounded parse,
// then the same page parsed whole by libxml2 alone, in the same run.
constexpr std::size_t kMaxParseBytes = 1024 * 1024; // of UTF-8. Any 1 MiB page: at most 40 ms
                                                    // ('<' before digits; whole 35 ms), 11 MB
constexpr int kMaxParsedTags = 2048;       // 100,000 nested <div>: 1.4 ms (whole 79 ms, 34 MB);
                                           // 80,000 <font> then <p>x: 1.6 ms (whole 277 ms, 80 MB);
                                           // 1,024 <b> then 1,024 </i>: 3 ms
constexpr int kMaxParsedReferences = 8192; // &diams; flood: 9 ms (whole 108 ms);
                                           // bare '&' flood: 2 ms (whole 229 ms)
// A tag of n attributes counts n * n, as the parser compares each with those before it:
// one tag of 2,048: 10 ms; of 8,192: whole 126 ms; of 70,000: whole 10.6 s. 2,048 tags that
// share the bound, 45 attributes each: 26 ms, 11 MB.
constexpr long long kMaxAttributePairs = 4LL * 1024 * 1024;
constexpr int kParseCpuMs = 1500;

// The document that is shown: Qt's layout is cheap only for shallow, small documents. Measured
// on the development machine, a document at these bounds takes Qt at most about 20 ms to
// lay out; tables cost the most (every cell of an outer table lays out its inner tables
// again, and rowspans widen the grid), then list items.
constexpr int kMaxDepth = 16;        // elements nested
constexpr int kMaxTableDepth = 2;    // tables nested
constexpr int kMaxListDepth = 4;     // lists nested
constexpr int kMaxSpan = 8;          // colspan and rowspan
constexpr int kMaxTableColumns = 16; // of the grid, rowspans included
constexpr int kMaxTableRows = 32;
constexpr int kMaxTableCells = 128; // all tables of the page together
constexpr int kMaxElements = 512;
constexpr int kMaxText = 4 * 1024; // characters: far more than the pane shows
constexpr int kMaxWord = 80;       // characters before a break opportunity is put in
constexpr int kMaxLength = 2000;   // pixels: widths and heights
constexpr int kMaxPadding = 64;    // pixels: cellpadding and cellspacing
constexpr int kMaxBorder = 8;
// style attributes: only a short list of properties, each value checked and written anew.
constexpr int kMaxStyleChars = 4 * 1024; // read of one attribute
constexpr int kMaxDeclarations = 32;     // kept of one attribute
constexpr int kMaxFontPx = 72;
// Fonts (size, weight and slant of the page's one family) the layout may ask Qt for; sizes are
// first rounded to a few steps (BannerFonts). Each font is a search of the fonts in every script
// of the page, under a lock the window takes to draw text: 512 sizes of 8 scripts cost 1 GB and
// held menus for seconds.
constexpr int kMaxFonts = 8;

// Links handed to the desktop.
constexpr int kMaxLinkLength = 2048;

// Pictures: chosen in document order, sized before they are decoded (off the user-interface
// thread), and held to one budget of decoded bytes per page.
constexpr int kMaxPictures = 16;
constexpr int kMaxPictureSide = 4096;
constexpr long long kMaxPicturePixels = 4LL * 1024 * 1024;
constexpr long long kMaxPictureBytes = 32LL * 1024 * 1024; // all pictures of a page, decoded
// What a decoder does before the size check or per pass over the pixels, bounded by reading
// the container first. PNG keeps only the chunks that give its pixels and colours: text and
// colour-profile chunks are inflated while the header is read (66 zTXt chunks in 509 KB
// inflate to 2.6 GB). A progressive JPEG passes over every pixel once per scan (51,595 empty
// scans: 42 s); real ones have about ten.
constexpr int kMaxJpegScans = 32;

} // namespace BannerLimits
