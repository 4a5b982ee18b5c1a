#pragma once

#include <string>
#include <string_view>

namespace ostrel::cli {

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

}  // namespace ostrel::cli
