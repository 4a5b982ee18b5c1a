#include "shell/FileDialogFilter.h"

namespace ostrel::shell {

QStringList nameFiltersFromText(const QString& filterText) {
  QString text = filterText;
  text.remove(QChar(u' ')).remove(QChar(u'\u3000'));
  const QStringList parts = text.split(QChar(u'|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    if (patterns.isEmpty()) continue;
    patterns.replace(QChar(u';'), QChar(u' '));
    if (description.endsWith(QStringLiteral("(") + patterns + QStringLiteral(")")))
      filters << description;
    else
      filters << description + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  return filters;
}

int filterNumberForIndex(int index) { return index <= 0 ? 1 : index + 1; }

}  // namespace ostrel::shell
