#include "MakerSite.h"

QString MakerSiteHost() {
    return QStringLiteral(VANTREL_SITE_HOST);
}

QString MakerSiteAddress() {
    return QStringLiteral("http://%1/").arg(MakerSiteHost());
}

QString BannerPageAddress() {
    return MakerSiteAddress() + QStringLiteral("bnvtl.html");
}
