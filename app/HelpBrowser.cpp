#include "app/HelpBrowser.h"

#include "platform/widgets/Contrast.h"

#include <QEvent>
#include <QTextDocument>

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    // The pages link only to each other; nothing is handed to other programs.
    setOpenExternalLinks(false);
    FitLinkColours();
}

void HelpBrowser::changeEvent(QEvent* e) {
    QTextBrowser::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        FitLinkColours();
}

void HelpBrowser::FitLinkColours() {
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
    // Qt's HTML reader colours links from the application's palette, not this view's: the
    // pages get the fitted colour as their own style, and a page shown is read again.
    const QString style = QStringLiteral("a { color: %1; }").arg(pal.color(QPalette::Link).name());
    if (document()->defaultStyleSheet() != style) {
        document()->setDefaultStyleSheet(style);
        if (!source().isEmpty())
            reload();
    }
}
