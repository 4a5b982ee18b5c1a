#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ostrel::shell {

// A 24-bit bottom-up BMP file (14-byte file header, 40-byte info header, no
// colour table, rows padded to 4 bytes) of `height` rows of 32-bit BGRX
// pixels given top-down, `stride` bytes apart. Empty for an empty picture.
QByteArray makeBmp24(const uint8_t* firstRow, int width, int height, std::ptrdiff_t stride);

// A picture of the primary screen alone, without the cursor, as the bytes of
// a 24-bit BMP file; empty when the screen cannot be read.
QByteArray CaptureScreenPicture();

}  // namespace ostrel::shell
