#include "shell/RecordingNames.h"

#include <QDir>
#include <QSet>

namespace ostrel::shell {

QString nextFreeRecordingName(const QString& folder) {
  // One listing instead of a probe per number; names compared without regard to case.
  QSet<QString> taken;
  const QDir dir(folder);
  for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
    taken.insert(entry.toLower());
  int n = 1;
  while (taken.contains((QStringLiteral("录像") + QString::number(n) + QStringLiteral(".orec")))) ++n;
  return QStringLiteral("录像") + QString::number(n);
}

bool recordingFileExists(const QString& folder, const QString& name) {
  const QString wanted = (name + QStringLiteral(".orec")).toLower();
  for (const QString& entry : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
    if (entry.toLower() == wanted) return true;
  return false;
}

}  // namespace ostrel::shell
