// The parts of the page reduction that the pane itself needs: picture names and safe links. Kept
// apart from the HTML reader, which lives in the banner module (BannerModule.h).
#include "banner/BannerLimits.h"
#include "banner/BannerSanitizer.h"

#include <QUrlQuery>

#include <algorithm>

using namespace BannerLimits;

QUrl BannerSanitizer::PictureName(int i) {
    return QUrl(QStringLiteral("picture:%1").arg(i));
}

QUrl BannerSanitizer::SafeLink(const QUrl& baseUrl, const QString& href) {
    const QString trimmed = href.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > kMaxLinkLength)
        return {};
    QUrl url = baseUrl.resolved(QUrl(trimmed));
    if (!url.isValid())
        return {};
    if (url.scheme() == QLatin1String("mailto")) {
        // The desktop's mail program would take other fields as orders (attach a file,
        // add receivers), so only the addresses, the subject and the body go through.
        const QString address = url.path(QUrl::FullyDecoded);
        if (address.isEmpty() ||
            std::any_of(address.begin(), address.end(), [](QChar c) { return c.unicode() < 0x20; }))
            return {};
        QUrlQuery kept;
        for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyEncoded)) {
            const QString field = QUrl::fromPercentEncoding(name.toUtf8()).toLower();
            if ((field == QLatin1String("subject") || field == QLatin1String("body")) &&
                !kept.hasQueryItem(field))
                kept.addQueryItem(field, value);
        }
        QUrl mail;
        mail.setScheme(QStringLiteral("mailto"));
        mail.setPath(url.path(QUrl::FullyEncoded), QUrl::TolerantMode);
        if (!kept.isEmpty())
            mail.setQuery(kept);
        url = mail;
    } else if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return {};
    } else if (url.host().isEmpty()) {
        return {};
    }
    if (!url.isValid() || url.toString(QUrl::FullyEncoded).size() > kMaxLinkLength)
        return {};
    return url;
}
