// The banner module's one entry point (BannerModule.h).
#include "banner/BannerModule.h"
#include "banner/CBannerLoader.h"

#include <QtGlobal>

namespace {

IBannerLoader* CreateLoader(QObject* parent, BannerLoaderEvents events) {
    auto* loader = new CBannerLoader(parent);
    QObject::connect(loader, &CBannerLoader::PageArrived, loader, events.pageArrived);
    QObject::connect(loader, &CBannerLoader::ImageDone, loader, events.imageDone);
    return loader;
}

const BannerModule kModule = {CreateLoader, &CBannerSanitizer::Sanitize};

} // namespace

extern "C" Q_DECL_EXPORT const char* VantrelBannerModuleStamp() {
    return VANTREL_BANNER_STAMP;
}

extern "C" Q_DECL_EXPORT const BannerModule* VantrelBannerModule() {
    return &kModule;
}
