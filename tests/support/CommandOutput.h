#pragma once

#include <cstdio>
#include <string>

namespace ostrel::testing {

// Runs `command` in a shell and returns what it printed on both streams;
// `status`, when given, receives its wait status (-1 when it could not run).
inline std::string commandOutput(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  while (pipe && fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int result = pipe ? pclose(pipe) : -1;
  if (status) *status = result;
  return output;
}

}  // namespace ostrel::testing
