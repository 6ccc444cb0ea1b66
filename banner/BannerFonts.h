// What a banner page may ask of the fonts. Qt finds fonts under one lock for the whole process,
// which the window's menus and lists take to draw their text; every new size or style of a
// font is another search in every script the page uses, and a character that no installed font
// shows is a search of every font on the system, some of it with the lock held. So the page's
// document is held to a few fonts, and what no font shows is drawn as a replacement mark without
// a search. Runs on the layout's thread, before the document is laid out.
#pragma once

class QTextDocument;

namespace BannerFonts {

// Holds document's fonts to a few sizes and styles of its default font, and replaces each
// character that no installed font shows (found out once per process) with U+FFFD. The text
// keeps its length, so places in it are those of the page.
void Bound(QTextDocument& document);

} // namespace BannerFonts
