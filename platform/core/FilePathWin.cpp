// File names on Windows: UTF-16 names kept as WTF-8 bytes.
#include "platform/core/FilePath.h"

#include <QDir>

namespace {

// UTF-8 that also carries an unpaired surrogate, legal in a Windows name, as its own three
// bytes (WTF-8), where Qt's UTF-8 would turn it into another name.
QByteArray Wtf8(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (c < 0x80) {
            bytes += char(c);
        } else if (c < 0x800) {
            bytes += char(0xC0 | (c >> 6));
            bytes += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += char(0xE0 | (c >> 12));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        } else {
            bytes += char(0xF0 | (c >> 18));
            bytes += char(0x80 | ((c >> 12) & 0x3F));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        }
    }
    return bytes;
}

// Back from WTF-8; a byte that starts no valid sequence shows as U+FFFD.
QString FromWtf8(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80                   ? 1
                           : lead >= 0xF0 && lead < 0xF5 ? 4
                           : lead >= 0xE0                ? 3
                           : lead >= 0xC2 && lead < 0xE0 ? 2
                                                         : 0;
        char32_t c = length == 1 ? lead : length > 1 ? lead & (0x7F >> length) : 0;
        bool valid = length > 0 && i + length <= bytes.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || c < kLeast[length] || c > 0x10FFFF) {
            text += QChar::ReplacementCharacter;
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(char16_t(c));
        }
        i += length;
    }
    return text;
}

} // namespace

QByteArray PathBytes(const QString& path) {
    // Kept with the system's separator, so rows and messages show names as Explorer does.
    return Wtf8(QDir::toNativeSeparators(path));
}

QString DisplayPath(const QByteArray& path) {
    return FromWtf8(path);
}

std::filesystem::path::string_type FilePath::native() const {
    return m_strText.toStdWString();
}
