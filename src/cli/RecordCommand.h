#pragma once

#include <span>

namespace ostrel::cli {

// ostrel record --out FILE.ORec --seconds S [--fps 1..25] [--kind jpeg|png|bmp]
//               [--layered] [--overlay-x X --overlay-y Y --overlay-text TEXT]
// Records the screen of $DISPLAY and packs it into FILE. SIGINT and SIGTERM
// stop early (the file is still written); SIGUSR1 pauses and resumes.
int runRecordCommand(std::span<char*> args);

}  // namespace ostrel::cli
