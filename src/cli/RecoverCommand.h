#pragma once

#include <span>

namespace ostrel::cli {

// ostrel recover [--cache DIR]... [--out DIR] [--list | --discard]
// Finds the journals of recordings that never finished (on the list of
// unfinished journals and in the cache folders) and packs each into a
// recording file (in DIR, else where the recording was to go), lists them,
// or deletes them. 0 when all went well or there was nothing to do.
int runRecoverCommand(std::span<char*> args);

}  // namespace ostrel::cli
