#pragma once

#include <string>
#include <string_view>

// The stored formats (Config, ZIP member names) carry GBK text; the program
// works in UTF-8. Conversions never fail: what cannot be converted becomes "?".
namespace ostrel::platform {

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

}  // namespace ostrel::platform
