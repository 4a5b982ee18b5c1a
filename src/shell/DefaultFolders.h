#pragma once

#include <QString>

namespace ostrel::shell {

// The folders a fresh start proposes, each ending in "/". Beside the program
// ("TempFiles/", "SaveFiles/") when its folder is writable, for portable use;
// otherwise the user's cache and videos folders, each with an "ostrel"
// subfolder. Nothing is created here.
struct DefaultFolders {
  QString cache;
  QString save;
};

DefaultFolders defaultFolders(const QString& runFolder);

}  // namespace ostrel::shell
