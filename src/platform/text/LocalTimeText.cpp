#include "platform/text/LocalTimeText.h"

#include <time.h>

namespace ostrel::platform {

std::string localTimeText(int64_t seconds, const char* format) {
  const auto t = static_cast<time_t>(seconds);
  tm local{};
  localtime_r(&t, &local);
  char text[64] = {};
  strftime(text, sizeof text, format, &local);
  return text;
}

}  // namespace ostrel::platform
