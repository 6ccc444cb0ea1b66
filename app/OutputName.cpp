#include "app/OutputName.h"

QString OutputPathForChoice(const QString& chosen) {
    if (chosen.size() >= 4 && chosen.at(chosen.size() - 4) == QLatin1Char('.'))
        return chosen;
    return chosen + QStringLiteral(".txt");
}
