#pragma once

#include <span>

namespace ostrel::cli {

// ostrel record --out FILE.ORec --seconds S [--fps 1..25] [--kind jpeg|png|bmp]
//               [--layered] [--overlay-x X --overlay-y Y --overlay-text TEXT]
// Records the screen of $DISPLAY and packs it into FILE. SIGINT and SIGTERM
// stop early (the file is still written); SIGUSR1 pauses and resumes. A
// recording does not start while the cache or save folder is short of room,
// and stops by itself, written like a stopped one, when room runs out.
int runRecordCommand(std::span<char*> args);

// The exit status when the recording stopped for lack of disk space and what
// was recorded until then is in FILE: short of what was asked, but saved.
inline constexpr int kExitStoppedForDiskSpace = 3;

}  // namespace ostrel::cli
