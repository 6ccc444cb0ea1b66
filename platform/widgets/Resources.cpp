#include "platform/widgets/Resources.h"

#include "platform/widgets/Gdi.h"
#include "res/ResourceTables.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QtMath>

#include <algorithm>
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

namespace {

// An icon whose pictures are decoded one by one, when a size is first asked for: showing the
// window needs one or two of them, not every size there is.
class ResourceIconEngine : public QIconEngine {
public:
    struct Picture {
        QSize size;
        QString strPath;
        QPixmap pixmap; // null until first asked for
    };

    explicit ResourceIconEngine(QList<Picture> pictures) : m_pictures(std::move(pictures)) {}

    QIconEngine* clone() const override { return new ResourceIconEngine(*this); }
    QString key() const override { return QStringLiteral("VantrelResourceIcon"); }
    bool isNull() override { return m_pictures.isEmpty(); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const Picture& picture : m_pictures)
            sizes.append(picture.size);
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const Picture* picture = Best(size);
        return picture ? picture->size.scaled(size, Qt::KeepAspectRatio).boundedTo(picture->size)
                       : QSize();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        Picture* picture = Best(size);
        if (!picture)
            return {};
        if (picture->pixmap.isNull())
            picture->pixmap = QPixmap(picture->strPath);
        QPixmap pixmap = picture->pixmap;
        if (pixmap.width() > size.width() || pixmap.height() > size.height())
            pixmap = pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode == QIcon::Normal)
            return pixmap;
        // Qt's own engine draws the disabled and selected looks of the style.
        return QIcon(pixmap).pixmap(pixmap.size(), mode, state);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal dpr = painter->device()->devicePixelRatio();
        QPixmap image = pixmap(rect.size() * dpr, mode, state);
        image.setDevicePixelRatio(dpr);
        QRect target(QPoint(), image.deviceIndependentSize().toSize());
        target.moveCenter(rect.center());
        painter->drawPixmap(target, image);
    }

private:
    // The smallest picture at least as large as size, else the largest (they are kept smallest
    // first).
    Picture* Best(const QSize& size) {
        for (Picture& picture : m_pictures) {
            if (picture.size.width() >= size.width() && picture.size.height() >= size.height())
                return &picture;
        }
        return m_pictures.isEmpty() ? nullptr : &m_pictures.last();
    }

    QList<Picture> m_pictures;
};

} // namespace

QIcon LoadIcon(UINT nID, int nMaxSide) {
    QList<ResourceIconEngine::Picture> pictures;
    for (const ResFile& entry : ResIconTable()) {
        if (entry.nID != nID)
            continue;
        const QString path = QString::fromLatin1(entry.pszPath);
        const QSize size = QImageReader(path).size(); // from the header alone
        if (size.isValid() && qMax(size.width(), size.height()) <= nMaxSide)
            pictures.append({size, path, QPixmap()});
    }
    if (pictures.isEmpty())
        return {};
    std::sort(pictures.begin(), pictures.end(),
              [](const auto& a, const auto& b) { return a.size.width() < b.size.width(); });
    return QIcon(new ResourceIconEngine(std::move(pictures)));
}

QIcon LoadWindowIcon(UINT nID) {
    return LoadIcon(nID, qCeil(64 * qApp->devicePixelRatio()));
}

std::vector<MenuPopup> LoadMenu(UINT nID) {
    std::vector<MenuPopup> popups;
    for (const ResMenu& menu : ResMenuTable()) {
        if (menu.nID != nID)
            continue;
        for (const ResMenuPopup& popup : menu.popups) {
            MenuPopup& out = popups.emplace_back();
            out.strText = QString::fromUtf8(popup.pszText);
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
