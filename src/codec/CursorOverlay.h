#pragma once

#include <span>

#include "codec/WorkBitmap.h"
#include "platform/ScreenRect.h"
#include "platform/ScreenSource.h"

namespace ostrel::codec {

// The cursor always counts as a box of this side, whatever its real size.
inline constexpr int CURSOR_BOX_SIDE = 32;

// The screen area a cursor image at top-left `x`, `y` occupies, clipped to the
// screen; at 1 and 4 bits per pixel its left edge is lowered to a whole byte of
// the bitmap row so the region's pixels start at a byte boundary.
ScreenRect cursorBox(int x, int y, int screenWidth, int screenHeight, int bitsPerPixel);

// Alpha-blends the premultiplied ARGB cursor image into the reference image
// with its top-left corner at screen position (x, y), clipped to its 32 × 32
// box and to the screen: anything drawn outside the box would never be
// restored and would stay in the reference image.
void drawCursor(WorkBitmap& bitmap, std::span<const uint8_t> colourTable, const platform::CursorInfo& cursor,
                int x, int y);

}  // namespace ostrel::codec
