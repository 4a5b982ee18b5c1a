// Stand-ins until the image codec backend lands; delete this file when it does.
#include "platform/image/ImageCodec.h"

namespace ostrel::platform {

bool encodePng(const BgrxView&, std::vector<uint8_t>&, const PngEncodeOptions&) { return false; }
bool encodeJpeg(const BgrxView&, int, std::vector<uint8_t>&) { return false; }

}  // namespace ostrel::platform
