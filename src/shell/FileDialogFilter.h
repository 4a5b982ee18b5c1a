#pragma once

#include <QString>
#include <QStringList>

namespace ostrel::shell {

// Turns a "description|pattern|description|pattern" filter text into the
// toolkit's name filters. Spaces (also the full-width one) are removed first,
// as the program's filters always were; ";" between patterns becomes a space;
// a description that already ends in "(patterns)" is kept as it stands.
QStringList nameFiltersFromText(const QString& filterText);

// The 1-based filter number the dialog starts with: 1 for an index of 0 or
// less, else index + 1.
int filterNumberForIndex(int index);

}  // namespace ostrel::shell
