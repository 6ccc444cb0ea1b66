#include "banner/BannerModule.h"

#include <QCoreApplication>
#include <QLibrary>

const BannerModule* LoadBannerModule() {
    static const BannerModule* const module = []() -> const BannerModule* {
        using Entry = const BannerModule* (*)();
        const QString folder = QCoreApplication::applicationDirPath();
        // The installed tree and the build tree; then the name alone, which finds the copy a
        // test program has loaded with itself.
        for (const QString& path : {folder + QStringLiteral("/" VANTREL_BANNER_MODULE_FROM_BIN),
                                    QStringLiteral("vantrel-banner")}) {
            QLibrary library(path);
            if (const auto entry = reinterpret_cast<Entry>(library.resolve("VantrelBannerModule")))
                return entry(); // the library stays loaded: the loaders' code is in it
        }
        return nullptr;
    }();
    return module;
}
