#include "toolbar/ToolBarLabel.h"

#include <QStringList>

QString ToolBarLabel(const QString& commandString) {
    const QStringList pieces = commandString.split(u'\n', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.last();
}

QString ToolBarDescription(const QString& commandString) {
    const QStringList pieces = commandString.split(u'\n', Qt::SkipEmptyParts);
    return pieces.isEmpty() ? QString() : pieces.first();
}
