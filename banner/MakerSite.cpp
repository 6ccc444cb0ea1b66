#include "banner/MakerSite.h"

namespace {

QString s_strHostForTesting;

} // namespace

QString MakerSiteHost() {
    if (!s_strHostForTesting.isEmpty())
        return s_strHostForTesting;
    return QStringLiteral(VANTREL_SITE_HOST);
}

void SetMakerSiteHostForTesting(const QString& host) {
    s_strHostForTesting = host;
}

QString MakerSiteAddress() {
    return QStringLiteral("http://%1/").arg(MakerSiteHost());
}

QString BannerPageAddress() {
    return MakerSiteAddress() + QStringLiteral("bnvtl.html");
}
