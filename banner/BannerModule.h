// The banner's fetching and HTML reading, in a library of its own that the pane loads when it
// first starts a load: the libraries they need (Qt Network, libxml2 and theirs) then stay out of
// the program's start-up. A test program that links the library itself gets that copy.
#pragma once

#include "banner/BannerSanitizer.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

// The page loader (BannerLoader) as the pane uses it. The module hands it over as a QObject,
// found with qobject_cast, and the pane connects to its signals by their names, as to a plugin:
//   PageArrived(QByteArray data, QUrl url)
//   ImageDone(QUrl url, QByteArray data): the picture's bytes, undecoded; empty when the
//       picture could not be had.
class IBannerLoader {
public:
    virtual ~IBannerLoader() = default;
    virtual void SetLimits(qint64 nMaxBytes, int nTimeoutMs) = 0;
    virtual void Start(const QUrl& url) = 0;
    virtual void FetchImage(const QUrl& url) = 0;
    virtual void Stop() = 0;
};
#define IBannerLoader_iid "org.vantrel.IBannerLoader/1"
Q_DECLARE_INTERFACE(IBannerLoader, IBannerLoader_iid)

struct BannerModule {
    // A loader (an IBannerLoader) that parent owns and deletes.
    QObject* (*createLoader)(QObject* parent);
    // BannerSanitizer::Sanitize; any thread.
    BannerPage (*sanitize)(const QByteArray& page, const QUrl& baseUrl);
};

// The module's two entry points: its build's stamp (VANTREL_BANNER_STAMP, made from the version,
// Qt's, the compiler and the headers whose types cross between module and program), then the
// table above. A module whose stamp is missing or differs may lay its table out in another way,
// so its table is never asked for.
using BannerModuleStampEntry = const char* (*)();
using BannerModuleEntry = const BannerModule* (*)();

// The module, loaded on the first call from the program's own tree (lib/vantrel/ beside bin/ on
// Linux, beside the program on Windows) and from nowhere else; null when it is missing, cut
// short, or of another build, and the banner then stays empty. Any thread.
const BannerModule* LoadBannerModule();

// Test programs do not run from the tree's bin/: they name the module file to load instead.
// Before the first LoadBannerModule.
void SetBannerModuleFileForTesting(const QString& path);
