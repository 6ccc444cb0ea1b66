// The output chooser's naming rule.
#pragma once

#include <QString>

// The chosen path with ".txt" appended, unless its fourth character from the end is a period.
// The test looks at characters only, not at path components: "D:/d.e/f" stays as it is.
QString OutputPathForChoice(const QString& chosen);
