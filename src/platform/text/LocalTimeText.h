#pragma once

#include <cstdint>
#include <string>

namespace ostrel::platform {

// A moment (seconds since 1970, UTC) as local time in a strftime format.
std::string localTimeText(int64_t seconds, const char* format);

}  // namespace ostrel::platform
