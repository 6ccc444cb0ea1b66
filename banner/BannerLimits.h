// Every bound put on the banner page, in one place. The page comes from the network at every
// start, so whoever answers decides what it holds; these numbers keep what is parsed,
// decoded and laid out small enough that no page can freeze the window or swamp memory.
// A banner is a picture, a link and a few words in a pane of about 64 x 26 pixels, so the
// bounds sit far above anything a real banner needs and far below what costs time.
#pragma once

#include <cstddef>

namespace BannerLimits {

// Parsing (off the user-interface thread). The parser's cost grows with the square of the
// nesting and of the attributes of one tag, so only the page's first tags are read, and a
// parse that still runs too long or too big is given up (the page is then not shown).
constexpr int kMaxParsedTags = 2048;
constexpr int kParseCpuMs = 1500;
constexpr std::size_t kMaxParseBytes = 48u * 1024 * 1024;

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
// Text only in scripts the usual desktop fonts carry: any other script makes Qt look for a
// fallback font the first time it is met, some 25 ms each, so a page with dozens of them
// would hold up the window for a second. Other letters are shown as U+FFFD.

// Links handed to the desktop.
constexpr int kMaxLinkLength = 2048;

// Pictures: chosen in document order, sized before they are decoded (off the user-interface
// thread), and held to one budget of decoded bytes per page.
constexpr int kMaxPictures = 16;
constexpr int kMaxPictureSide = 4096;
constexpr long long kMaxPicturePixels = 4LL * 1024 * 1024;
constexpr long long kMaxPictureBytes = 32LL * 1024 * 1024; // all pictures of a page, decoded

} // namespace BannerLimits
