#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/ScreenRect.h"

namespace ostrel::platform {

// Width and height of the virtual screen; 0 in either means failure.
struct ScreenSize {
  int width = 0;
  int height = 0;
};

// Where the pixels of one grab go: 32-bit BGRX pixels, `stride` bytes from one
// row to the next (negative for memory that is stored bottom-up).
struct PixelTarget {
  uint8_t* firstRow = nullptr;
  std::ptrdiff_t stride = 0;
};

// The cursor as the screen shows it now. `serial` changes whenever the cursor
// image changes and stands for the cursor's identity.
struct CursorInfo {
  bool exists = false;
  uint32_t serial = 0;
  int x = 0;  // pointer position in screen coordinates
  int y = 0;
  int hotX = 0;
  int hotY = 0;
  int width = 0;
  int height = 0;
  // width × height premultiplied ARGB pixels (0xAARRGGBB), rows top-down.
  // Kept by the caller between queries so an unchanged cursor costs no allocation.
  std::vector<uint32_t> argb;
};

// The frame grabber's only way to the screen. Every grab reads screen
// coordinates relative to the virtual screen's top-left corner and writes
// 32-bit BGRX pixels; conversion to other depths is the caller's business.
class ScreenSource {
 public:
  virtual ~ScreenSource() = default;

  virtual ScreenSize virtualScreenSize() = 0;

  // Copies the screen rectangle `area` into `target`. Parts outside the screen
  // are left untouched. False when the screen cannot be read.
  virtual bool grab(const ScreenRect& area, PixelTarget target) = 0;

  // Copies the full-width screen rows `rows` (ascending) into `targets[i]`, one
  // row each. Backends issue all requests before waiting for any answer.
  virtual bool grabRows(std::span<const int> rows, std::span<const PixelTarget> targets) = 0;

  // Fills `cursor`; false (and exists = false) when there is no cursor to show.
  virtual bool queryCursor(CursorInfo& cursor) = 0;

  // Whether translucent (layered) windows are part of a grab.
  virtual void setLayeredCapture(bool /*on*/) {}

  // Moves the grabs to the desktop that currently receives input, where the
  // window system has more than one.
  virtual void followInputDesktop() {}
};

}  // namespace ostrel::platform
