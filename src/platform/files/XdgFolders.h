#pragma once

#include <filesystem>

namespace ostrel::platform {

// The program's own folder inside an XDG base folder: `$<variable>/ostrel`
// when the variable holds an absolute path, else `$HOME/<homeDefault>/ostrel`;
// empty when neither gives an absolute folder.
std::filesystem::path xdgProgramFolder(const char* variable, const char* homeDefault);

// Where the command line keeps recording journals by default: ostrel/TempFiles
// in the XDG cache folder ($XDG_CACHE_HOME, ~/.cache); empty when there is none.
std::filesystem::path defaultJournalFolder();

}  // namespace ostrel::platform
