#include <cstdio>
#include <span>
#include <string_view>

#include "cli/CommandLine.h"
#ifdef OSTREL_WITH_GUI
#include "shell/DesktopApplication.h"
#endif

int main(int argc, char** argv) {
  const std::span<char*> args(argv, static_cast<std::size_t>(argc));
#ifdef OSTREL_WITH_GUI
  if (args.size() >= 2 && std::string_view(args[1]) == "demo")
    return ostrel::shell::runDesktopDemo(argc, argv);
  if (args.size() >= 2 && std::string_view(args[1]) == "play")
    return ostrel::shell::runDesktopPlayer(argc, argv);
#endif
  if (const auto result = ostrel::cli::runCommand(args)) return *result;
#ifdef OSTREL_WITH_GUI
  return ostrel::shell::runDesktopApplication(argc, argv);
#else
  std::fputs("ostrel: built without the desktop application; see 'ostrel help'\n", stderr);
  return 2;
#endif
}
