#pragma once

#include "codec/StreamFormat.h"

namespace ostrel::codec {

// Same answer as payloadBreaksFraming, fast enough to run over every payload
// of every frame: a full-screen bitmap is 8 MB, and a general substring search
// over it costs more than copying it.
bool containsFramingBytes(Bytes payload);

}  // namespace ostrel::codec
