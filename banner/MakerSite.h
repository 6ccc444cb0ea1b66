// Where the maker's web site is: its host (with an optional :port) is fixed when the program
// is built, so a default build contacts no real host.
#pragma once

#include <QString>

// The host, as configured.
QString MakerSiteHost();
// "http://HOST/": the About box's link shows and opens this.
QString MakerSiteAddress();
// "http://HOST/bnvtl.html": the banner page.
QString BannerPageAddress();

// Points the program at another host (a test's own server) until reset with an empty host.
void SetMakerSiteHostForTesting(const QString& host);
