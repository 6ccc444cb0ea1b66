#include "CHelpBrowser.h"

#include "Contrast.h"

#include <QEvent>

CHelpBrowser::CHelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    // The pages link only to each other; nothing is handed to other programs.
    setOpenExternalLinks(false);
    FitLinkColours();
}

void CHelpBrowser::changeEvent(QEvent* e) {
    QTextBrowser::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        FitLinkColours();
}

void CHelpBrowser::FitLinkColours() {
    // The pages set no colours of their own; only the link colour may be one meant for a
    // light page.
    QPalette pal = palette();
    const QColor base = pal.color(QPalette::Base);
    bool bChanged = false;
    for (const QPalette::ColorRole role : {QPalette::Link, QPalette::LinkVisited}) {
        const QColor readable = ReadableOn(pal.color(role), base);
        if (readable != pal.color(role)) {
            pal.setColor(role, readable);
            bChanged = true;
        }
    }
    if (bChanged)
        setPalette(pal);
}
