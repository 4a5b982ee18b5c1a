#include "codec/CursorOverlay.h"

#include <algorithm>
#include <array>

#include "codec/PixelFormat.h"

namespace ostrel::codec {

ScreenRect cursorBox(int x, int y, int screenWidth, int screenHeight, int bitsPerPixel) {
  ScreenRect box{x, y, x + CURSOR_BOX_SIDE, y + CURSOR_BOX_SIDE};
  if (box.right > screenWidth) box.right = screenWidth;
  if (box.bottom > screenHeight) box.bottom = screenHeight;
  if (box.left < 0) box.left = 0;
  if (box.top < 0) box.top = 0;
  if (bitsPerPixel == 1) box.left = (box.left >> 3) << 3;
  if (bitsPerPixel == 4) box.left = (box.left >> 2) << 2;
  return box;
}

void drawCursor(WorkBitmap& bitmap, std::span<const uint8_t> colourTable, const platform::CursorInfo& cursor,
                int x, int y) {
  if (!cursor.exists || cursor.width <= 0 || cursor.height <= 0) return;
  if (cursor.argb.size() < static_cast<std::size_t>(cursor.width) * cursor.height) return;
  const int columns = std::min(cursor.width, CURSOR_BOX_SIDE);
  const int rows = std::min(cursor.height, CURSOR_BOX_SIDE);
  const int left = std::max(x, 0), right = std::min(x + columns, bitmap.width());
  const int top = std::max(y, 0), bottom = std::min(y + rows, bitmap.height());
  if (left >= right || top >= bottom) return;
  const int count = right - left;
  std::array<uint8_t, CURSOR_BOX_SIDE * 4> pixels{};
  for (int sy = top; sy < bottom; ++sy) {
    uint8_t* row = bitmap.referenceRow(sy);
    loadPixels(row, left, count, bitmap.bitsPerPixel(), colourTable, pixels.data());
    const uint32_t* source = &cursor.argb[static_cast<std::size_t>(sy - y) * cursor.width + (left - x)];
    for (int i = 0; i < count; ++i) {
      const uint32_t argb = source[i];
      const unsigned alpha = argb >> 24;
      if (alpha == 0 && (argb & 0xFFFFFF) == 0) continue;
      uint8_t* p = &pixels[static_cast<std::size_t>(i) * 4];
      const unsigned keep = 255 - alpha;
      const unsigned channels[3] = {argb & 0xFF, (argb >> 8) & 0xFF, (argb >> 16) & 0xFF};
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<uint8_t>(std::min(255u, channels[c] + (p[c] * keep + 127) / 255));
    }
    storePixels(pixels.data(), count, row, left, bitmap.bitsPerPixel(), colourTable);
  }
}

}  // namespace ostrel::codec
