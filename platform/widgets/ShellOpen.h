// What a hyperlink needs of the desktop: opening a document or address with the program the
// desktop associates with it, a beep when that fails, and the pointing-hand cursor.
#pragma once

#include "platform/core/WinTypes.h"

#include <QCursor>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>

using INT_PTR = std::intptr_t;

constexpr int SW_SHOWNORMAL = 1;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

// Opens the file or address; only the verb "open" is known. A result above 32 means it was
// handed to a program; otherwise SE_ERR_NOASSOC.
INT_PTR ShellExecute(QObject* owner, const QString& operation, const QString& file,
                     const QString& parameters, const QString& directory, int nShowCmd);

// Plays the desktop's alert sound.
bool MessageBeep(UINT uType);

// The desktop's pointing-hand cursor; nullopt when it cannot be had.
std::optional<QCursor> LoadHandCursor();

// While set, these replace the real open (true = opened), beep and cursor load; an empty
// function restores the real one.
void SetShellOpenHookForTesting(std::function<bool(const QUrl&)> hook);
void SetMessageBeepHookForTesting(std::function<void(UINT)> hook);
void SetHandCursorHookForTesting(std::function<std::optional<QCursor>()> loader);
