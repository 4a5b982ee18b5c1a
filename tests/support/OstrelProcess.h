#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// Runs this build's `ostrel` program the way a user's script would, on a given
// X display and with its cache in a folder of the test's own.
namespace ostrel::testing {

inline std::string ostrelProgram() { return std::string(OSTREL_BINARY_DIR) + "/src/ostrel"; }

// Starts `ostrel args...` on `display` with XDG_CACHE_HOME at `cacheHome`,
// XDG_STATE_HOME in a folder "state" inside it, and the real screen.
// `stderrFd`, when given, becomes the program's standard error.
inline pid_t startOstrel(const std::string& display, const std::filesystem::path& cacheHome,
                         std::vector<std::string> args, int stderrFd = -1) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (stderrFd >= 0) dup2(stderrFd, STDERR_FILENO);
    setenv("DISPLAY", display.c_str(), 1);
    setenv("XDG_CACHE_HOME", cacheHome.c_str(), 1);
    setenv("XDG_STATE_HOME", (cacheHome / "state").c_str(), 1);
    unsetenv("OSTREL_SCREEN");
    const std::string program = ostrelProgram();
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for `pid`: its exit status, or 128 + the signal that ended it.
inline int waitForExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline int runOstrel(const std::string& display, const std::filesystem::path& cacheHome,
                     std::vector<std::string> args) {
  return waitForExit(startOstrel(display, cacheHome, std::move(args)));
}

}  // namespace ostrel::testing
