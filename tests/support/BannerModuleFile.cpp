// Linked into the programs that show the main window from the build tree: they do not run from
// its bin/, where the pane looks for the banner module, so they name it.
#include "banner/BannerModule.h"

#include <QCoreApplication>

namespace {
void UseTheBuildTreesModule() {
    SetBannerModuleFileForTesting(QStringLiteral(VANTREL_TEST_BANNER_MODULE));
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(UseTheBuildTreesModule)
