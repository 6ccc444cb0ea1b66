// A banner module of another build, for tst_install: the program's entry point, with a table of
// another layout (numbers where the program expects functions); with VANTREL_FOREIGN_STAMP
// also a stamp, another build's.
#include <QtGlobal>

namespace {
const long kTable[] = {1, 2, 3, 4};
} // namespace

extern "C" Q_DECL_EXPORT const void* VantrelBannerModule() {
    return kTable;
}

#ifdef VANTREL_FOREIGN_STAMP
extern "C" Q_DECL_EXPORT const char* VantrelBannerModuleStamp() {
    return VANTREL_FOREIGN_STAMP;
}
#endif
