#include "cli/CommandLine.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "cli/PlaybackCommands.h"
#include "cli/RecordCommand.h"
#include "cli/RecoverCommand.h"

namespace ostrel::cli {

namespace {

int printUsage(std::span<char*>) {
  std::puts(
      "usage: ostrel                 start the desktop application\n"
      "       ostrel record --out FILE.ORec --seconds S [--fps 1..25] [--kind jpeg|png|bmp]\n"
      "                     [--layered] [--overlay-x X --overlay-y Y --overlay-text TEXT] [--cache DIR]\n"
      "                              record the screen of $DISPLAY into a recording file\n"
      "                              (SIGINT/SIGTERM stop early, SIGUSR1 pauses and resumes)\n"
      "       ostrel recover [--cache DIR]... [--out DIR] [--list | --discard]\n"
      "                              save the recordings a crash left unfinished (or list,\n"
      "                              or delete them)\n"
      "       ostrel info FILE.ORec [--json]\n"
      "                              describe a recording: members, frames, regions, duration\n"
      "       ostrel export FILE.ORec [--size WxH] (--frame N | --all) --out PATH\n"
      "                              write the picture after frame N (or every frame) as PNG\n"
      "       ostrel play FILE.ORec  play a recording in the player window\n"
      "       ostrel help            show this text");
  return 0;
}

using CommandHandler = std::function<int(std::span<char*>)>;

const std::map<std::string_view, CommandHandler>& commands() {
  static const std::map<std::string_view, CommandHandler> table = {
      {"help", printUsage},           {"--help", printUsage}, {"record", runRecordCommand},
      {"recover", runRecoverCommand}, {"info", runInfo},      {"export", runExport},
  };
  return table;
}

}  // namespace

std::optional<int> runCommand(std::span<char*> args) {
  if (args.size() < 2) return std::nullopt;
  const auto it = commands().find(args[1]);
  if (it == commands().end()) {
    std::fprintf(stderr, "ostrel: unknown command '%s' (try 'ostrel help')\n", args[1]);
    return 2;
  }
  return it->second(args.subspan(1));
}

}  // namespace ostrel::cli
