#include "platform/text/GbkText.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace ostrel::platform {

namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

UniqueIconv openIconv(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return UniqueIconv(cd);
}

// Length of the UTF-8 sequence starting with `lead`, 1 for stray bytes.
std::size_t utf8Length(unsigned char lead) {
  if (lead > 0xF4) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC2 && lead < 0xE0) return 2;
  return 1;
}

// Length of the GBK character starting with `lead`.
std::size_t gbkLength(unsigned char lead) { return lead >= 0x81 && lead <= 0xFE ? 2 : 1; }

std::string convert(std::string_view text, const char* to, const char* from,
                    std::size_t (*characterLength)(unsigned char)) {
  std::string out;
  const UniqueIconv cd = openIconv(to, from);
  if (!cd) {
    // Without the converter keep ASCII and mark the rest.
    for (char c : text) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return out;
  }
  out.reserve(text.size() * 3 / 2 + 4);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: one character that cannot be converted or is cut short.
    const std::size_t skip = std::min(inLeft, characterLength(static_cast<unsigned char>(*in)));
    out.push_back('?');
    in += skip;
    inLeft -= skip;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) { return convert(utf8, "GBK", "UTF-8", utf8Length); }

std::string gbkToUtf8(std::string_view gbk) { return convert(gbk, "UTF-8", "GBK", gbkLength); }

}  // namespace ostrel::platform
