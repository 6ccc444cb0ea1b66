// The banner module's one entry point (BannerModule.h).
#include "banner/BannerModule.h"
#include "banner/BannerLoader.h"

#include <QtGlobal>

namespace {

QObject* CreateLoader(QObject* parent) {
    return new BannerLoader(parent);
}

const BannerModule kModule = {CreateLoader, &BannerSanitizer::Sanitize};

} // namespace

extern "C" Q_DECL_EXPORT const char* VantrelBannerModuleStamp() {
    return VANTREL_BANNER_STAMP;
}

extern "C" Q_DECL_EXPORT const BannerModule* VantrelBannerModule() {
    return &kModule;
}
