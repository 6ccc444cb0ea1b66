#include "banner/BannerModule.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

#include <cstring>

namespace {

QString s_strTestModule;

// Whether an ELF file holds every segment the loader maps and the section table: the loader
// maps a file cut short and faults (SIGBUS) on the part that is missing instead of failing.
// Other formats are left to their own loader, which checks them.
bool IsWholeLibrary(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(64);
    if (!head.startsWith("\x7f"
                         "ELF"))
        return true;
    const bool is64 = head.size() > 4 && head[4] == 2;
    const bool bigEndian = head.size() > 5 && head[5] == 2;
    const int word = is64 ? 8 : 4;
    // An unsigned field of size bytes at offset at; all ones where it lies outside bytes.
    const auto field = [bigEndian](const QByteArray& bytes, quint64 at, int size) {
        if (at > quint64(bytes.size()) || quint64(size) > quint64(bytes.size()) - at)
            return ~quint64(0);
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = value << 8 | quint8(bytes[qsizetype(at) + (bigEndian ? i : size - 1 - i)]);
        return value;
    };
    const quint64 fileSize = quint64(file.size());
    const auto within = [fileSize](quint64 offset, quint64 length) {
        return offset <= fileSize && length <= fileSize - offset;
    };
    const quint64 phoff = field(head, is64 ? 0x20 : 0x1c, word);
    const quint64 shoff = field(head, is64 ? 0x28 : 0x20, word);
    const quint64 phentsize = field(head, is64 ? 0x36 : 0x2a, 2);
    const quint64 phnum = field(head, is64 ? 0x38 : 0x2c, 2);
    const quint64 shentsize = field(head, is64 ? 0x3a : 0x2e, 2);
    const quint64 shnum = field(head, is64 ? 0x3c : 0x30, 2);
    if (!within(phoff, phnum * phentsize) || !within(shoff, shnum * shentsize) ||
        phentsize < quint64(is64 ? 56 : 32) || !file.seek(qint64(phoff)))
        return false;
    const QByteArray table = file.read(qint64(phnum * phentsize));
    for (quint64 i = 0; i < phnum; ++i) {
        const quint64 at = i * phentsize;
        constexpr quint64 kLoadable = 1; // PT_LOAD
        if (field(table, at, 4) == kLoadable &&
            !within(field(table, at + (is64 ? 0x08 : 0x04), word),
                    field(table, at + (is64 ? 0x20 : 0x10), word)))
            return false;
    }
    return true;
}

const BannerModule* Load(const QString& path) {
    if (!IsWholeLibrary(path))
        return nullptr;
    QLibrary library(path);
    const auto stamp =
        reinterpret_cast<BannerModuleStampEntry>(library.resolve("VantrelBannerModuleStamp"));
    if (stamp == nullptr || std::strcmp(stamp(), VANTREL_BANNER_STAMP) != 0)
        return nullptr; // stays loaded: unloading a module of unknown make is no safer
    const auto entry = reinterpret_cast<BannerModuleEntry>(library.resolve("VantrelBannerModule"));
    return entry ? entry() : nullptr; // the library stays loaded: the loaders' code is in it
}

} // namespace

const BannerModule* LoadBannerModule() {
    static const BannerModule* const module = [] {
        // Never by bare name: the system would search its library path, which can name the
        // current folder.
        return Load(s_strTestModule.isEmpty()
                        ? QCoreApplication::applicationDirPath() +
                              QStringLiteral("/" VANTREL_BANNER_MODULE_FROM_BIN)
                        : s_strTestModule);
    }();
    return module;
}

void SetBannerModuleFileForTesting(const QString& path) {
    s_strTestModule = path;
}
