#pragma once

#include <span>

namespace ostrel::cli {

// ostrel info FILE [--json]
int runInfo(std::span<char*> args);
// ostrel export FILE [--size WxH] [--frame N | --all] --out PATH
int runExport(std::span<char*> args);

}  // namespace ostrel::cli
