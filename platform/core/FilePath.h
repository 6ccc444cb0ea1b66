// A file name from where it enters the program (a drop, a file dialog) to where the file is
// opened, kept exactly as the system gives it, with the text it is shown as.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <filesystem>
#include <optional>

class FilePath {
public:
    FilePath() = default;

    // The system's bytes: on Linux the name's own, which need not be text; on Windows, where
    // names are UTF-16, their UTF-8 with backslashes (WTF-8: an unpaired surrogate is kept).
    // Nothing when they hold a NUL, which would cut the name short where the file is opened.
    static std::optional<FilePath> fromBytes(const QByteArray& bytes);
    // A name given as text, by the program itself or a component that only has text.
    static std::optional<FilePath> fromText(const QString& text);

    const QByteArray& bytes() const { return m_bytes; }
    // Readable text; bytes that are not text in the locale show as U+FFFD.
    const QString& text() const { return m_strText; }
    // Whether text() names exactly this file again, so that it can be handed to Qt.
    bool isExactlyShown() const;
    // The form the join opens: the same bytes on Linux, UTF-16 on Windows.
    std::filesystem::path::string_type native() const;

    bool isEmpty() const { return m_bytes.isEmpty(); }
    friend bool operator==(const FilePath& a, const FilePath& b) { return a.m_bytes == b.m_bytes; }

private:
    explicit FilePath(const QByteArray& bytes);

    QByteArray m_bytes;
    QString m_strText;
};
Q_DECLARE_METATYPE(FilePath)

// The bytes the program keeps for a name it is given as text.
QByteArray PathBytes(const QString& path);

// Bytes in the file-name encoding (a message quoting paths, a folder) as readable text.
QString DisplayPath(const QByteArray& path);
