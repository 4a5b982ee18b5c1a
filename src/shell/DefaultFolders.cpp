#include "shell/DefaultFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ostrel::shell {

namespace {

QString withSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

}  // namespace

DefaultFolders defaultFolders(const QString& runFolder) {
  const QFileInfo run(runFolder);
  if (!runFolder.isEmpty() && run.isDir() && run.isWritable())
    return {withSlash(runFolder) + QStringLiteral("TempFiles/"),
            withSlash(runFolder) + QStringLiteral("SaveFiles/")};

  QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  if (cache.isEmpty()) cache = QDir::homePath() + QStringLiteral("/.cache");
  QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (videos.isEmpty()) videos = QDir::homePath() + QStringLiteral("/Videos");
  return {withSlash(cache) + QStringLiteral("ostrel/"), withSlash(videos) + QStringLiteral("ostrel/")};
}

}  // namespace ostrel::shell
