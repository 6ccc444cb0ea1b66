#include "CHelpBrowser.h"

#include <QHelpEngineCore>

CHelpBrowser::CHelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    // The pages link only to each other; nothing is handed to other programs.
    setOpenExternalLinks(false);
}

QVariant CHelpBrowser::loadResource(int type, const QUrl& name) {
    if (m_pEngine && name.scheme() == QLatin1String("qthelp"))
        return m_pEngine->fileData(name);
    return QTextBrowser::loadResource(type, name);
}
