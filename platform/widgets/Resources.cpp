#include "Resources.h"

#include "Gdi.h"
#include "ResourceTables.h"

#include <QImage>

#include <map>

namespace {

std::map<UINT, QString> s_testStrings;
std::map<UINT, std::vector<UINT>> s_testToolBars;

} // namespace

QString LoadString(UINT nID) {
#ifdef Q_OS_WIN
    return LoadStringFor(nID, ResPlatform::Windows);
#else
    return LoadStringFor(nID, ResPlatform::Other);
#endif
}

QString LoadStringFor(UINT nID, ResPlatform platform) {
    if (auto it = s_testStrings.find(nID); it != s_testStrings.end())
        return it->second;
    for (const ResString& entry : ResStringTable()) {
        if (entry.nID == nID)
            return QString::fromUtf8(entry.pszText);
    }
    for (const ResPlatformString& entry : ResPlatformStringTable()) {
        if (entry.nID == nID && entry.platform == platform)
            return QString::fromUtf8(entry.pszText);
    }
    return {};
}

namespace {

// "dir/name@2x.ext" beside "dir/name.ext", Qt's naming for double-density pictures.
QString DoubleDensityPath(const QString& path) {
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int at = dot > slash ? dot : path.size();
    return path.left(at) + QStringLiteral("@2x") + path.mid(at);
}

} // namespace

QPixmap LoadBitmap(UINT nID, qreal devicePixelRatio) {
    for (const ResFile& entry : ResBitmapTable()) {
        if (entry.nID != nID)
            continue;
        QImage image;
        if (devicePixelRatio > 1.0 &&
            image.load(DoubleDensityPath(QString::fromLatin1(entry.pszPath))))
            image.setDevicePixelRatio(2.0);
        else if (!image.load(QString::fromLatin1(entry.pszPath)))
            return {};
        return QPixmap::fromImage(WithTransparentKey(image, QColor(255, 0, 255)));
    }
    return {};
}

QIcon LoadIcon(UINT nID) {
    QIcon icon;
    for (const ResFile& entry : ResIconTable()) {
        if (entry.nID == nID)
            icon.addFile(QString::fromLatin1(entry.pszPath));
    }
    return icon;
}

std::vector<MenuPopup> LoadMenu(UINT nID) {
    std::vector<MenuPopup> popups;
    for (const ResMenu& menu : ResMenuTable()) {
        if (menu.nID != nID)
            continue;
        for (const ResMenuPopup& popup : menu.popups) {
            MenuPopup& out = popups.emplace_back();
            out.text = QString::fromUtf8(popup.pszText);
            for (const ResMenuItem& item : popup.items)
                out.items.push_back({item.nID, QString::fromUtf8(item.pszText)});
        }
    }
    return popups;
}

std::vector<UINT> LoadToolBarResource(UINT nID) {
    if (auto it = s_testToolBars.find(nID); it != s_testToolBars.end())
        return it->second;
    for (const ResToolBar& toolbar : ResToolBarTable()) {
        if (toolbar.nID == nID)
            return {toolbar.buttons.begin(), toolbar.buttons.end()};
    }
    return {};
}

void SetStringResourceForTesting(UINT nID, const QString& text) {
    s_testStrings[nID] = text;
}

void SetToolBarResourceForTesting(UINT nID, const std::vector<UINT>& buttons) {
    s_testToolBars[nID] = buttons;
}

void ResetResourcesForTesting() {
    s_testStrings.clear();
    s_testToolBars.clear();
}
