#include <cstdio>
#include <span>

#include "cli/CommandLine.h"
#ifdef OSTREL_WITH_GUI
#include "shell/DesktopApplication.h"
#endif

int main(int argc, char** argv) {
  const std::span<char*> args(argv, static_cast<std::size_t>(argc));
  if (const auto result = ostrel::cli::runCommand(args)) return *result;
#ifdef OSTREL_WITH_GUI
  return ostrel::shell::runDesktopApplication(argc, argv);
#else
  std::fputs("ostrel: built without the desktop application; see 'ostrel help'\n", stderr);
  return 2;
#endif
}
