#include "platform/widgets/ShellOpen.h"

#include <QApplication>
#include <QDesktopServices>

namespace {

std::function<bool(const QUrl&)>& ShellOpenHook() {
    static std::function<bool(const QUrl&)> s_hook;
    return s_hook;
}

std::function<void(UINT)>& BeepHook() {
    static std::function<void(UINT)> s_hook;
    return s_hook;
}

std::function<std::optional<QCursor>()>& CursorLoader() {
    static std::function<std::optional<QCursor>()> s_loader;
    return s_loader;
}

constexpr INT_PTR kOpened = 42;

} // namespace

INT_PTR ShellExecute(QObject* owner, const QString& operation, const QString& file,
                     const QString& parameters, const QString& directory, int nShowCmd) {
    Q_UNUSED(owner);
    Q_UNUSED(parameters);
    Q_UNUSED(nShowCmd);
    if (operation != QLatin1String("open") || file.isEmpty())
        return SE_ERR_NOASSOC;
    // Addresses stay addresses; a path is taken relative to the directory when one is given.
    const QUrl url = QUrl::fromUserInput(file, directory);
    if (!url.isValid())
        return SE_ERR_NOASSOC;
    const bool opened = ShellOpenHook() ? ShellOpenHook()(url) : QDesktopServices::openUrl(url);
    return opened ? kOpened : SE_ERR_NOASSOC;
}

bool MessageBeep(UINT uType) {
    if (BeepHook())
        BeepHook()(uType);
    else
        QApplication::beep();
    return true;
}

std::optional<QCursor> LoadHandCursor() {
    if (CursorLoader())
        return CursorLoader()();
    if (qGuiApp == nullptr)
        return std::nullopt;
    return QCursor(Qt::PointingHandCursor);
}

void SetShellOpenHookForTesting(std::function<bool(const QUrl&)> hook) {
    ShellOpenHook() = std::move(hook);
}

void SetMessageBeepHookForTesting(std::function<void(UINT)> hook) {
    BeepHook() = std::move(hook);
}

void SetHandCursorHookForTesting(std::function<std::optional<QCursor>()> loader) {
    CursorLoader() = std::move(loader);
}
